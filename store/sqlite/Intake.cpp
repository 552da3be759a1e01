#include "SqliteStore.h"

#include "store/intake/KeywordPrints.h"
#include "store/StoredText.h"

#include <QFile>

#include <sqlite3.h>
#include <thread>

using namespace Qt::StringLiterals;

// Batches of keywords go through SQLite's own interface: a QSqlQuery would copy every value into a QVariant,
// which makes a million-line batch several times slower.
namespace {

class NativeStatement
{
public:
    NativeStatement(sqlite3* db, const char* sql)
        : m_db(db)
    {
        if (!db || sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~NativeStatement() { sqlite3_finalize(m_statement); }
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    QString error() const { return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : u"数据库未打开。"_s; }
    void bind(int column, const QByteArray& text)
    {
        sqlite3_bind_text(m_statement, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int column, qint64 value) { sqlite3_bind_int64(m_statement, column, value); }
    void bindNull(int column) { sqlite3_bind_null(m_statement, column); }
    // Runs an insert; false with the reason in error() when the store refused it.
    bool run()
    {
        const int rc = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        return rc == SQLITE_DONE;
    }
    // Steps a query; false at its end or on an error.
    bool next() { return (m_rc = sqlite3_step(m_statement)) == SQLITE_ROW; }
    void reset() { sqlite3_reset(m_statement); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    bool failed() const { return m_rc != SQLITE_DONE && m_rc != SQLITE_ROW; }
    QByteArrayView text(int column) const
    {
        return {reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                sqlite3_column_bytes(m_statement, column)};
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    int m_rc = SQLITE_DONE;
};

} // namespace

namespace {

// The prints of the keywords with ids in [from, to], sorted.
Status scanPrints(sqlite3* db, qint64 from, qint64 to, std::vector<KeywordPrints::Entry>& entries)
{
    NativeStatement range(db, "SELECT id, keywords FROM Korvels WHERE id BETWEEN ?1 AND ?2");
    if (!range)
        return Status::failure(range.error());
    range.bind(1, from);
    range.bind(2, to);
    while (range.next())
        entries.push_back({KeywordPrints::of(range.text(1)), range.integer(0)});
    if (range.failed())
        return Status::failure(range.error());
    KeywordPrints::sort(entries);
    return {};
}

} // namespace

Status SqliteStore::loadPrints(KeywordPrints& into)
{
    // Each on its own, the smallest and the largest id are one step down the table.
    NativeStatement smallest(handle(), "SELECT min(id) FROM Korvels");
    NativeStatement largest(handle(), "SELECT max(id) FROM Korvels");
    if (!smallest.next() || !largest.next())
        return Status::failure(smallest.failed() ? smallest.error() : largest.error());
    const qint64 first = smallest.integer(0);
    const qint64 last = largest.integer(0);
    // The rows fill at most the ids between; room for more than a store's worth is never touched, so never used.
    const size_t room = size_t(std::clamp<qint64>(last - first + 1, 0, qint64(1) << 26));
    // A large store is read in two halves at once, the upper one over a connection of its own on another thread:
    // reading and sorting ten million keywords takes half the time.
    const bool inHalves = room > 200000 && m_path != u":memory:"_s;
    const qint64 middle = inHalves ? first + (last - first) / 2 : last;
    std::vector<KeywordPrints::Entry> lower;
    std::vector<KeywordPrints::Entry> upper;
    lower.reserve(inHalves ? room / 2 + 1 : room);
    Status upperRead;
    std::thread helper;
    if (inHalves) {
        helper = std::thread([&] {
            sqlite3* db = nullptr;
            const QByteArray path = QFile::encodeName(m_path);
            if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
                sqlite3_busy_timeout(db, 3000);
                upper.reserve(room / 2 + 1);
                upperRead = scanPrints(db, middle + 1, last, upper);
            } else {
                upperRead = Status::failure(QString::fromUtf8(sqlite3_errmsg(db)));
            }
            sqlite3_close(db);
        });
    }
    const Status lowerRead = scanPrints(handle(), first, middle, lower);
    if (helper.joinable())
        helper.join();
    if (!lowerRead)
        return lowerRead;
    if (!upperRead)
        return upperRead;
    into.addStored(std::move(lower));
    into.addStored(std::move(upper));
    return {};
}

Status SqliteStore::addChunk(const QList<QString>& keywords, KeywordPrints* seen, ChunkCounts& counts)
{
    counts = {};
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    QString refused;
    ChunkCounts done;
    const Status committed = m_connection.transaction([&]() -> Status {
        NativeStatement insert(handle(), "INSERT INTO Korvels(keywords, isSet, statue, statue1) VALUES (?1, 0, 0, 0)");
        NativeStatement stored(handle(), "SELECT keywords FROM Korvels WHERE id = ?1");
        if (!insert || !stored)
            return Status::failure(insert ? stored.error() : insert.error());
        QList<qint64> candidates;
        for (const QString& keyword : keywords) {
            const QByteArray bytes = storedText(keyword).toUtf8();
            const quint64 print = seen ? KeywordPrints::of(bytes) : 0;
            if (seen) {
                seen->rowsWith(print, candidates);
                const bool duplicate = std::any_of(candidates.cbegin(), candidates.cend(), [&](qint64 id) {
                    stored.bind(1, id);
                    const bool equal = stored.next() && KeywordPrints::equal(stored.text(0), bytes);
                    stored.reset();
                    return equal;
                });
                if (duplicate) {
                    ++done.duplicates;
                    continue;
                }
            }
            insert.bind(1, bytes);
            if (!insert.run()) {
                // The keywords before this one are kept, where the store still allows it.
                refused = insert.error();
                break;
            }
            if (seen)
                seen->add(print, sqlite3_last_insert_rowid(handle()));
            ++done.added;
        }
        return {};
    });
    if (committed)
        counts = done;
    // Some failures (a full disk, an I/O error) have rolled the transaction back already: their own words say
    // more than the failed commit's.
    if (!refused.isEmpty())
        return Status::failure(refused);
    return committed;
}

Result<qint64> SqliteStore::importRows(const QList<KeywordRow>& rows)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<qint64>();
    const Status done = m_connection.transaction([&]() -> Status {
        NativeStatement insert(handle(), "INSERT INTO Korvels(id, keywords, isSet, statue, statue1, classcode, "
                                         "classname) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        if (!insert)
            return Status::failure(insert.error());
        for (const KeywordRow& row : rows) {
            if (row.id == 0)
                insert.bindNull(1);
            else
                insert.bind(1, row.id);
            insert.bind(2, storedText(row.keywords).toUtf8());
            insert.bind(3, row.isSet);
            insert.bind(4, row.statue);
            insert.bind(5, row.statue1);
            insert.bind(6, storedText(row.classcode).toUtf8());
            insert.bind(7, storedText(row.classname).toUtf8());
            if (!insert.run())
                return Status::failure(insert.error());
        }
        return {};
    });
    if (!done)
        return done.as<qint64>();
    return qint64(rows.size());
}
