#include "Native.h"
#include "SqliteStore.h"

using namespace Qt::StringLiterals;

namespace {

// Each chunk is one transaction: a crash loses at most the chunk in flight, and a commit is not paid per keyword.
constexpr qsizetype ChunkSize = 10000;

// While it lives, a statement on db stops (SQLITE_INTERRUPT) soon after cancel is set, even in a long stretch of
// rows that match nothing and so never come back to the caller.
class CancelWatch
{
public:
    CancelWatch(sqlite3* db, const std::atomic<bool>* cancel)
        : m_db(cancel ? db : nullptr)
    {
        if (m_db)
            sqlite3_progress_handler(m_db, 20000, &CancelWatch::stop, const_cast<std::atomic<bool>*>(cancel));
    }
    ~CancelWatch()
    {
        if (m_db)
            sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    }
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;

private:
    static int stop(void* cancel) { return static_cast<std::atomic<bool>*>(cancel)->load() ? 1 : 0; }
    sqlite3* m_db;
};

KeywordRow rowFrom(const NativeStatement& q, const QString& code, const QString& name, qint64 isSet)
{
    return {q.integer(0), q.string(1), code, name, isSet, q.integer(2), q.integer(3)};
}

} // namespace

Result<RuleMatches> SqliteStore::matchRule(const Rule& rule, const RuleScan& scan)
{
    const auto made = RuleMatcher::make(rule);
    if (!made)
        return made.as<RuleMatches>();
    // Reading every unsorted keyword is the floor of any rule; the words are then found in its bytes here, which
    // is several times faster than SQLite's LIKE, itself as fast as the reading.
    const char* const sql = "SELECT id, keywords FROM Korvels WHERE id BETWEEN ?1 AND ?2 AND isSet = 0 ORDER BY id";
    RuleMatches halves[2];
    const Status read = scanInHalves([&](sqlite3* db, qint64 from, qint64 to, int half) -> Status {
        from = std::max(from, scan.afterId + 1);
        if (from > to)
            return {};
        // A compiled expression of its own for each thread.
        const auto matcher = RuleMatcher::make(rule);
        if (!matcher)
            return Status::of(matcher);
        NativeStatement q(db, sql);
        if (!q)
            return Status::failure(q.error());
        q.bind(1, from);
        q.bind(2, to);
        RuleMatches& out = halves[half];
        const CancelWatch watch(db, scan.cancel);
        while (q.next()) {
            const QByteArrayView text = q.text(1);
            if (!matcher->matchesUtf8(text))
                continue;
            ++out.count;
            if (out.first.size() < scan.listLimit)
                out.first.append({q.integer(0), QString::fromUtf8(text), {}, {}, 0, 0, 0});
            if (scan.ids)
                out.ids.append(q.integer(0));
        }
        if (scan.cancel && *scan.cancel) {
            out.cancelled = true;
            return {};
        }
        return q.failed() ? Status::failure(q.error()) : Status();
    });
    if (!read)
        return read.as<RuleMatches>();
    RuleMatches all = std::move(halves[0]);
    all.count += halves[1].count;
    all.first += halves[1].first;
    all.first.resize(std::min<qsizetype>(all.first.size(), scan.listLimit));
    all.ids += halves[1].ids;
    all.cancelled = all.cancelled || halves[1].cancelled;
    return all;
}

Result<BulkFiling> SqliteStore::fileKeywords(const QList<qint64>& ids, const QString& classCode,
                                             const QString& className, const BulkProgress& progress)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<BulkFiling>();
    const QString code = stored(classCode);
    const QString name = stored(className);
    BulkFiling result;
    QList<KeywordRow> filed;
    Status status;
    for (qsizetype start = 0; start < ids.size() && status; start += ChunkSize) {
        const QList<qint64> chunk = ids.mid(start, ChunkSize);
        bool classThere = false;
        QList<KeywordRow> rows;
        status = m_connection.transaction([&]() -> Status {
            NativeStatement owner(handle(), "SELECT 1 FROM KeyClass WHERE code = ?1");
            NativeStatement update(handle(),
                                   "UPDATE Korvels SET classcode = ?1, classname = ?2, isSet = 1"
                                   " WHERE id = ?3 AND isSet = 0 RETURNING id, keywords, statue, statue1");
            if (!owner || !update)
                return Status::failure(owner ? update.error() : owner.error());
            owner.bind(1, code.toUtf8());
            classThere = owner.next();
            if (owner.failed())
                return Status::failure(owner.error());
            owner.reset();
            if (!classThere)
                return {};
            update.bind(1, code.toUtf8());
            update.bind(2, name.toUtf8());
            for (const qint64 id : chunk) {
                update.bind(3, id);
                if (update.next())
                    rows.append(rowFrom(update, code, name, 1));
                if (update.failed())
                    return Status::failure(update.error());
                update.reset();
            }
            return {};
        });
        if (!status)
            break;
        if (!classThere) {
            result.classGone = ids.size() - start;
            break;
        }
        for (const KeywordRow& row : std::as_const(rows))
            result.filed.append(row.id);
        result.gone += chunk.size() - rows.size();
        filed += rows;
        if (progress && !progress(start + chunk.size(), ids.size()))
            break;
    }
    if (!filed.isEmpty())
        emit keywordsFiled(filed);
    if (!status)
        return status.as<BulkFiling>();
    return result;
}

Result<QList<qint64>> SqliteStore::unfileKeywords(const QList<qint64>& ids, const QString& classCode)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<QList<qint64>>();
    const QString code = stored(classCode);
    QList<KeywordRow> returned;
    Status status;
    for (qsizetype start = 0; start < ids.size() && status; start += ChunkSize) {
        QList<KeywordRow> rows;
        status = m_connection.transaction([&]() -> Status {
            NativeStatement update(handle(),
                                   "UPDATE Korvels SET isSet = 0, classcode = '', classname = ''"
                                   " WHERE id = ?1 AND classcode = ?2 RETURNING id, keywords, statue, statue1");
            if (!update)
                return Status::failure(update.error());
            update.bind(2, code.toUtf8());
            for (const qint64 id : ids.mid(start, ChunkSize)) {
                update.bind(1, id);
                // Announced as it was before: filed under its class.
                if (update.next())
                    rows.append(rowFrom(update, code, {}, 0));
                if (update.failed())
                    return Status::failure(update.error());
                update.reset();
            }
            return {};
        });
        if (status)
            returned += rows;
    }
    return unfiled(returned, status);
}

Status SqliteStore::readUnsorted(qint64 afterId, const std::function<void(qint64, const QString&)>& each,
                                 const std::atomic<bool>* cancel)
{
    NativeStatement q(handle(), "SELECT id, keywords FROM Korvels WHERE id > ?1 AND isSet = 0 ORDER BY id");
    if (!q)
        return Status::failure(q.error());
    q.bind(1, afterId);
    const CancelWatch watch(handle(), cancel);
    while (q.next())
        each(q.integer(0), q.string(1));
    if (cancel && *cancel)
        return {};
    return q.failed() ? Status::failure(q.error()) : Status();
}
