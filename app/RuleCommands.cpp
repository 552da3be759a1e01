#include "RuleCommands.h"

#include "CommandSupport.h"
#include "Commands.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "store/terms/TermCounter.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace RuleCommands {

QList<std::pair<const QCommandLineOption*, QString>> Options::belongs() const
{
    return {{&all, u"rule"_s},    {&any, u"rule"_s},       {&none, u"rule"_s},
            {&regex, u"rule"_s},  {&minLength, u"rule"_s}, {&maxLength, u"rule"_s},
            {&dryRun, u"rule"_s}, {&top, u"terms"_s},      {&phrases, u"terms"_s}};
}

namespace {

using namespace Commands;

// A count from an option, or nothing (with the reason said) when it is not a number from least.
std::optional<int> number(const QCommandLineParser& parser, const QCommandLineOption& option, int least, int& status)
{
    bool ok = false;
    const int n = parser.value(option).toInt(&ok);
    if (ok && n >= least)
        return n;
    status = fail(BadInput, u"--%1 takes a number from %2"_s.arg(option.names().first()).arg(least));
    return std::nullopt;
}

int rule(const QString& location, const QCommandLineParser& parser, const Options& o, const QString& classCode)
{
    int status = Done;
    Rule rule {parser.values(o.all), parser.values(o.any), parser.values(o.none), parser.value(o.regex), {}, {}};
    for (const auto& [option, bound] : {std::pair {&o.minLength, &rule.minLength}, {&o.maxLength, &rule.maxLength}}) {
        if (parser.isSet(*option) && !(*bound = number(parser, *option, 0, status)))
            return status;
    }
    // Everything the command line can tell is settled before the store is opened.
    if (classCode.isEmpty())
        return fail(BadInput, u"rule needs --class CODE, the class to file into"_s);
    if (rule.isEmpty())
        return fail(BadInput,
                    u"a rule needs at least one of --all, --any, --none, --regex, --min-length, --max-length"_s);
    if (const auto bad = RuleMatcher::regexError(rule.regex))
        return fail(BadInput, u"bad --regex at character %1: %2"_s.arg(bad->offset + 1).arg(bad->message));
    if (rule.minLength && rule.maxLength && *rule.minLength > *rule.maxLength)
        return fail(BadInput, u"--min-length is above --max-length"_s);
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    const auto owner = store->classByCode(classCode);
    if (!owner)
        return fail(StoreFailed, owner.error());
    if (!owner->has_value())
        return fail(BadInput, u"there is no class with the code %1"_s.arg(classCode));
    RuleScan scan;
    scan.listLimit = 0;
    scan.ids = !parser.isSet(o.dryRun);
    const auto matches = store->matchRule(rule, scan);
    if (!matches)
        return fail(StoreFailed, matches.error());
    if (parser.isSet(o.dryRun)) {
        say(stdout, u"%1 unsorted keywords match"_s.arg(matches->count));
        return Done;
    }
    const auto filed = store->fileKeywords(matches->ids, classCode, (*owner)->title, [](qint64 done, qint64 total) {
        progress("filing", done, total);
        return true;
    });
    progressDone();
    if (!filed)
        return fail(StoreFailed, filed.error());
    QString report = u"filed %1 keywords into %2 %3"_s.arg(filed->filed.size())
                         .arg(classCode, ClassCode::shownPath((*owner)->path));
    if (filed->held > 0)
        report += u"; %1 held by other windows left alone"_s.arg(filed->held);
    if (filed->gone > 0)
        report += u"; %1 filed or deleted meanwhile"_s.arg(filed->gone);
    if (filed->classGone > 0)
        return fail(StoreFailed, report + u"; the class was deleted meanwhile, %1 not filed"_s.arg(filed->classGone));
    say(stdout, report);
    return Done;
}

int terms(const QString& location, const QCommandLineParser& parser, const Options& o, bool json)
{
    int status = Done;
    int top = 100;
    if (parser.isSet(o.top)) {
        const auto n = number(parser, o.top, 1, status);
        if (!n)
            return status;
        top = *n;
    }
    const auto store = openedStore(location, status);
    if (!store)
        return status;
    TermTable table(parser.isSet(o.phrases));
    const std::atomic<bool> cancel {false};
    const Status counted = TermCounter::count(*store, table, cancel,
                                              [](qint64 done, qint64 total) { progress("counting", done, total); });
    progressDone();
    if (!counted)
        return fail(StoreFailed, counted.error());
    const QList<TermCount> rows = table.top(top);
    if (json) {
        QJsonArray array;
        for (const TermCount& t : rows)
            array.append(QJsonObject {{u"term"_s, t.term}, {u"count"_s, t.count}});
        std::fputs(QJsonDocument(array).toJson(QJsonDocument::Indented).constData(), stdout);
        return Done;
    }
    for (const TermCount& t : rows)
        say(stdout, u"%1  %2"_s.arg(t.count, 10).arg(t.term));
    return Done;
}

} // namespace

int run(const QString& command, const QString& store, const QCommandLineParser& parser, const Options& options,
        const QString& classCode, bool json)
{
    if (!parser.positionalArguments().mid(1).isEmpty())
        return fail(BadInput, u"%1 takes no arguments"_s.arg(command));
    return command == u"rule"_s ? rule(store, parser, options, classCode) : terms(store, parser, options, json);
}

} // namespace RuleCommands
