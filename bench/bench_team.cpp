// A team on one PostgreSQL server: N operators (10 by default), each over a connection of its own on a thread of
// its own, file K keywords each (10,000 by default) as fast as the server lets them, taking one back now and then
// and deleting one now and then. Afterwards it checks that no keyword was ever current in two windows at once,
// that no filing was lost, and that every row is consistent; it prints filings per second and the p99 of one.
// Usage: bench_team CONNINFO [--operator ROLE] [--operators N] [--filings K]
//   CONNINFO names a database its role may make a schema in; the run makes a fresh store in a schema korvel_bench
//   there as that role, grants it to ROLE, and every operator's window works as ROLE.

#include "BenchSupport.h"
#include "store/ClassCode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <atomic>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Classes = 20;

// Which operator each current keyword is with, as the operators themselves report it.
class Currents
{
public:
    void leave(qint64 id)
    {
        QMutexLocker lock(&m_mutex);
        m_with.remove(id);
    }
    void take(qint64 id, int who)
    {
        QMutexLocker lock(&m_mutex);
        if (m_with.contains(id) && m_with.value(id) != who) {
            ++m_twice;
            std::printf("keyword %lld is current with operators %d and %d\n", qlonglong(id), m_with.value(id), who);
        }
        m_with.insert(id, who);
    }
    int twice() const { return m_twice; }

private:
    QMutex m_mutex;
    QHash<qint64, int> m_with;
    int m_twice = 0;
};

struct Operator
{
    // What this operator filed and has not taken back or deleted: id to class code.
    QHash<qint64, QString> filed;
    QList<qint64> filingNs;
    int takenBack = 0;
    int deleted = 0;
    QString failure;
};

