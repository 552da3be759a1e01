// How long the server keeps the keyword of a window whose network is gone, while the other windows keep working
// (and so keep sending it notifications). bench/release_time.sh sets up the network and runs both sides.
// Usage: bench_release hold LOCATION      holds the first unsorted keyword, prints its id, then waits forever
//        bench_release wait LOCATION ID   files a keyword every 100 ms and tries to hold ID between filings;
//                                         prints the seconds until it can (gives up after 1,200 s)

#include "store/Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || (args.at(1) == u"wait"_s && args.size() < 4)) {
        std::puts("usage: bench_release hold LOCATION | wait LOCATION ID");
        return 2;
    }
    auto opened = openStore(args.at(2));
    if (!opened) {
        std::printf("cannot open the store: %s\n", qPrintable(opened.error()));
        return 1;
    }
    Store& store = **opened;
    if (args.at(1) == u"hold"_s) {
        const auto next = store.nextUnsorted();
        if (!next || !next->has_value())
            return 1;
        std::printf("%lld\n", qlonglong((*next)->id));
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    const qint64 id = args.at(3).toLongLong();
    const auto code = store.addClass({}, u"类"_s, {});
    if (!code)
        return 1;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1200 * 1000) {
        if (const auto held = store.holdKeyword(id); held && *held) {
            std::printf("the keyword of the window cut off was free after %.1f s\n", clock.elapsed() / 1000.0);
            return 0;
        }
        // Another keyword filed: the server notifies every window, the one cut off too.
        if (const auto next = store.nextUnsorted(); next && next->has_value())
            (void)store.fileKeyword((*next)->id, *code, u"类"_s);
        QThread::msleep(100);
    }
    std::puts("the keyword of the window cut off was still held after 1,200 s");
    return 1;
}
