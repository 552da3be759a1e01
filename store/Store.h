#pragma once

#include "Result.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class KeywordSet;
struct sqlite3;
struct sqlite3_stmt;

// One row of KeyClass.
struct ClassRow
{
    qint64 id = 0;
    QString code;
    QString title;
    QString qKey;
    qint64 maxnext = 0;
    QString path;
};

// One row of Korvels as the filing loop and the grid see it.
struct KeywordRow
{
    qint64 id = 0;
    QString keywords;
    QString classcode;
    QString classname;
};

// The one connection to a keyword store (an SQLite file) and every statement the program sends to it.
// Each value travels as a bound parameter. Failures come back as values carrying SQLite's own message.
class Store
{
public:
    static constexpr int SchemaVersion = 1;

    Store();
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Makes a new store at path with both tables, their indexes and the root row. Refuses an existing path.
    static Status create(const QString& path);

    // Opens an existing store read-write (never creates one) and checks that it holds what the program needs.
    Status open(const QString& path);
    // A private store in memory with the full schema and the root row, for fuzzing and quick checks.
    Status openInMemory();
    // The name of the Qt connection, for tests that need to bend it (a size limit, read-only mode).
    const QString& connectionName() const { return m_connectionName; }
    QString path() const { return m_path; }

    // Classes.
    Result<QList<ClassRow>> classesUnder(const QString& parentCode);
    Result<std::optional<ClassRow>> classByCode(const QString& code);
    // Adds a class under parentCode and advances the parent's counter, both or neither; gives the new code.
    Result<QString> addClass(const QString& parentCode, const QString& title, const QString& qKey);

    // Changes a class's title and quick key only; false when the class is no longer in the store.
    Result<bool> editClass(const QString& code, const QString& title, const QString& qKey);
    // Whether any keyword is filed in the class or below it.
    Result<bool> subtreeHasKeywords(const QString& code);
    // Removes the one row of the class; the classes below it stay.
    Status deleteClass(const QString& code);

    // Keywords.
    Result<std::optional<KeywordRow>> nextUnsorted();
    // Files the keyword and gives its row as stored; nothing when the row is no longer in the store.
    Result<std::optional<KeywordRow>> fileKeyword(qint64 id, const QString& classCode, const QString& className);
    // Returns the keyword to the unsorted pool; false when its row is no longer in the store.
    Result<bool> unfileKeyword(qint64 id);
    // The keywords filed in the subtree of code, grouped by class code, newest first within a class: their ids
    // and class codes only, read from the index alone. Rows of one class share one code string.
    Status subtreeKeys(const QString& code, QList<qint64>& ids, QList<QString>& classCodes);
    // Up to limit keywords of one class, from the one with id fromId downwards: a page of the grid.
    Result<QList<KeywordRow>> classPage(const QString& classCode, qint64 fromId, int limit);
    // Stores each keyword as given, unsorted, in one transaction; gives how many were stored.
    Result<qint64> insertKeywords(const QStringList& keywords);
    // What a chunk of a keyword batch came to. Counts cover only what was committed; on a failure the
    // keywords before the failing one stay stored when the store allows it, and error says why it stopped.
    struct ChunkResult
    {
        qint64 added = 0;
        qint64 duplicates = 0;
        qint64 processed = 0;
        QString error;
    };
    // Every stored keyword, for a batch's duplicate test.
    Status loadKeywords(KeywordSet& into);
    // Stores a chunk of keywords, unsorted, in one transaction, each exactly as given. Given a set, a keyword
    // equal to one in it is counted as a duplicate and not stored, and each stored keyword joins the set.
    ChunkResult addKeywordChunk(const QList<QString>& keywords, KeywordSet* seen);

    // The next unsorted keywords in the order the filing loop serves them.
    Result<QStringList> pendingKeywords(int limit);
    // Removes one keyword; removing an id that is not there is no error.
    Status deleteKeyword(qint64 id);
    Status deleteAllKeywords();

    // Stores rows as given, in one transaction: filed under their class code when it is not empty.
    // Ids are the store's. For imports and for building large stores in benchmarks.
    Result<qint64> importKeywords(const QList<KeywordRow>& rows);

private:
    // A statement prepared once per connection and reused; values are bound before each run.
    Result<QSqlQuery*> statement(const QString& sql);
    // Runs a prepared query and hands each row over; the query is finished afterwards.
    static Status read(QSqlQuery& q, const std::function<void(const QSqlQuery&)>& eachRow);
    Status checkSchema();
    Status inTransaction(const std::function<Status()>& work);
    // SQLite's own handle under the Qt connection, for the few reads and writes of many rows.
    sqlite3* handle() const;
    sqlite3_stmt* prepareNative(sqlite3_stmt*& cached, const char* sql, QString* error);
    // Refuses to write once the file has been deleted, moved or replaced under the open connection: the
    // writes would go to a file nobody can open again. A file gone from its path is restored there first.
    Status checkNotMoved();
    // Writes the open database back to its path after the file was deleted, and reopens it there; gives the
    // reason when that fails.
    QString restoreDeletedFile();
    void close();

    QString m_connectionName;
    QString m_path;
    QHash<QString, QSqlQuery*> m_statements;
    sqlite3_stmt* m_subtreeKeys = nullptr;
    sqlite3_stmt* m_insertKeyword = nullptr;
    sqlite3_stmt* m_allKeywords = nullptr;
};
