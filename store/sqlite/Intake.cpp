#include "Native.h"
#include "SqliteStore.h"
#include "store/StoredText.h"
#include "store/intake/KeywordPrints.h"

using namespace Qt::StringLiterals;

Status SqliteStore::loadPrints(KeywordPrints& into)
{
    std::vector<KeywordPrints::Entry> halves[2];
    const Status read = scanInHalves([&](sqlite3* db, qint64 from, qint64 to, int half) {
        std::vector<KeywordPrints::Entry>& entries = halves[half];
        NativeStatement range(db, "SELECT id, keywords FROM Korvels WHERE id BETWEEN ?1 AND ?2");
        if (!range)
            return Status::failure(range.error());
        range.bind(1, from);
        range.bind(2, to);
        // The rows fill at most the ids between; room for more than a store's worth is never touched.
        entries.reserve(size_t(std::clamp<qint64>(to - from + 1, 0, qint64(1) << 25)));
        while (range.next())
            entries.push_back({KeywordPrints::of(range.text(1)), range.integer(0)});
        if (range.failed())
            return Status::failure(range.error());
        KeywordPrints::sort(entries);
        return Status();
    });
    if (!read)
        return read;
    for (auto& half : halves)
        into.addStored(std::move(half));
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
        NativeStatement insert(handle(),
                               "INSERT INTO Korvels(id, keywords, isSet, statue, statue1, classcode, "
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
