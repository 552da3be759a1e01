#include "CommandLine.h"

#include "Module1.h"
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

} // namespace

int runKorvel(int argc, char** argv)
{
    // --init, --help and --version must work on a machine without a display, so the window system is
    // started only when the program is to show its window.
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        for (const char* option : {"--init", "-h", "--help", "--help-all", "-v", "--version"})
            headless = headless || argument == option || argument.startsWith("--init=");
    }
    std::unique_ptr<QCoreApplication> app(headless ? new QCoreApplication(argc, argv) : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(u"korvel"_s);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Sorts search keywords into a tree of classes, one keystroke at a time."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dbOption(u"db"_s, u"Open the store at <path> instead of Data.db beside the program."_s,
                                      u"path"_s);
    const QCommandLineOption initOption(u"init"_s, u"Create a new empty store at <path> and exit."_s, u"path"_s);
    const QCommandLineOption sampleOption(u"sample"_s, u"With --init: add a small class tree and sample keywords."_s);
    parser.addOptions({dbOption, initOption, sampleOption});
    parser.process(*app); // prints help, version or a usage error and exits

    if (parser.isSet(initOption))
        return initStore(parser.value(initOption), parser.isSet(sampleOption));
    if (parser.isSet(sampleOption)) {
        printError(u"korvel: --sample goes with --init"_s);
        return 2;
    }
    return Main(parser.isSet(dbOption) ? parser.value(dbOption) : defaultStorePath());
}
