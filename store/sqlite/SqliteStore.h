#pragma once

#include "store/sql/SqlStore.h"

struct sqlite3;

// A store in one SQLite file, or in memory for fuzzing and quick checks.
class SqliteStore : public SqlStore
{
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 2;

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
    Status addChunk(const QList<QString>& keywords, KeywordPrints* seen, ChunkCounts& counts) override;
    Result<qint64> importRows(const QList<KeywordRow>& rows) override;

protected:
    Status beforeWrite() override;

private:
    // SQLite's own handle under the Qt connection, for the reads and writes of many rows.
    sqlite3* handle() const;

    QString m_path;
};
