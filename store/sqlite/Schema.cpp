#include "Schema.h"

#include "store/sql/Connection.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// Not in force while every keyword is deleted: a delete without triggers clears the table at once.
const char* const DeleteTrigger
    = "CREATE TRIGGER Korvels_counted_delete AFTER DELETE ON Korvels WHEN OLD.classcode <> '' BEGIN"
      " UPDATE ClassCounts SET n = n - 1 WHERE classcode = OLD.classcode; END";

const char* const Tables[] = {
    "CREATE TABLE KeyClass ("
    " id INTEGER PRIMARY KEY,"
    " code TEXT NOT NULL DEFAULT '',"
    " title TEXT NOT NULL DEFAULT '',"
    " qKey TEXT NOT NULL DEFAULT '',"
    " maxnext INTEGER NOT NULL DEFAULT 0,"
    " path TEXT NOT NULL DEFAULT '')",
    "CREATE UNIQUE INDEX KeyClass_code ON KeyClass(code)",
    "CREATE TABLE Korvels ("
    " id INTEGER PRIMARY KEY,"
    " keywords TEXT NOT NULL DEFAULT '',"
    " isSet INTEGER NOT NULL DEFAULT 0,"
    " statue INTEGER NOT NULL DEFAULT 0,"
    " statue1 INTEGER NOT NULL DEFAULT 0,"
    " classcode TEXT NOT NULL DEFAULT '',"
    " classname TEXT NOT NULL DEFAULT '')",
    "INSERT INTO KeyClass(code, title, qKey, maxnext, path) VALUES ('', '', '', 0, '')",
};

// What version 2 added; an older store, or one made by other means, gets it when it is first opened.
const char* const Version2[] = {
    // Serves the children of a code: one level, one prefix range.
    "CREATE INDEX IF NOT EXISTS KeyClass_level ON KeyClass(length(code), code)",
    // Only unsorted rows, so the next keyword to file is one index step away however many are filed.
    "CREATE INDEX IF NOT EXISTS Korvels_unsorted ON Korvels(id) WHERE isSet = 0",
    // The grid's order: a subtree is one range of class codes, newest first within a class.
    "CREATE INDEX IF NOT EXISTS Korvels_class ON Korvels(classcode, id DESC)",
    // How many keywords each class holds, so that a grid knows its length without counting its rows. The
    // triggers keep it, whoever writes.
    "CREATE TABLE ClassCounts (classcode TEXT PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID",
    "INSERT INTO ClassCounts(classcode, n)"
    " SELECT classcode, count(*) FROM Korvels WHERE classcode <> '' GROUP BY classcode",
    "CREATE TRIGGER Korvels_counted_insert AFTER INSERT ON Korvels WHEN NEW.classcode <> '' BEGIN"
    " INSERT INTO ClassCounts(classcode, n) VALUES (NEW.classcode, 1)"
    " ON CONFLICT(classcode) DO UPDATE SET n = n + 1; END",
    DeleteTrigger,
    "CREATE TRIGGER Korvels_counted_update AFTER UPDATE OF classcode ON Korvels"
    " WHEN OLD.classcode IS NOT NEW.classcode BEGIN"
    " UPDATE ClassCounts SET n = n - 1 WHERE classcode = OLD.classcode;"
    " INSERT INTO ClassCounts(classcode, n) SELECT NEW.classcode, 1 WHERE NEW.classcode <> ''"
    " ON CONFLICT(classcode) DO UPDATE SET n = n + 1; END",
};

// What version 3 added: saved rules, each with the class it files into and the rule as a JSON object.
Status addSavedRules(Connection& c)
{
    return c.run(u"CREATE TABLE IF NOT EXISTS SavedRules (id INTEGER PRIMARY KEY,"
                 u" classcode TEXT NOT NULL DEFAULT '', rule TEXT NOT NULL DEFAULT '')"_s);
}

// What version 4 added: the store's own settings, a value by name.
Status addSettings(Connection& c)
{
    return c.run(
        u"CREATE TABLE IF NOT EXISTS Settings (name TEXT PRIMARY KEY, value TEXT NOT NULL DEFAULT '') WITHOUT ROWID"_s);
}

// What version 5 added: the numbers keyword tools give keywords, a row for a keyword that has any, gone with it.
const char* const MetricsDeleteTrigger = "CREATE TRIGGER IF NOT EXISTS Korvels_metrics_delete AFTER DELETE ON Korvels"
                                         " BEGIN DELETE FROM KeywordMetrics WHERE id = OLD.id; END";
