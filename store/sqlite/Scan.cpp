#include "Native.h"
#include "SqliteStore.h"

#include <QFile>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Below this many ids a second connection costs more than it saves.
constexpr qint64 HalvesFrom = 200000;

} // namespace

Status SqliteStore::scanInHalves(const std::function<Status(sqlite3*, qint64, qint64, int)>& scan)
{
    // Each on its own, the smallest and the largest id are one step down the table.
    NativeStatement smallest(handle(), "SELECT min(id) FROM Korvels");
    NativeStatement largest(handle(), "SELECT max(id) FROM Korvels");
    if (!smallest.next() || !largest.next())
        return Status::failure(smallest.failed() ? smallest.error() : largest.error());
    const qint64 first = smallest.integer(0);
    const qint64 last = largest.integer(0);
    if (last - first < HalvesFrom || m_path == u":memory:"_s)
        return scan(handle(), first, last, 0);
    const qint64 middle = first + (last - first) / 2;
    // Each half over a read-only connection of its own, used by one thread only: no locking on every call, and no
    // rows left behind in this connection's cache.
    const auto scanAlone = [&](qint64 from, qint64 to, int half) {
        sqlite3* db = nullptr;
        Status done;
        if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr)
            == SQLITE_OK) {
            sqlite3_busy_timeout(db, 3000);
            done = scan(db, from, to, half);
        } else {
            done = Status::failure(QString::fromUtf8(sqlite3_errmsg(db)));
        }
        sqlite3_close(db);
        return done;
    };
    Status upper;
    std::thread helper([&] { upper = scanAlone(middle + 1, last, 1); });
    const Status lower = scanAlone(first, middle, 0);
    helper.join();
    return lower ? upper : lower;
}

Result<QList<FoundKeyword>> SqliteStore::findKeywords(const QString& text, int limit)
{
    // SQLite's LIKE compares ASCII letters without case and everything else exactly: the find rule itself.
    const QByteArray pattern = containsPattern(stored(text)).toUtf8();
    QList<FoundKeyword> halves[2];
    const Status read = scanInHalves([&](sqlite3* db, qint64 from, qint64 to, int half) {
        NativeStatement found(
            db,
            "SELECT k.id, k.keywords, k.classcode, k.classname, k.isSet, k.statue, k.statue1,"
            " coalesce(c.path, '') FROM Korvels k LEFT JOIN KeyClass c"
            " ON c.code = k.classcode AND k.classcode <> ''"
            " WHERE k.id BETWEEN ?1 AND ?2 AND k.keywords LIKE ?3 ESCAPE '\\' ORDER BY k.id LIMIT ?4");
        if (!found)
            return Status::failure(found.error());
        found.bind(1, from);
        found.bind(2, to);
        found.bind(3, pattern);
        found.bind(4, qint64(limit));
        while (found.next()) {
            halves[half].append({{found.integer(0), found.string(1), found.string(2), found.string(3), found.integer(4),
                                  found.integer(5), found.integer(6)},
                                 found.string(7)});
        }
        return found.failed() ? Status::failure(found.error()) : Status();
    });
    if (!read)
        return read.as<QList<FoundKeyword>>();
    QList<FoundKeyword> all = halves[0] + halves[1];
    all.resize(std::min<qsizetype>(all.size(), limit));
    return all;
}

Result<QStringList> SqliteStore::problems()
{
    QStringList found;
    const Status read = m_connection.read(u"PRAGMA integrity_check"_s, {}, [&](const QSqlQuery& q) {
        if (q.value(0).toString() != u"ok"_s)
            found << u"数据库文件损坏：%1"_s.arg(q.value(0).toString());
    });
    if (!read)
        return read.as<QStringList>();
    auto rows = SqlStore::problems();
    if (!rows)
        return rows;
    return found + *rows;
}
