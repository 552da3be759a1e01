// Filing by rule and counting terms at a million unsorted keywords: a rule's count as each key is typed, the
// `rule --dry-run` command, filing 100,000 matches and taking them back, the term table the first time and after
// each filing. Figures are also given as a ratio to a floor measured in the same run: reading every unsorted
// keyword once.
//
//     bench_rules [--keywords N] [STORE]
//
// STORE (a file or a server) is filled with N keywords (default 1,000,000) when it holds none; without it a
// store file in a temporary folder is made.

#include "BenchSupport.h"
#include "store/terms/TermCounter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <thread>
#include <time.h>

using namespace Qt::StringLiterals;

namespace {

// Keywords as a planner gives them: a brand or not, a product (one in ten is 手机), a question or a detail.
QStringList makeKeywords(qint64 n)
{
    const QStringList brands = {u"苹果"_s, u"华为"_s, u"小米"_s, u"OPPO"_s, u"vivo"_s, u"三星"_s, u"联想"_s,
                                u"索尼"_s, u"耐克"_s, u"海尔"_s, {},        {},        {}};
    const QStringList products = {u"手机"_s, u"蓝牙耳机"_s, u"笔记本电脑"_s, u"运动鞋"_s, u"电视"_s,
                                  u"冰箱"_s, u"手表"_s,     u"平板"_s,       u"充电器"_s, u"相机"_s};
    const QStringList tails = {u"价格"_s,     u"多少钱"_s, u"哪个牌子好"_s, u"推荐"_s, u"怎么样"_s, u"官网"_s,
                               u"2023新款"_s, u"维修"_s,   u"二手"_s,       u"评测"_s, u"配件"_s,   u"专卖店"_s};
    QRandomGenerator random(7);
    QStringList out;
    out.reserve(n);
    for (qint64 i = 0; i < n; ++i) {
        QString k = brands.at(random.bounded(int(brands.size()))) + products.at(random.bounded(int(products.size())));
        k += (random.bounded(3) == 0 ? u" "_s : QString()) + tails.at(random.bounded(int(tails.size())));
        if (random.bounded(4) == 0)
            k += u' ' + QString::number(random.bounded(1000));
        out << k;
    }
    return out;
}

qint64 cpuNow()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The processor time of the last work timed, every thread of the process together: on a machine that other work
// keeps busy, it says what the work itself costs.
qint64 lastCpu = 0;

qint64 timed(const std::function<void()>& work)
{
    QElapsedTimer t;
    const qint64 cpu = cpuNow();
    t.start();
    work();
    const qint64 wall = t.nsecsElapsed();
    lastCpu = cpuNow() - cpu;
    return wall;
}

void line(const char* what, qint64 ns, qint64 floor)
{
    std::printf("%-62s %9.1f ms  (%.2f x floor)  cpu %8.1f ms\n", what, Bench::ms(ns),
                double(ns) / double(std::max<qint64>(floor, 1)), Bench::ms(lastCpu));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    qint64 wanted = 1000000;
    if (const qsizetype at = args.indexOf(u"--keywords"_s); at >= 0 && at + 1 < args.size()) {
        wanted = args.at(at + 1).toLongLong();
        args.remove(at, 2);
    }
    QTemporaryDir dir;
    QString location = args.value(0);
    if (location.isEmpty()) {
        location = dir.filePath(u"bench.db"_s);
        if (const Status made = createStore(location); !made) {
            std::printf("cannot create %s: %s\n", qPrintable(location), qPrintable(made.error()));
            return 1;
        }
    }
    auto store = Bench::open(location);
    if (!store)
        return 1;
    if (store->keywordTotals()->total == 0) {
        const QStringList all = makeKeywords(wanted);
        for (qsizetype i = 0; i < all.size(); i += 100000)
            (void)store->insertKeywords(all.mid(i, 100000));
    }
    auto classes = store->classesUnder({});
    if (classes->isEmpty())
        (void)store->addClass({}, u"手机"_s, u"1"_s);
    const QString code = store->classesUnder({})->first().code;
    const qint64 unsorted = store->keywordTotals()->unsorted;
    std::printf("store %s: %lld unsorted keywords\n\n", qPrintable(location), qlonglong(unsorted));

    qint64 floor = 0;
    const qint64 read = timed([&] { (void)store->readUnsorted(0, [&](qint64, const QString&) { ++floor; }); });
    line("floor: reading every unsorted keyword", read, read);

    // A rule typed a character at a time, then other kinds of rule.
    QList<qint64> keystrokes;
    QList<qint64> keystrokesCpu;
    const QString typed = u"蓝牙耳机"_s;
    for (int i = 1; i <= typed.size(); ++i) {
        keystrokes << timed([&] { (void)store->matchRule(Rule {{typed.left(i)}, {}, {}, {}, {}, {}}, {}); });
        keystrokesCpu << lastCpu;
    }
    Bench::report("rule count + first 200, typing 蓝牙耳机 into 'all'", keystrokes);
    Bench::report("  the same, processor time", keystrokesCpu);
    const QList<std::pair<const char*, Rule>> kinds = {
        {"rule: all 手机, none 二手 + 维修", Rule {{u"手机"_s}, {}, {u"二手"_s, u"维修"_s}, {}, {}, {}}},
        {"rule: any of three (ASCII letters folded)", Rule {{}, {u"oppo"_s, u"VIVO"_s, u"相机"_s}, {}, {}, {}, {}}},
        {"rule: none only (matches most)", Rule {{}, {}, {u"手机"_s}, {}, {}, {}}},
        {"rule: regex alone", Rule {{}, {}, {}, u"^\\S+手机\\S*价格$"_s, {}, {}}},
        {"rule: all 耳机, length 4..8", Rule {{u"耳机"_s}, {}, {}, {}, 4, 8}},
    };
    qint64 worst = 0;
    for (const auto& [name, rule] : kinds) {
        RuleMatches found;
        const qint64 ns = timed([&] { found = *store->matchRule(rule, {}); });
        worst = std::max(worst, ns);
        line(qPrintable(u"%1 (%2 match)"_s.arg(QString::fromUtf8(name)).arg(found.count)), ns, read);
    }
    std::printf("%-62s %9.1f ms  (limit 300 ms)\n", "worst rule count", Bench::ms(std::max(worst, keystrokes.last())));
    std::atomic<bool> cancel {false};
    RuleScan stoppable;
    stoppable.cancel = &cancel;
    QElapsedTimer stopped;
    std::thread stopper([&] {
        QThread::msleep(20);
        stopped.start();
        cancel = true;
    });
    (void)store->matchRule(Rule {{}, {}, {}, u"^\\S+手机\\S*价格$"_s, {}, {}}, stoppable);
    const qint64 late = stopped.nsecsElapsed();
    stopper.join();
    std::printf("%-62s %9.1f ms\n", "a regex count cancelled: stops after the cancel", Bench::ms(late));

    const QString korvel = QDir(QCoreApplication::applicationDirPath()).filePath(u"../korvel"_s);
    QProcess dry;
    const qint64 dryRun = timed([&] {
        dry.start(korvel, {u"--db"_s, location, u"rule"_s, u"--class"_s, code, u"--all"_s, u"手机"_s, u"--dry-run"_s});
        dry.waitForFinished(60000);
    });
    line(qPrintable(u"korvel rule --dry-run (the whole process): %1"_s.arg(QString::fromUtf8(dry.readAll()).trimmed())),
         dryRun, read);

    // Filing 100,000 matches, and taking them back as one Ctrl+Z would.
    RuleScan all;
    all.ids = true;
    all.listLimit = 0;
    QList<qint64> ids = store->matchRule(Rule {{u"手机"_s}, {}, {}, {}, {}, {}}, all)->ids;
    ids.resize(std::min<qsizetype>(ids.size(), 100000));
    QList<KeywordRow> filedRows;
    QObject::connect(store.get(), &Store::keywordsFiled, [&](const QList<KeywordRow>& rows) { filedRows = rows; });
    BulkFiling filed;
    const qint64 filing = timed([&] { filed = *store->fileKeywords(ids, code, u"手机"_s); });
    line(qPrintable(u"filing %1 matches"_s.arg(filed.filed.size())), filing, read);
    const qint64 back = timed([&] { (void)store->unfileKeywords(filed.filed, code); });
    line(qPrintable(u"taking them back"_s), back, read);

    // The term table: the first count, then a filing at a time and a whole bulk filing.
    TermTable table;
    const qint64 count = timed([&] { (void)TermCounter::count(*store, table, cancel = false, {}); });
    line(qPrintable(u"term table, first count (%1 terms)"_s.arg(table.size())), count, read);
    QList<qint64> updates;
    QList<qint64> updatesCpu;
    for (int i = 0; i < 1000 && i < filedRows.size(); ++i) {
        updates << timed([&] {
            table.remove(filedRows.at(i).keywords);
            (void)table.top(200);
        });
        updatesCpu << lastCpu;
    }
    Bench::report("term table after one filing: update + top 200", updates);
    Bench::report("  the same, processor time", updatesCpu);
    const qint64 bulk = timed([&] {
        for (qsizetype i = 1000; i < filedRows.size(); ++i)
            table.remove(filedRows.at(i).keywords);
        (void)table.top(200);
    });
    line(qPrintable(u"term table after a bulk filing of %1"_s.arg(filedRows.size() - 1000)), bulk, read);
    return 0;
}
