#include "SqliteStore.h"

#include "FileGuard.h"
#include "Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

// How long a statement waits for another process's lock before it gives up with SQLite's "database is locked".
constexpr int BusyTimeoutMs = 3000;

} // namespace

SqliteStore::SqliteStore()
    : SqlStore(u"QSQLITE"_s)
{
    // A write takes the write lock at once: a store another process is writing to is waited for (a few seconds
    // at most) before anything is read, instead of failing at once when the read turns into a write.
    m_connection.setBegin(u"BEGIN IMMEDIATE"_s);
}

SqliteStore::~SqliteStore()
{
    // What a batch left in the write-ahead log goes into the file now, rather than at the next filing of a
    // window, which would wait for all of it. A reader in the way only leaves some of it for later.
    if (m_bulk)
        (void)m_connection.run(u"PRAGMA wal_checkpoint(PASSIVE)"_s);
}

Status SqliteStore::create(const QString& path)
{
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return Status::failure(u"文件已存在，不会覆盖：%1"_s.arg(path));
    // Claim the name first, so that two creators cannot both believe the file is theirs.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::failure(file.errorString());
    file.close();
    Status made;
    {
        Connection c(u"QSQLITE"_s);
        c.database().setDatabaseName(path);
        made = c.open();
        if (made)
            made = SqliteSchema::create(c, SchemaVersion);
        // Write-ahead logging: readers never wait for the writer, and a commit costs one append.
        if (made)
            made = c.run(u"PRAGMA journal_mode = WAL"_s);
    }
    if (!made)
        QFile::remove(path);
    return made;
}

Status SqliteStore::openInMemory()
{
    m_path = u":memory:"_s;
    m_connection.database().setDatabaseName(m_path);
    if (Status opened = m_connection.open(); !opened)
        return opened;
    return SqliteSchema::create(m_connection, SchemaVersion);
}

Status SqliteStore::open(const QString& path)
{
    m_path = path;
    QSqlDatabase db = m_connection.database();
    // A URI with mode=rw opens the file read-write and never creates a missing one.
    db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
                       + u"?mode=rw"_s);
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1"_s.arg(BusyTimeoutMs));
    if (Status opened = m_connection.open(); !opened)
        return opened;
    Status ready = SqliteSchema::checkAndUpgrade(m_connection, SchemaVersion);
    // A filing the operator has seen done survives a power cut: each commit waits until it is on the disk.
    if (ready)
        ready = m_connection.run(u"PRAGMA synchronous = FULL"_s);
    if (ready)
        ready = m_connection.run(u"PRAGMA cache_size = -32768"_s);
    // Freed pages are not overwritten one by one (the system's SQLite does so by default), which made deleting
    // every keyword of a large store take seconds; what a delete writes anyway is still cleared.
    if (ready)
        ready = m_connection.run(u"PRAGMA secure_delete = FAST"_s);
    if (!ready)
        m_connection.close();
    return ready;
}

sqlite3* SqliteStore::handle() const
{
    const QVariant driverHandle = m_connection.database().driver()->handle();
    if (driverHandle.isValid() && qstrcmp(driverHandle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(driverHandle.constData());
    return nullptr;
}

Status SqliteStore::beforeWrite()
{
    switch (FileGuard::check(handle(), m_path)) {
    case FileGuard::State::Intact:
        return {};
    case FileGuard::State::Replaced:
        return Status::failure(
            u"数据库文件已被替换，为免数据丢失，不再写入：%1\n请关闭程序，放回原来的数据库文件后重新打开。"_s.arg(
                m_path));
    case FileGuard::State::Gone:
        break;
    }
    // Deleted or moved away: the open connection still reads every row, so they are written back to where the
    // file was and the connection moves over to that copy. The write asked for is left for the operator to
    // repeat, once they have read what happened.
    Status restored = FileGuard::restore(handle(), m_path);
    if (restored) {
        m_connection.close();
        restored = open(m_path);
    }
    if (restored)
        restored = m_connection.run(u"PRAGMA journal_mode = WAL"_s);
    if (!restored)
        return Status::failure(u"数据库文件已被删除或移走，无法恢复到原位置：%1\n%2"_s.arg(m_path, restored.error()));
    return Status::failure(
        u"数据库文件已被删除或移走，已把打开的数据恢复到原位置：%1\n刚才的操作没有执行，请再做一次。"_s.arg(m_path));
}

Status SqliteStore::deleteAllKeywords()
{
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    if (const Status deleted = SqliteSchema::deleteAllKeywords(m_connection); !deleted)
        return deleted;
    emit allKeywordsDeleted();
    return {};
}
