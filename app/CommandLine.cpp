#include "CommandLine.h"

#include "Commands.h"
#include "Module1.h"
#include "RuleCommands.h"
#include "SuggestCommand.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QStringList CommandNames
    = {u"import"_s, u"export"_s, u"stats"_s, u"check"_s, u"rule"_s, u"terms"_s, u"suggest"_s};

int usage(const QString& text)
{
    std::fputs(qPrintable(u"korvel: "_s + text + u" (korvel --help tells more)\n"_s), stderr);
    return Commands::BadInput;
}

} // namespace

int runKorvel(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Sorts search keywords into a tree of classes, one keystroke at a time.\n\n"
        u"Without a command it opens its window. Commands, which need no window:\n"
        u"  import FILE...         add the keywords of text, CSV or xlsx files\n"
        u"  export FILE.xlsx|.csv  write every keyword with its class code, class path and state\n"
        u"  stats                  count the keywords of each class\n"
        u"  check                  check the store's schema and rows\n"
        u"  rule --class CODE      file every unsorted keyword that matches a rule into a class\n"
        u"  terms                  the terms most unsorted keywords hold, with how many hold each\n"
        u"  suggest                each unsorted keyword's likeliest class of a level, with its confidence\n"
        u"Exit status: 0 done, 1 the store failed, 2 bad input (nothing written)."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption db(u"db"_s,
                                u"The store: a file (default Data.db beside the program), or a PostgreSQL database "
                                u"(postgresql://[user@][host][:port]/dbname, or libpq keyword=value pairs such as "
                                u"service=korvel)."_s,
                                u"store"_s);
    const QCommandLineOption init(u"init"_s, u"Create a new empty store at <store> and exit."_s, u"store"_s);
    const QCommandLineOption sample(u"sample"_s, u"With --init: add a small class tree and sample keywords."_s);
    const QCommandLineOption copy(u"copy"_s,
                                  u"Copy every class and keyword of <store> into the store named after it, made when "
                                  u"it does not exist and refused when it holds data."_s,
                                  u"store"_s);
    const QCommandLineOption grant(u"grant"_s,
                                   u"Give the PostgreSQL role <role> what an operator of the server store <store> "
                                   u"needs, and nothing more, and exit. Run as the owner of the store's tables."_s,
                                   u"role"_s);
    const QCommandLineOption keepDuplicates(u"keep-duplicates"_s, u"import: add keywords already stored too."_s);
    const QCommandLineOption column(u"column"_s,
                                    u"import: the column of CSV and xlsx files to read, from 1 (default 1; the "
                                    u"keywords of Korvel's own export)."_s,
                                    u"n"_s);
    const QCommandLineOption skipHeader(u"skip-header"_s,
                                        u"import: the first row names the columns (of a text file: its first line) "
                                        u"and is not added."_s);
    const QCommandLineOption encoding(u"encoding"_s,
                                      u"import: the encoding of the files without a byte-order mark (UTF-8, "
                                      u"UTF-16LE, UTF-16BE, GB18030, ...); a mark always wins."_s,
                                      u"name"_s);
    const QCommandLineOption applyRules(u"apply-rules"_s,
                                        u"import: file the new keywords by the saved rules right after they are "
                                        u"added (done anyway when the rule window asked for it)."_s);
    const QCommandLineOption classCode(
        u"class"_s,
        u"export: only the keywords filed under this class and below; rule: the class to file into; suggest: "
        u"suggest among the classes below this one (default: the top level)."_s,
        u"code"_s);
    const QCommandLineOption json(u"json"_s, u"stats, terms, suggest: as JSON."_s);
    parser.addOptions(
        {db, init, sample, copy, grant, keepDuplicates, column, skipHeader, encoding, applyRules, classCode, json});
    const RuleCommands::Options ruleOptions;
    parser.addOptions(ruleOptions.list());
    const SuggestCommand::Options suggestOptions;
    parser.addOptions(suggestOptions.list());
    parser.addPositionalArgument(u"command"_s,
                                 u"import, export, stats, check, rule, terms or suggest; none opens the window."_s,
                                 u"[command [arguments]]"_s);

    const bool parsed = parser.parse(arguments);
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    // Each option with what it goes with.
    const QList<std::pair<const QCommandLineOption*, QString>> belongs
        = QList<std::pair<const QCommandLineOption*, QString>> {{&sample, u"--init"_s},
                                                                {&keepDuplicates, u"import"_s},
                                                                {&column, u"import"_s},
                                                                {&skipHeader, u"import"_s},
                                                                {&encoding, u"import"_s},
                                                                {&applyRules, u"import"_s},
                                                                {&classCode, u"export or rule or suggest"_s},
                                                                {&json, u"stats or terms or suggest"_s}}
        + ruleOptions.belongs() + suggestOptions.belongs();
    const QString given = parser.isSet(init) ? u"--init"_s : command;
    QString misplaced;
    for (const auto& [option, with] : belongs) {
        if (parser.isSet(*option) && !with.split(u" or "_s).contains(given) && misplaced.isEmpty())
            misplaced = u"--%1 goes with %2"_s.arg(option->names().first(), with);
    }
    // The window system is started only for the window: everything else, a mistake in the arguments included,
    // works on a machine without a display.
    const bool window = parsed && misplaced.isEmpty() && !parser.isSet(u"help"_s) && !parser.isSet(u"version"_s)
        && !parser.isSet(init) && !parser.isSet(copy) && !parser.isSet(grant) && positional.isEmpty();
    std::unique_ptr<QCoreApplication> app(window ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));
    QCoreApplication::setApplicationName(u"korvel"_s);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KORVEL_VERSION));
    if (!parsed)
        return usage(parser.errorText());
    if (parser.isSet(u"help"_s))
        parser.showHelp(0);
    if (parser.isSet(u"version"_s))
        parser.showVersion();
    if (!misplaced.isEmpty())
        return usage(misplaced);
    if (parser.isSet(copy)) {
        if (positional.size() != 1)
            return usage(u"--copy SOURCE TARGET needs one target"_s);
        return Commands::copy(parser.value(copy), positional.first());
    }
    if (parser.isSet(init))
        return positional.isEmpty() ? Commands::init(parser.value(init), parser.isSet(sample))
                                    : usage(u"--init takes no command"_s);
    const QString store = parser.isSet(db) ? parser.value(db) : defaultStorePath();
    if (parser.isSet(grant))
        return positional.isEmpty() ? Commands::grant(store, parser.value(grant))
                                    : usage(u"--grant takes no command"_s);
    if (window)
        return Main(store);
    if (!CommandNames.contains(command))
        return usage(u"no command %1"_s.arg(command));
    const QStringList rest = positional.mid(1);
    if (command == u"import"_s) {
        Commands::ImportOptions options;
        options.keepDuplicates = parser.isSet(keepDuplicates);
        options.skipHeader = parser.isSet(skipHeader);
        options.encoding = parser.value(encoding);
        options.applyRules = parser.isSet(applyRules);
        if (parser.isSet(column)) {
            bool number = false;
            options.column = parser.value(column).toInt(&number);
            if (!number || options.column < 1)
                return usage(u"--column takes a number from 1"_s);
        }
        return Commands::flushed(Commands::import(store, rest, options));
    }
    if (command == u"export"_s)
        return rest.size() == 1 ? Commands::exportList(store, parser.value(classCode), rest.first())
                                : usage(u"export takes one file"_s);
    if (command == u"rule"_s || command == u"terms"_s)
        return RuleCommands::run(command, store, parser, ruleOptions, parser.value(classCode), parser.isSet(json));
    if (command == u"suggest"_s)
        return Commands::flushed(
            SuggestCommand::run(store, parser, suggestOptions, parser.value(classCode), parser.isSet(json)));
    if (!rest.isEmpty())
        return usage(u"%1 takes no arguments"_s.arg(command));
    return Commands::flushed(command == u"stats"_s ? Commands::stats(store, parser.isSet(json))
                                                   : Commands::check(store));
}
