#include "SqliteStore.h"

#include "store/intake/KeywordSet.h"
#include "store/StoredText.h"

#include <sqlite3.h>

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

Status SqliteStore::loadKeywords(KeywordSet& into)
{
    NativeStatement all(handle(), "SELECT keywords FROM Korvels");
    if (!all)
        return Status::failure(all.error());
    while (all.next())
        into.insert(all.text(0));
    return all.failed() ? Status::failure(all.error()) : Status();
}

Status SqliteStore::addChunk(const QList<QString>& keywords, KeywordSet* seen, ChunkCounts& counts)
{
    counts = {};
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    QString refused;
    ChunkCounts done;
    const Status committed = m_connection.transaction([&]() -> Status {
        NativeStatement insert(handle(), "INSERT INTO Korvels(keywords, isSet, statue, statue1) VALUES (?1, 0, 0, 0)");
        if (!insert)
            return Status::failure(insert.error());
        for (const QString& keyword : keywords) {
            const QByteArray bytes = storedText(keyword).toUtf8();
            if (seen && seen->contains(bytes)) {
                ++done.duplicates;
                continue;
            }
            insert.bind(1, bytes);
            if (!insert.run()) {
                // The keywords before this one are kept, where the store still allows it.
                refused = insert.error();
                break;
            }
            if (seen)
                seen->insert(bytes);
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
