#include "Store.h"

#include "ClassCode.h"
#include "KeywordSet.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <atomic>
#include <cstring>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace {

// How long a statement waits for another process's lock before it gives up with SQLite's "database is locked".
constexpr int BusyTimeoutMs = 3000;

const char* const SchemaStatements[] = {
    "CREATE TABLE KeyClass ("
    " id INTEGER PRIMARY KEY,"
    " code TEXT NOT NULL DEFAULT '',"
    " title TEXT NOT NULL DEFAULT '',"
    " qKey TEXT NOT NULL DEFAULT '',"
    " maxnext INTEGER NOT NULL DEFAULT 0,"
    " path TEXT NOT NULL DEFAULT '')",
    "CREATE UNIQUE INDEX KeyClass_code ON KeyClass(code)",
    // Serves the children of a code: one level, one prefix range.
    "CREATE INDEX KeyClass_level ON KeyClass(length(code), code)",
    "CREATE TABLE Korvels ("
    " id INTEGER PRIMARY KEY,"
    " keywords TEXT NOT NULL DEFAULT '',"
    " isSet INTEGER NOT NULL DEFAULT 0,"
    " statue INTEGER NOT NULL DEFAULT 0,"
    " statue1 INTEGER NOT NULL DEFAULT 0,"
    " classcode TEXT NOT NULL DEFAULT '',"
    " classname TEXT NOT NULL DEFAULT '')",
    // Only unsorted rows, so the next keyword to file is one index step away however many are filed.
    "CREATE INDEX Korvels_unsorted ON Korvels(id) WHERE isSet = 0",
    // The grid's order: a subtree is one range of class codes, newest first within a class.
    "CREATE INDEX Korvels_class ON Korvels(classcode, id DESC)",
    "INSERT INTO KeyClass(code, title, qKey, maxnext, path) VALUES ('', '', '', 0, '')",
};

const QStringList KeyClassColumns = {u"id"_s, u"code"_s, u"title"_s, u"qKey"_s, u"maxnext"_s, u"path"_s};
const QStringList KorvelsColumns
    = {u"id"_s, u"keywords"_s, u"isSet"_s, u"statue"_s, u"statue1"_s, u"classcode"_s, u"classname"_s};

QString describe(const QSqlError& error)
{
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

// Text as it goes into the store. Qt binds a null QString as SQL NULL, but the text columns hold the empty
// text. A UTF-16 surrogate without its partner (text from a broken clipboard) has no UTF-8 form: it becomes
// U+FFFD, the replacement character, instead of damaging the character after it. So do U+FFFE and U+FFFF,
// which SQLite hands back as U+FFFD: what is stored is then exactly what is read back.
QString text(const QString& value)
{
    if (value.isNull())
        return u""_s;
    QString result = value;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate() || c.unicode() >= 0xFFFE)
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

// Both tables, their indexes and the root row.
Status applySchema(QSqlQuery& q)
{
    for (const char* sql : SchemaStatements) {
        if (!q.exec(QString::fromUtf8(sql)))
            return Status::failure(describe(q.lastError()));
    }
    return {};
}

QString uniqueConnectionName()
{
    static std::atomic<int> counter {0};
    return u"korvel-store-"_s + QString::number(++counter);
}

ClassRow classFrom(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), q.value(1).toString(),   q.value(2).toString(),
            q.value(3).toString(),   q.value(4).toLongLong(), q.value(5).toString()};
}

KeywordRow keywordFrom(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()};
}

} // namespace

Store::Store()
    : m_connectionName(uniqueConnectionName())
{ }

Store::~Store()
{
    close();
}

Status Store::create(const QString& path)
{
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return Status::failure(u"文件已存在，不会覆盖：%1"_s.arg(path));
    // Claim the name first, so that two creators cannot both believe the file is theirs.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::failure(file.errorString());
    file.close();

    const QString name = uniqueConnectionName();
    Status status;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open()) {
            status = Status::failure(describe(db.lastError()));
        } else {
            QSqlQuery q(db);
            status = db.transaction() ? applySchema(q) : Status::failure(describe(db.lastError()));
            if (status && !q.exec(u"PRAGMA user_version = %1"_s.arg(SchemaVersion)))
                status = Status::failure(describe(q.lastError()));
            if (status && !db.commit())
                status = Status::failure(describe(db.lastError()));
            // Write-ahead logging: readers never wait for the writer, and a commit costs one append.
            if (status && !q.exec(u"PRAGMA journal_mode = WAL"_s))
                status = Status::failure(describe(q.lastError()));
            q.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!status)
        QFile::remove(path);
    return status;
}

