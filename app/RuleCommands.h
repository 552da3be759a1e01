#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// The commands that file by rule and count terms: `rule` and `terms`, with the options only they take.
namespace RuleCommands {

struct Options
{
    QCommandLineOption all {QStringLiteral("all"),
                            QStringLiteral("rule: a word every keyword filed must hold (repeatable)."),
                            QStringLiteral("word")};
    QCommandLineOption any {QStringLiteral("any"),
                            QStringLiteral("rule: a word of which a keyword must hold one (repeatable)."),
                            QStringLiteral("word")};
    QCommandLineOption none {QStringLiteral("none"),
                             QStringLiteral("rule: a word no keyword filed may hold (repeatable)."),
                             QStringLiteral("word")};
    QCommandLineOption regex {QStringLiteral("regex"),
                              QStringLiteral("rule: a regular expression (Perl syntax) a keyword must match."),
                              QStringLiteral("re")};
    QCommandLineOption minLength {QStringLiteral("min-length"),
                                  QStringLiteral("rule: the fewest characters a keyword may have."),
                                  QStringLiteral("n")};
    QCommandLineOption maxLength {QStringLiteral("max-length"),
                                  QStringLiteral("rule: the most characters a keyword may have."), QStringLiteral("n")};
    QCommandLineOption dryRun {QStringLiteral("dry-run"), QStringLiteral("rule: only count the keywords that match.")};
    QCommandLineOption top {QStringLiteral("top"), QStringLiteral("terms: how many terms to list (default 100)."),
                            QStringLiteral("n")};
    QCommandLineOption phrases {QStringLiteral("phrases"),
                                QStringLiteral("terms: count two terms next to each other as a term too.")};

    QList<QCommandLineOption> list() const
    {
        return {all, any, none, regex, minLength, maxLength, dryRun, top, phrases};
    }
    // Each option with the command it goes with.
    QList<std::pair<const QCommandLineOption*, QString>> belongs() const;
};

// Runs `rule` or `terms` on the store: classCode is --class, json is --json.
int run(const QString& command, const QString& store, const QCommandLineParser& parser, const Options& options,
        const QString& classCode, bool json);

} // namespace RuleCommands
