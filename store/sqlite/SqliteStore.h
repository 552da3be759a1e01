#pragma once

#include "store/sql/SqlStore.h"

#include <vector>

struct sqlite3;

// A store in one SQLite file, or in memory for fuzzing and quick checks.
class SqliteStore : public SqlStore
{
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 6;
    static constexpr int RowsPerInsert = 64;
    static constexpr int BulkCheckpointPages = 40000;

    SqliteStore();
    ~SqliteStore() override;

    // Makes a new store file with both tables, their indexes and the root row; refuses an existing path.
    static Status create(const QString& path);
    // Opens an existing store file read-write (never creates one), checks it and brings an older schema up to date.
    Status open(const QString& path);
    // A private store in memory with the full schema and the root row.
    Status openInMemory();

    QString location() const override { return m_path; }
    Status deleteAllKeywords() override;
    Status loadPrints(KeywordPrints& into) override;
    using Store::addChunk;
    Status addChunk(const QList<QString>& keywords, const QList<KeywordMetrics>& metrics, KeywordPrints* seen,
                    ChunkCounts& counts) override;
    Result<qint64> importRows(const QList<KeywordRow>& rows) override;
    Result<QList<FoundKeyword>> findKeywords(const QString& text, int limit) override;
    Result<QStringList> problems() override;

    Result<BulkFiling> fileKeywords(const QList<qint64>& ids, const QString& classCode, const QString& className,
                                    const BulkProgress& progress = {}) override;
    Result<QList<qint64>> unfileKeywords(const QList<qint64>& ids, const QString& classCode) override;
    Result<RuleMatches> matchRule(const Rule& rule, const RuleScan& scan) override;
    Status readUnsorted(qint64 afterId, const std::function<void(qint64, const QString&)>& each,
                        const std::atomic<bool>* cancel = nullptr) override;

protected:
    Status beforeWrite() override;

private:
    // SQLite's own handle under the Qt connection, for the reads and writes of many rows.
    sqlite3* handle() const;
    // Runs scan over the keywords in two halves of their ids at once (half 0 the lower), each over a read-only
    // connection of its own, one on another thread. Reading a large store takes half the time; a small store, or
    // one in memory, is read in one go on this connection as the lower half.
    Status scanInHalves(const std::function<Status(sqlite3* db, qint64 from, qint64 to, int half)>& scan);
    // Inserts each keyword as an unsorted row, in order, counting them; the store's words when one is refused.
    QString insertKeywords(const std::vector<QByteArrayView>& keywords, qint64& added);
    // Inserts the numbers of keywords by id, many rows to a statement; the store's words when it refuses them.
    QString insertMetrics(const std::vector<std::pair<qint64, const KeywordMetrics*>>& rows,
                          const QHash<QString, qint64>& rawColumns);
    // Takes into a batch's prints the keywords other connections stored since it last looked; in a transaction.
    Status catchUp(KeywordPrints& seen);

    QString m_path;
    // Whether this connection has added keywords in bulk: the log is then copied into the file less often, and
    // once when the connection closes.
    bool m_bulk = false;
};