Status Store::openInMemory()
{
    m_path = u":memory:"_s;
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    db.setDatabaseName(m_path);
    if (!db.open())
        return Status::failure(describe(db.lastError()));
    QSqlQuery q(db);
    if (Status made = applySchema(q); !made)
        return made;
    return checkSchema();
}

Status Store::open(const QString& path)
{
    m_path = path;
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    // A URI with mode=rw opens the file read-write and never creates a missing one.
    db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
                       + u"?mode=rw"_s);
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1"_s.arg(BusyTimeoutMs));
    if (!db.open())
        return Status::failure(describe(db.lastError()));
    if (Status checked = checkSchema(); !checked) {
        db.close();
        return checked;
    }
    QSqlQuery q(db);
    q.exec(u"PRAGMA synchronous = NORMAL"_s);
    q.exec(u"PRAGMA cache_size = -32768"_s);
    return {};
}

Status Store::checkSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery q(db);
    // The first read is where SQLite finds a file that is not a database, or one that another process locks.
    if (!q.exec(u"PRAGMA user_version"_s) || !q.next())
        return Status::failure(describe(q.lastError()));
    const qint64 version = q.value(0).toLongLong();
    q.finish();
    if (version > SchemaVersion)
        return Status::failure(
            u"数据库的结构版本为 %1，本程序只能打开版本 %2 及以前的数据库。"_s.arg(version).arg(SchemaVersion));

    const auto checkTable = [&](const QString& table, const QStringList& columns) -> Status {
        if (!q.exec(u"SELECT name FROM pragma_table_info('%1')"_s.arg(table)))
            return Status::failure(describe(q.lastError()));
        QStringList present;
        while (q.next())
            present << q.value(0).toString().toLower();
        q.finish();
        if (present.isEmpty())
            return Status::failure(u"数据库中没有表 %1。"_s.arg(table));
        for (const QString& column : columns) {
            if (!present.contains(column.toLower()))
                return Status::failure(u"表 %1 缺少列 %2。"_s.arg(table, column));
        }
        return {};
    };
    if (Status s = checkTable(u"KeyClass"_s, KeyClassColumns); !s)
        return s;
    if (Status s = checkTable(u"Korvels"_s, KorvelsColumns); !s)
        return s;

    if (!q.exec(u"SELECT count(*) FROM KeyClass WHERE code = ''"_s) || !q.next())
        return Status::failure(describe(q.lastError()));
    const bool hasRoot = q.value(0).toLongLong() > 0;
    q.finish();
    if (!hasRoot)
        return Status::failure(u"表 KeyClass 中没有根行（code 为空文本的行），无法增加顶层分类。"_s);
    return {};
}

Status Store::read(QSqlQuery& q, const std::function<void(const QSqlQuery&)>& eachRow)
{
    if (!q.exec())
        return Status::failure(describe(q.lastError()));
    while (q.next())
        eachRow(q);
    const QSqlError error = q.lastError();
    // A statement left open would hold a read lock until its next run.
    q.finish();
    return error.isValid() ? Status::failure(describe(error)) : Status();
}

Result<QSqlQuery*> Store::statement(const QString& sql)
{
    if (QSqlQuery* cached = m_statements.value(sql))
        return cached;
    auto* q = new QSqlQuery(QSqlDatabase::database(m_connectionName, false));
    if (!q->prepare(sql)) {
        const QString error = describe(q->lastError());
        delete q;
        return Result<QSqlQuery*>::failure(error);
    }
    m_statements.insert(sql, q);
    return q;
}

Status Store::inTransaction(const std::function<Status()>& work)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        return Status::failure(describe(db.lastError()));
    Status status = work();
    if (status && !db.commit())
        status = Status::failure(describe(db.lastError()));
    if (!status)
        db.rollback();
    return status;
}

