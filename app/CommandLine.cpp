#include "CommandLine.h"

#include "Module1.h"
#include "store/Copy.h"
#include "store/SampleData.h"
#include "store/Store.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

void printError(const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
}

int initStore(const QString& path, bool sample)
{
    if (const Status created = createStore(path); !created) {
        printError(u"korvel: cannot create %1: %2"_s.arg(path, created.error()));
        return 1;
    }
    if (sample) {
        auto store = openStore(path);
        const Status filled = store ? addSampleData(**store) : Status::of(store);
        if (!filled) {
            printError(u"korvel: cannot add the sample data to %1: %2"_s.arg(path, filled.error()));
            return 1;
        }
    }
    return 0;
}

// Copies a whole store into another that holds nothing yet, between files and servers either way.
int copyStores(const QString& from, const QString& to)
{
    auto source = openStore(from);
    if (!source) {
        printError(u"korvel: cannot open %1: %2"_s.arg(from, source.error()));
        return 1;
    }
    // A target that does not exist yet is made; one that holds the tables already must hold nothing in them.
    auto target = openStore(to);
    const bool made = !target;
    if (made) {
        if (const Status created = createStore(to); !created) {
            printError(u"korvel: cannot create %1: %2"_s.arg(to, created.error()));
            return 1;
        }
        target = openStore(to);
        if (!target) {
            printError(u"korvel: cannot open %1: %2"_s.arg(to, target.error()));
            return 1;
        }
    }
    if (const Status copied = copyStore(**source, **target); !copied) {
        printError(u"korvel: cannot copy %1 to %2: %3"_s.arg(from, to, copied.error()));
        return 1;
    }
    return 0;
}

} // namespace

int runKorvel(int argc, char** argv)
{
    // --init, --help and --version must work on a machine without a display, so the window system is
    // started only when the program is to show its window.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        for (const char* option : {"--init", "--copy", "-h", "--help", "--help-all", "-v", "--version"})
            headless = headless || argument == option || argument.startsWith("--init=") || argument.startsWith("--copy=");
    }
    std::unique_ptr<QCoreApplication> app(headless ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(u"korvel"_s);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Sorts search keywords into a tree of classes, one keystroke at a time."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(u"db"_s,
                                      u"Open the store at <store> instead of Data.db beside the program: a file, or a "
                                      u"PostgreSQL database (postgresql://[user@][host][:port]/dbname, or libpq "
                                      u"keyword=value pairs such as service=korvel)."_s,
                                      u"store"_s);
    const QCommandLineOption initOption(u"init"_s, u"Create a new empty store at <store> and exit."_s, u"store"_s);
    const QCommandLineOption sampleOption(u"sample"_s, u"With --init: add a small class tree and sample keywords."_s);
    const QCommandLineOption copyOption(
        u"copy"_s, u"Copy every class and keyword of <store> into the store given after it, which must hold none."_s,
        u"store"_s);
    parser.addOptions({dbOption, initOption, sampleOption, copyOption});
    parser.addPositionalArgument(u"target"_s, u"With --copy: the store to copy into (made when it does not exist)."_s,
                                 u"[target]"_s);
    parser.process(*app); // prints help, version or a usage error and exits

    if (parser.isSet(copyOption)) {
        if (parser.positionalArguments().size() != 1) {
            printError(u"korvel: --copy SOURCE TARGET needs one target"_s);
            return 2;
        }
        return copyStores(parser.value(copyOption), parser.positionalArguments().first());
    }
    if (parser.isSet(initOption))
        return initStore(parser.value(initOption), parser.isSet(sampleOption));
    if (parser.isSet(sampleOption)) {
        printError(u"korvel: --sample goes with --init"_s);
        return 2;
    }
    return Main(parser.isSet(dbOption) ? parser.value(dbOption) : defaultStorePath());
}