const char* const Version5[] = {
    "CREATE TABLE IF NOT EXISTS KeywordMetrics (id INTEGER PRIMARY KEY, volume INTEGER, volumeHigh INTEGER,"
    " competition REAL, bidLow REAL, bidHigh REAL)",
    MetricsDeleteTrigger,
};

Status checkTable(Connection& c, const QString& table, const QStringList& columns);

// What version 6 added: a keyword file's other columns as it wrote them, their names once a layout. A file whose
// version was set back keeps the columns it has.
Status addRawColumns(Connection& c)
{
    Status s = c.run(u"CREATE TABLE IF NOT EXISTS RawColumns (id INTEGER PRIMARY KEY, names TEXT NOT NULL)"_s);
    for (const auto& [column, type] : {std::pair {u"rawColumns"_s, u"INTEGER"_s}, {u"raw"_s, u"TEXT"_s}}) {
        if (s && !checkTable(c, u"KeywordMetrics"_s, {column}))
            s = c.run(u"ALTER TABLE KeywordMetrics ADD COLUMN %1 %2"_s.arg(column, type));
    }
    return s;
}

const QStringList KeyClassColumns = {u"id"_s, u"code"_s, u"title"_s, u"qKey"_s, u"maxnext"_s, u"path"_s};
const QStringList KorvelsColumns
    = {u"id"_s, u"keywords"_s, u"isSet"_s, u"statue"_s, u"statue1"_s, u"classcode"_s, u"classname"_s};

template <size_t N> Status runAll(Connection& c, const char* const (&statements)[N])
{
    for (const char* sql : statements) {
        if (Status done = c.run(QString::fromUtf8(sql)); !done)
            return done;
    }
    return {};
}

Status setVersion(Connection& c, int version)
{
    return c.run(u"PRAGMA user_version = %1"_s.arg(version));
}

Status checkTable(Connection& c, const QString& table, const QStringList& columns)
{
    QStringList present;
    const Status read = c.read(u"SELECT name FROM pragma_table_info(?)"_s, {table},
                               [&](const QSqlQuery& q) { present << q.value(0).toString().toLower(); });
    if (!read)
        return read;
    if (present.isEmpty())
        return Status::failure(u"数据库中没有表 %1。"_s.arg(table));
    for (const QString& column : columns) {
        if (!present.contains(column.toLower()))
            return Status::failure(u"表 %1 缺少列 %2。"_s.arg(table, column));
    }
    return {};
}

} // namespace

namespace SqliteSchema {

Status create(Connection& c, int currentVersion)
{
    return c.transaction([&] {
        Status s = runAll(c, Tables);
        if (s)
            s = runAll(c, Version2);
        if (s)
            s = addSavedRules(c);
        if (s)
            s = addSettings(c);
        if (s)
            s = runAll(c, Version5);
        if (s)
            s = addRawColumns(c);
        return s ? setVersion(c, currentVersion) : s;
    });
}

Status checkAndUpgrade(Connection& c, int currentVersion)
{
    qint64 version = 0;
    // The first read is where SQLite finds a file that is not a database, or one that another process locks.
    const Status read
        = c.read(u"PRAGMA user_version"_s, {}, [&](const QSqlQuery& q) { version = q.value(0).toLongLong(); });
    if (!read)
        return read;
    if (version > currentVersion)
        return Status::failure(
            u"数据库的结构版本为 %1，本程序只能打开版本 %2 及以前的数据库。"_s.arg(version).arg(currentVersion));
    if (Status s = checkTable(c, u"KeyClass"_s, KeyClassColumns); !s)
        return s;
    if (Status s = checkTable(c, u"Korvels"_s, KorvelsColumns); !s)
        return s;
    if (version == currentVersion)
        return {};
    // Each step from the version the file has.
    return c.transaction([&] {
        Status s = version < 2 ? runAll(c, Version2) : Status();
        if (s && version < 3)
            s = addSavedRules(c);
        if (s && version < 4)
            s = addSettings(c);
        if (s && version < 5)
            s = runAll(c, Version5);
        if (s && version < 6)
            s = addRawColumns(c);
        return s ? setVersion(c, currentVersion) : s;
    });
}

Status deleteAllKeywords(Connection& c)
{
    return c.transaction([&] {
        const char* const steps[] = {"DROP TRIGGER Korvels_counted_delete",
                                     "DROP TRIGGER Korvels_metrics_delete",
                                     "DELETE FROM Korvels",
                                     "DELETE FROM ClassCounts",
                                     "DELETE FROM KeywordMetrics",
                                     DeleteTrigger,
                                     MetricsDeleteTrigger};
        return runAll(c, steps);
    });
}

} // namespace SqliteSchema