Result<QList<ClassRow>> Store::classesUnder(const QString& parentCode)
{
    using R = Result<QList<ClassRow>>;
    const auto stmt = parentCode.isEmpty()
        ? statement(u"SELECT id, code, title, qKey, maxnext, path FROM KeyClass"
                    u" WHERE length(code) = :len ORDER BY id"_s)
        : statement(u"SELECT id, code, title, qKey, maxnext, path FROM KeyClass"
                    u" WHERE length(code) = :len AND code >= :lo AND code < :hi ORDER BY id"_s);
    if (!stmt)
        return R::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":len"_s, parentCode.size() + ClassCode::SegmentLength);
    if (!parentCode.isEmpty()) {
        q.bindValue(u":lo"_s, text(parentCode));
        q.bindValue(u":hi"_s, ClassCode::subtreeEnd(text(parentCode)));
    }
    QList<ClassRow> rows;
    if (const Status done = read(q, [&](const QSqlQuery& r) { rows.append(classFrom(r)); }); !done)
        return R::failure(done.error());
    return rows;
}

Result<std::optional<ClassRow>> Store::classByCode(const QString& code)
{
    using R = Result<std::optional<ClassRow>>;
    const auto stmt = statement(u"SELECT id, code, title, qKey, maxnext, path FROM KeyClass WHERE code = :code"_s);
    if (!stmt)
        return R::failure(stmt.error());
    (*stmt)->bindValue(u":code"_s, text(code));
    std::optional<ClassRow> row;
    if (const Status done = read(**stmt, [&](const QSqlQuery& r) { row = classFrom(r); }); !done)
        return R::failure(done.error());
    return row;
}

Result<QString> Store::addClass(const QString& parentCode, const QString& title, const QString& qKey)
{
    if (const Status intact = checkNotMoved(); !intact)
        return Result<QString>::failure(intact.error());
    QString newCode;
    const Status status = inTransaction([&]() -> Status {
        const auto parent = classByCode(parentCode);
        if (!parent)
            return Status::failure(parent.error());
        if (!parent->has_value())
            return Status::failure(u"上级分类（编码“%1”）已不在数据库中。"_s.arg(parentCode));
        const ClassRow& p = **parent;
        if (p.maxnext >= ClassCode::MaxChildNumber)
            return Status::failure(
                u"该分类下已经用完 %1 个编号，不能再增加下级分类。"_s.arg(ClassCode::MaxChildNumber));
        const qint64 n = p.maxnext + 1;
        newCode = ClassCode::childCode(parentCode, n);

        const auto insert = statement(u"INSERT INTO KeyClass(code, title, qKey, maxnext, path)"
                                      u" VALUES (:code, :title, :qKey, 0, :path)"_s);
        if (!insert)
            return Status::failure(insert.error());
        QSqlQuery& i = **insert;
        i.bindValue(u":code"_s, text(newCode));
        i.bindValue(u":title"_s, text(title));
        i.bindValue(u":qKey"_s, text(qKey));
        i.bindValue(u":path"_s, text(p.path + u" > "_s + title));
        if (!i.exec())
            return Status::failure(describe(i.lastError()));

        const auto advance = statement(u"UPDATE KeyClass SET maxnext = :n WHERE code = :code"_s);
        if (!advance)
            return Status::failure(advance.error());
        QSqlQuery& u = **advance;
        u.bindValue(u":n"_s, n);
        u.bindValue(u":code"_s, text(parentCode));
        if (!u.exec())
            return Status::failure(describe(u.lastError()));
        return {};
    });
    if (!status)
        return Result<QString>::failure(status.error());
    return newCode;
}

Result<bool> Store::editClass(const QString& code, const QString& title, const QString& qKey)
{
    if (const Status intact = checkNotMoved(); !intact)
        return Result<bool>::failure(intact.error());
    const auto stmt = statement(u"UPDATE KeyClass SET title = :title, qKey = :qKey WHERE code = :code"_s);
    if (!stmt)
        return Result<bool>::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":title"_s, text(title));
    q.bindValue(u":qKey"_s, text(qKey));
    q.bindValue(u":code"_s, text(code));
    if (!q.exec())
        return Result<bool>::failure(describe(q.lastError()));
    return q.numRowsAffected() > 0;
}

