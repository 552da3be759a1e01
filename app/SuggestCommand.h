#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// The `suggest` command: the likeliest class of each unsorted keyword among one level of classes, and filing those
// sure enough.
namespace SuggestCommand {

struct Options
{
    QCommandLineOption minConfidence {QStringLiteral("min-confidence"),
                                      QStringLiteral("suggest: only suggestions at least this sure, from 0 to 1 "
                                                     "(default 0, with --apply 0.9)."),
                                      QStringLiteral("p")};
    QCommandLineOption apply {QStringLiteral("apply"),
                              QStringLiteral("suggest: file the keywords at or above the confidence into the classes "
                                             "suggested, and say how many.")};

    QList<QCommandLineOption> list() const { return {minConfidence, apply}; }
    QList<std::pair<const QCommandLineOption*, QString>> belongs() const
    {
        return {{&minConfidence, QStringLiteral("suggest")}, {&apply, QStringLiteral("suggest")}};
    }
};

// Runs `suggest` on the store: classCode is --class (its children are the level; the top level when empty), json
// is --json.
int run(const QString& store, const QCommandLineParser& parser, const Options& options, const QString& classCode,
        bool json);

} // namespace SuggestCommand
