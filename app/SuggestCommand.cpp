#include "SuggestCommand.h"

#include "CommandSupport.h"
#include "Commands.h"
#include "store/Store.h"
#include "store/suggest/Suggester.h"
#include "store/suggest/Training.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

using namespace Qt::StringLiterals;

namespace SuggestCommand {

namespace {

using namespace Commands;

// What filing the suggestions came to, in one line.
QString applied(const BulkFiling& all, double threshold, qint64 deeper)
{
    QString report
        = u"filed %1 keywords suggested at confidence %2 or above"_s.arg(all.filed.size()).arg(threshold, 0, 'f', 2);
    if (all.held > 0)
        report += u"; %1 held by other windows left alone"_s.arg(all.held);
    if (all.gone + all.classGone > 0)
        report += u"; %1 filed, deleted or without their class meanwhile"_s.arg(all.gone + all.classGone);
    if (deeper > 0)
        report += u"; %1 suggested for classes with classes below them left unsorted (see --class)"_s.arg(deeper);
    return report;
}

} // namespace

int run(const QString& location, const QCommandLineParser& parser, const Options& o, const QString& classCode,
        bool json)
{
    if (!parser.positionalArguments().mid(1).isEmpty())
        return fail(BadInput, u"suggest takes no arguments"_s);
    const bool apply = parser.isSet(o.apply);
    if (apply && json)
        return fail(BadInput, u"--apply prints a count, not JSON: leave out --json"_s);
    double threshold = apply ? 0.9 : 0;
    if (parser.isSet(o.minConfidence)) {
        bool number = false;
        threshold = parser.value(o.minConfidence).toDouble(&number);
        if (!number || !(threshold >= 0 && threshold <= 1))
            return fail(BadInput, u"--min-confidence takes a number from 0 to 1"_s);
    }
    int status = Done;
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    if (!classCode.isEmpty()) {
        const auto owner = store->classByCode(classCode);
        if (!owner)
            return fail(StoreFailed, owner.error());
        if (!owner->has_value())
            return fail(BadInput, u"there is no class with the code %1"_s.arg(classCode));
    }
    const auto level = store->classesUnder(classCode);
    if (!level)
        return fail(StoreFailed, level.error());
    const QString where = classCode.isEmpty() ? u"at the top level"_s : u"below %1"_s.arg(classCode);
    if (level->isEmpty())
        return fail(BadInput, u"there are no classes %1"_s.arg(where));
    QStringList subtrees;
    for (const ClassRow& c : *level)
        subtrees << c.code;
    const auto model = Training::learnt(*store);
    if (!model)
        return fail(StoreFailed, model.error());
    if ((*model)->keywords() == 0)
        return fail(BadInput, u"nothing is filed yet: suggestions learn from filed keywords"_s);
    if ((*model)->bestAmong({}, subtrees).code.isEmpty())
        return fail(BadInput, u"nothing is filed yet %1"_s.arg(where));

    QMap<QString, QList<qint64>> idsByClass;
    qint64 deeper = 0;
    qint64 listed = 0;
    const std::atomic<bool> cancel {false};
    if (json)
        std::fputs("[", stdout);
    const Status scored = Training::scoreUnsorted(
        *store, **model, subtrees,
        [&](QList<Training::Scored>&& batch) {
            for (const Training::Scored& s : std::as_const(batch)) {
                if (s.target < 0 || s.confidence < threshold)
                    continue;
                const ClassRow& target = level->at(s.target);
                if (apply) {
                    // A class that ever had a child is a level of its own: its keywords are filed there.
                    target.maxnext != 0 ? void(++deeper) : idsByClass[target.code].append(s.id);
                } else if (json) {
                    const QJsonObject row {{u"id"_s, s.id},
                                           {u"keyword"_s, s.keyword},
                                           {u"class"_s, target.code},
                                           {u"confidence"_s, s.confidence}};
                    std::fputs(listed > 0 ? ",\n" : "\n", stdout);
                    std::fputs(QJsonDocument(row).toJson(QJsonDocument::Compact).constData(), stdout);
                } else {
                    say(stdout,
                        u"%1\t%2\t%3\t%4"_s.arg(QString::number(s.id), target.code,
                                                QString::number(s.confidence, 'f', 3), s.keyword));
                }
                ++listed;
            }
        },
        cancel, [](qint64 done, qint64 total) { progress("scoring", done, total); });
    progressDone();
    if (json)
        std::fputs("\n]\n", stdout);
    if (!scored)
        return fail(StoreFailed, scored.error());
    if (!apply)
        return Done;
    BulkFiling all;
    for (auto it = idsByClass.cbegin(); it != idsByClass.cend(); ++it) {
        const ClassRow& target = level->at(subtrees.indexOf(it.key()));
        const auto filed = store->fileKeywords(it.value(), it.key(), target.title);
        if (!filed)
            return fail(StoreFailed, applied(all, threshold, deeper) + u"; then: "_s + filed.error());
        all.filed += filed->filed;
        all.held += filed->held;
        all.gone += filed->gone;
        all.classGone += filed->classGone;
    }
    say(stdout, applied(all, threshold, deeper));
    return Done;
}

} // namespace SuggestCommand