Result<bool> Store::subtreeHasKeywords(const QString& code)
{
    const auto stmt = statement(u"SELECT id FROM Korvels WHERE classcode >= :lo AND classcode < :hi LIMIT 1"_s);
    if (!stmt)
        return Result<bool>::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":lo"_s, text(code));
    q.bindValue(u":hi"_s, ClassCode::subtreeEnd(text(code)));
    bool found = false;
    if (const Status done = read(q, [&](const QSqlQuery&) { found = true; }); !done)
        return Result<bool>::failure(done.error());
    return found;
}

Status Store::deleteClass(const QString& code)
{
    if (const Status intact = checkNotMoved(); !intact)
        return intact;
    const auto stmt = statement(u"DELETE FROM KeyClass WHERE code = :code"_s);
    if (!stmt)
        return Status::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":code"_s, text(code));
    if (!q.exec())
        return Status::failure(describe(q.lastError()));
    return {};
}

Result<std::optional<KeywordRow>> Store::nextUnsorted()
{
    using R = Result<std::optional<KeywordRow>>;
    // The literal isSet = 0 lets SQLite use the partial index of unsorted rows.
    const auto stmt = statement(u"SELECT id, keywords, classcode, classname FROM Korvels"
                                u" WHERE isSet = 0 ORDER BY id LIMIT 1"_s);
    if (!stmt)
        return R::failure(stmt.error());
    std::optional<KeywordRow> row;
    if (const Status done = read(**stmt, [&](const QSqlQuery& r) { row = keywordFrom(r); }); !done)
        return R::failure(done.error());
    return row;
}

Result<std::optional<KeywordRow>> Store::fileKeyword(qint64 id, const QString& classCode, const QString& className)
{
    using R = Result<std::optional<KeywordRow>>;
    if (const Status intact = checkNotMoved(); !intact)
        return R::failure(intact.error());
    // The filed row comes back from the same statement, as stored, for the grid.
    const auto stmt = statement(u"UPDATE Korvels SET classcode = :code, classname = :name, isSet = 1 WHERE id = :id"
                                u" RETURNING id, keywords, classcode, classname"_s);
    if (!stmt)
        return R::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":code"_s, text(classCode));
    q.bindValue(u":name"_s, text(className));
    q.bindValue(u":id"_s, id);
    std::optional<KeywordRow> row;
    if (const Status done = read(q, [&](const QSqlQuery& r) { row = keywordFrom(r); }); !done)
        return R::failure(done.error());
    return row;
}

Result<bool> Store::unfileKeyword(qint64 id)
{
    if (const Status intact = checkNotMoved(); !intact)
        return Result<bool>::failure(intact.error());
    const auto stmt = statement(u"UPDATE Korvels SET isSet = 0, classcode = '', classname = '' WHERE id = :id"_s);
    if (!stmt)
        return Result<bool>::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":id"_s, id);
    if (!q.exec())
        return Result<bool>::failure(describe(q.lastError()));
    return q.numRowsAffected() > 0;
}

Result<qint64> Store::insertKeywords(const QStringList& keywords)
{
    QList<KeywordRow> rows;
    rows.reserve(keywords.size());
    for (const QString& keyword : keywords)
        rows.append({0, keyword, {}, {}});
    return importKeywords(rows);
}

Result<qint64> Store::importKeywords(const QList<KeywordRow>& rows)
{
    if (const Status intact = checkNotMoved(); !intact)
        return Result<qint64>::failure(intact.error());
    qint64 stored = 0;
    const Status status = inTransaction([&]() -> Status {
        const auto stmt = statement(u"INSERT INTO Korvels(keywords, isSet, statue, statue1, classcode, classname)"
                                    u" VALUES (:k, :set, 0, 0, :code, :name)"_s);
        if (!stmt)
            return Status::failure(stmt.error());
        QSqlQuery& q = **stmt;
        for (const KeywordRow& row : rows) {
            q.bindValue(u":k"_s, text(row.keywords));
            q.bindValue(u":set"_s, row.classcode.isEmpty() ? 0 : 1);
            q.bindValue(u":code"_s, text(row.classcode));
            q.bindValue(u":name"_s, text(row.classname));
            if (!q.exec())
                return Status::failure(describe(q.lastError()));
            ++stored;
        }
        return {};
    });
    if (!status)
        return Result<qint64>::failure(status.error());
    return stored;
}