void work(const QString& location, int who, int filings, Currents& currents, Operator& me)
{
    auto opened = openStore(location);
    if (!opened) {
        me.failure = opened.error();
        return;
    }
    Store& store = **opened;
    QRandomGenerator random(quint32(who + 1));
    qint64 current = 0;
    const auto serve = [&] {
        currents.leave(current);
        const auto next = store.nextUnsorted();
        current = next && next->has_value() ? (*next)->id : 0;
        if (current)
            currents.take(current, who);
        return next.ok();
    };
    if (!serve())
        return;
    QElapsedTimer timer;
    while (int(me.filingNs.size()) < filings && current != 0) {
        const int roll = int(random.bounded(100));
        if (roll < 3 && !me.filed.isEmpty()) {
            // Takes back one of its own filings: it becomes the current keyword.
            const qint64 id = me.filed.keys().at(int(random.bounded(qsizetype(me.filed.size()))));
            currents.leave(current);
            const auto back = store.unfileKeyword(id, me.filed.value(id));
            if (back && *back == Store::Change::Done) {
                me.filed.remove(id);
                ++me.takenBack;
                current = id;
                currents.take(current, who);
            } else if (!back) {
                me.failure = back.error();
                return;
            } else {
                currents.take(current, who);
            }
            continue;
        }
        if (roll < 5) {
            currents.leave(current);
            const auto gone = store.deleteKeyword(current);
            if (!gone) {
                me.failure = gone.error();
                return;
            }
            ++me.deleted;
            current = 0;
            if (!serve())
                return;
            continue;
        }
        const QString code = ClassCode::childCode({}, 1 + random.bounded(Classes));
        currents.leave(current);
        timer.start();
        const auto filed = store.fileKeyword(current, code, u"类"_s);
        me.filingNs << timer.nsecsElapsed();
        if (!filed || *filed != Store::Change::Done) {
            me.failure = filed ? u"keyword %1 could not be filed"_s.arg(current) : filed.error();
            return;
        }
        me.filed.insert(current, code);
        if (!serve())
            return;
    }
    // Done: the window closes, and its keyword is no longer current anywhere.
    currents.leave(current);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::puts("usage: bench_team CONNINFO [--operator ROLE] [--operators N] [--filings K]");
        return 2;
    }
    const int operators = args.contains(u"--operators"_s) ? args.value(args.indexOf(u"--operators"_s) + 1).toInt() : 10;
    const int filings = args.contains(u"--filings"_s) ? args.value(args.indexOf(u"--filings"_s) + 1).toInt() : 10000;
    const QString server = args.at(1);
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(u"QPSQL"_s, u"admin"_s);
        admin.setConnectOptions(server);
        if (!admin.open()) {
            std::printf("cannot reach %s: %s\n", qPrintable(server), qPrintable(admin.lastError().text()));
            return 1;
        }
        QSqlQuery(admin).exec(u"DROP SCHEMA IF EXISTS korvel_bench CASCADE"_s);
        QSqlQuery(admin).exec(u"CREATE SCHEMA korvel_bench"_s);
    }
    QSqlDatabase::removeDatabase(u"admin"_s);
    const QString ownerLocation = server + u" options='-c search_path=korvel_bench'"_s;
    if (const Status created = createStore(ownerLocation); !created) {
        std::printf("cannot make the store: %s\n", qPrintable(created.error()));
        return 1;
    }
    QString location = ownerLocation;
    if (const qsizetype role = args.indexOf(u"--operator"_s); role > 0) {
        if (const Status granted = grantOperator(ownerLocation, args.value(role + 1)); !granted) {
            std::printf("cannot grant the store: %s\n", qPrintable(granted.error()));
            return 1;
        }
        location += u" user="_s + args.value(role + 1);
        std::printf("every window works as the role %s\n", qPrintable(args.value(role + 1)));
    }
    {
        const auto store = Bench::open(location);
        if (!store)
            return 1;
        for (int c = 0; c < Classes; ++c)
            (void)store->addClass({}, u"类%1"_s.arg(c), {});
        QStringList keywords;
        for (int i = 0; i < operators * filings * 11 / 10; ++i)
            keywords << u"团队关键词 %1"_s.arg(i);
        if (const auto added = store->insertKeywords(keywords); !added) {
            std::printf("cannot add keywords: %s\n", qPrintable(added.error()));
            return 1;
        }
    }

    Currents currents;
    QList<Operator> team(operators);
    QList<QThread*> threads;
    QElapsedTimer clock;
    clock.start();
    for (int who = 0; who < operators; ++who) {
        threads << QThread::create([&, who] { work(location, who, filings, currents, team[who]); });
        threads.last()->start();
    }
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    const double seconds = clock.elapsed() / 1000.0;

    QList<qint64> all;
    int takenBack = 0;
    int deleted = 0;
    int stopped = 0;
    for (const Operator& o : team) {
        stopped += o.failure.isEmpty() ? 0 : 1;
        all << o.filingNs;
        takenBack += o.takenBack;
        deleted += o.deleted;
        if (!o.failure.isEmpty())
            std::printf("an operator stopped: %s\n", qPrintable(o.failure));
    }
    std::printf("%d operators filed %lld keywords in %.1f s: %.0f filings per second (%d taken back, %d deleted)\n",
                operators, qlonglong(all.size()), seconds, double(all.size()) / seconds, takenBack, deleted);
    Bench::report("one filing, with the whole team at work", all);

    // The store afterwards, checked over a connection of its own.
    const auto store = Bench::open(location);
    int lost = 0;
    for (const Operator& o : team) {
        for (auto it = o.filed.cbegin(); it != o.filed.cend(); ++it) {
            const auto page = store->classPage(it.value(), it.key(), 1);
            if (!page || page->isEmpty() || page->first().id != it.key() || page->first().isSet != 1)
                ++lost;
        }
    }
    QSqlDatabase check = QSqlDatabase::addDatabase(u"QPSQL"_s, u"check"_s);
    check.setConnectOptions(location);
    check.open();
    const auto count = [&](const QString& sql) {
        QSqlQuery q(check);
        return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
    };
    const qint64 inconsistent = count(u"SELECT count(*) FROM Korvels WHERE (isSet = 1) <> (classcode <> '')"_s);
    const qint64 miscounted = count(u"SELECT count(*) FROM (SELECT classcode, count(*) AS n FROM Korvels"
                                    u" WHERE classcode <> '' GROUP BY classcode) k FULL JOIN ClassCounts c"
                                    u" USING (classcode) WHERE coalesce(k.n, 0) <> coalesce(c.n, 0)"_s);
    qint64 recorded = 0;
    for (const Operator& o : team)
        recorded += o.filed.size();
    const qint64 stored = count(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s);
    std::printf("served twice at once: %d; filings lost: %d; filed %lld, recorded %lld; inconsistent rows: %lld;"
                " class counts wrong: %lld\n",
                currents.twice(), lost, qlonglong(stored), qlonglong(recorded), qlonglong(inconsistent),
                qlonglong(miscounted));
    const bool sound = stopped == 0 && currents.twice() == 0 && lost == 0 && stored == recorded && inconsistent == 0
        && miscounted == 0;
    std::puts(sound ? "ok" : "FAILED");
    return sound ? 0 : 1;
}