sqlite3* Store::handle() const
{
    const QVariant driverHandle = QSqlDatabase::database(m_connectionName, false).driver()->handle();
    if (driverHandle.isValid() && qstrcmp(driverHandle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(driverHandle.constData());
    return nullptr;
}

sqlite3_stmt* Store::prepareNative(sqlite3_stmt*& cached, const char* sql, QString* error)
{
    if (cached)
        return cached;
    sqlite3* db = handle();
    if (!db) {
        *error = u"数据库未打开。"_s;
        return nullptr;
    }
    if (sqlite3_prepare_v2(db, sql, -1, &cached, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(cached);
        cached = nullptr;
    }
    return cached;
}

Status Store::checkNotMoved()
{
    sqlite3* db = handle();
    int moved = 0;
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved)
        return {};
    if (QFileInfo::exists(m_path) || QFileInfo(m_path).isSymLink()) {
        // Replaced: whatever is at the path now is not ours to write.
        return Status::failure(
            u"数据库文件已被替换，为免数据丢失，不再写入：%1\n请关闭程序，放回原来的数据库文件后重新打开。"_s.arg(
                m_path));
    }
    // Deleted or moved away: the open connection still reads every row, so they are written back to where the
    // file was and the connection moves over to that copy. The write asked for is left for the operator to
    // repeat, once they have read what happened.
    if (const QString failed = restoreDeletedFile(); !failed.isEmpty())
        return Status::failure(u"数据库文件已被删除或移走，无法恢复到原位置：%1\n%2"_s.arg(m_path, failed));
    return Status::failure(
        u"数据库文件已被删除或移走，已把打开的数据恢复到原位置：%1\n刚才的操作没有执行，请再做一次。"_s.arg(m_path));
}

QString Store::restoreDeletedFile()
{
    sqlite3* db = handle();
    sqlite3_stmt* copy = nullptr;
    QString error;
    if (sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &copy, nullptr) == SQLITE_OK) {
        const QByteArray target = QFile::encodeName(m_path);
        sqlite3_bind_text(copy, 1, target.constData(), int(target.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(copy) != SQLITE_DONE)
            error = QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        error = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(copy);
    if (!error.isEmpty())
        return error;
    close();
    if (const Status reopened = open(m_path); !reopened)
        return reopened.error();
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.exec(u"PRAGMA journal_mode = WAL"_s);
    return {};
}

void Store::close()
{
    for (sqlite3_stmt** statement : {&m_subtreeKeys, &m_insertKeyword, &m_allKeywords}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    qDeleteAll(m_statements);
    m_statements.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

Status Store::subtreeKeys(const QString& code, QList<qint64>& ids, QList<QString>& classCodes)
{
    ids.clear();
    classCodes.clear();
    // The grid of a large class reads tens of thousands of rows; SQLite's own interface reads them several
    // times faster than a QSqlQuery, which copies every value of every row into a QVariant.
    QString error;
    sqlite3_stmt* stmt = prepareNative(m_subtreeKeys,
                                       "SELECT id, classcode FROM Korvels"
                                       " WHERE classcode >= ?1 AND classcode < ?2 ORDER BY classcode, id DESC",
                                       &error);
    if (!stmt)
        return Status::failure(error);
    const QByteArray lo = text(code).toUtf8();
    const QByteArray hi = ClassCode::subtreeEnd(text(code)).toUtf8();
    sqlite3_bind_text(stmt, 1, lo.constData(), int(lo.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, hi.constData(), int(hi.size()), SQLITE_STATIC);
    QByteArray currentBytes;
    QString current;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        ids.append(sqlite3_column_int64(stmt, 0));
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        const int size = sqlite3_column_bytes(stmt, 1);
        const bool same
            = size == currentBytes.size() && (size == 0 || memcmp(text, currentBytes.constData(), size_t(size)) == 0);
        if (!same) {
            currentBytes = QByteArray(text, size);
            current = QString::fromUtf8(currentBytes);
        }
        classCodes.append(current);
    }
    if (rc != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(handle()));
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!error.isEmpty()) {
        ids.clear();
        classCodes.clear();
        return Status::failure(error);
    }
    return {};
}

Result<QList<KeywordRow>> Store::classPage(const QString& classCode, qint64 fromId, int limit)
{
    using R = Result<QList<KeywordRow>>;
    const auto stmt = statement(u"SELECT id, keywords, classcode, classname FROM Korvels"
                                u" WHERE classcode = :code AND id <= :id ORDER BY id DESC LIMIT :n"_s);
    if (!stmt)
        return R::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":code"_s, text(classCode));
    q.bindValue(u":id"_s, fromId);
    q.bindValue(u":n"_s, limit);
    QList<KeywordRow> rows;
    if (const Status done = read(q, [&](const QSqlQuery& r) { rows.append(keywordFrom(r)); }); !done)
        return R::failure(done.error());
    return rows;
}

Status Store::loadKeywords(KeywordSet& into)
{
    QString error;
    sqlite3_stmt* stmt = prepareNative(m_allKeywords, "SELECT keywords FROM Korvels", &error);
    if (!stmt)
        return Status::failure(error);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        into.insert(QByteArrayView(text, sqlite3_column_bytes(stmt, 0)));
    }
    if (rc != SQLITE_DONE)
        error = QString::fromUtf8(sqlite3_errmsg(handle()));
    sqlite3_reset(stmt);
    return error.isEmpty() ? Status() : Status::failure(error);
}

Store::ChunkResult Store::addKeywordChunk(const QList<QString>& keywords, KeywordSet* seen)
{
    ChunkResult result;
    if (const Status intact = checkNotMoved(); !intact) {
        result.error = intact.error();
        return result;
    }
    sqlite3* db = handle();
    sqlite3_stmt* insert = prepareNative(
        m_insertKeyword, "INSERT INTO Korvels(keywords, isSet, statue, statue1) VALUES (?1, 0, 0, 0)", &result.error);
    if (!insert)
        return result;
    // Taking the write lock at the start means a busy store is noticed before any work is done.
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        result.error = QString::fromUtf8(sqlite3_errmsg(db));
        return result;
    }
    qint64 added = 0;
    qint64 duplicates = 0;
    for (const QString& keyword : keywords) {
        const QByteArray bytes = text(keyword).toUtf8();
        if (seen && seen->contains(bytes)) {
            ++duplicates;
            continue;
        }
        sqlite3_bind_text(insert, 1, bytes.constData(), int(bytes.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (rc != SQLITE_DONE) {
            result.error = QString::fromUtf8(sqlite3_errmsg(db));
            break;
        }
        if (seen)
            seen->insert(bytes);
        ++added;
    }
    sqlite3_clear_bindings(insert);
    // Some failures (a full disk, an I/O error) have already rolled the transaction back; after others the
    // keywords before the failing one can still be kept.
    if (!sqlite3_get_autocommit(db)) {
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
            result.added = added;
            result.duplicates = duplicates;
            result.processed = added + duplicates;
        } else {
            if (result.error.isEmpty())
                result.error = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    return result;
}

Result<QStringList> Store::pendingKeywords(int limit)
{
    const auto stmt = statement(u"SELECT keywords FROM Korvels WHERE isSet = 0 ORDER BY id LIMIT :n"_s);
    if (!stmt)
        return Result<QStringList>::failure(stmt.error());
    (*stmt)->bindValue(u":n"_s, limit);
    QStringList keywords;
    if (const Status done = read(**stmt, [&](const QSqlQuery& r) { keywords << r.value(0).toString(); }); !done)
        return Result<QStringList>::failure(done.error());
    return keywords;
}

Status Store::deleteKeyword(qint64 id)
{
    if (const Status intact = checkNotMoved(); !intact)
        return intact;
    const auto stmt = statement(u"DELETE FROM Korvels WHERE id = :id"_s);
    if (!stmt)
        return Status::failure(stmt.error());
    QSqlQuery& q = **stmt;
    q.bindValue(u":id"_s, id);
    if (!q.exec())
        return Status::failure(describe(q.lastError()));
    return {};
}

Status Store::deleteAllKeywords()
{
    if (const Status intact = checkNotMoved(); !intact)
        return intact;
    const auto stmt = statement(u"DELETE FROM Korvels"_s);
    if (!stmt)
        return Status::failure(stmt.error());
    if (!(*stmt)->exec())
        return Status::failure(describe((*stmt)->lastError()));
    return {};
}
