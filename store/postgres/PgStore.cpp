#include "PgStore.h"

#include "Location.h"
#include "PgSchema.h"

#include <QSqlDriver>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

pg_conn* PgStore::handle() const
{
    const QVariant driverHandle = m_connection.database().driver()->handle();
    // The driver names the type by libpq's struct.
    if (driverHandle.isValid() && qstrcmp(driverHandle.typeName(), "pg_conn*") == 0)
        return *static_cast<PGconn* const*>(driverHandle.constData());
    return nullptr;
}

Status PgStore::create(const QString& location)
{
    PgStore store;
    if (const Status reached = store.reach(location); !reached)
        return reached;
    return PgSchema::create(store.m_connection);
}

Status PgStore::open(const QString& location)
{
    Status opened = reach(location);
    if (opened)
        opened = checkSessionKept();
    if (opened)
        opened = PgSchema::check(m_connection);
    if (opened)
        opened = settle();
    if (!opened) {
        m_watch.stop();
        m_connection.close();
        return opened;
    }
    connect(m_connection.database().driver(), &QSqlDriver::notification, this,
            [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                if (name == m_channel && source == QSqlDriver::OtherSource) {
                    const QString what = payload.toString();
                    emit changedElsewhere(what.contains(u'c'), what.contains(u'k') || what.contains(u'a'));
                }
            });
    return {};
}

Status PgStore::settle()
{
    // The store's own tables, functions and channel: those of the schema its tables were found in, whatever else
    // the search path holds. Two stores in one database (in two schemas) neither hear nor lock each other.
    const auto schema = m_connection.value(u"SELECT quote_ident(current_schema())"_s);
    if (!schema)
        return Status::of(schema);
    m_schema = schema->toString();
    const auto table = m_connection.value(u"SELECT to_regclass(quote_ident(current_schema()) || '.korvels')::oid"_s);
    if (!table)
        return Status::of(table);
    m_channel = u"korvel_"_s + table->toString();
    if (!m_connection.database().driver()->subscribeToNotification(m_channel))
        return Status::failure(u"无法接收其他窗口的通知（LISTEN %1）。"_s.arg(m_channel));
    return {};
}

QString PgStore::lockForShare() const
{
    // Only that the row stays matters: edits of its other columns may go on meanwhile.
    return u" FOR KEY SHARE"_s;
}

Status PgStore::followIds(const QString& table)
{
    // The table is one of the program's own, never a name the operator gave.
    return m_connection.run(
        u"SELECT setval(pg_get_serial_sequence('%1'::text, 'id'::text), max(id)) FROM %1"_s.arg(table));
}

void PgStore::announce(char what)
{
    // Best effort: the change is made whether or not the others hear of it at once.
    (void)m_connection.read(u"SELECT pg_notify(?::text, ?::text)"_s, {m_channel, QString(QChar::fromLatin1(what))},
                            [](const QSqlQuery&) {});
}

Result<QString> PgStore::addClass(const QString& parentCode, const QString& title, const QString& qKey)
{
    auto added = SqlStore::addClass(parentCode, title, qKey);
    if (added)
        announce('c');
    return added;
}

Result<bool> PgStore::editClass(const QString& code, const QString& title, const QString& qKey)
{
    auto edited = SqlStore::editClass(code, title, qKey);
    if (edited && *edited)
        announce('c');
    return edited;
}

Result<Store::ClassDeletion> PgStore::deleteClassIfEmpty(const QString& code)
{
    auto deleted = SqlStore::deleteClassIfEmpty(code);
    if (deleted && *deleted == ClassDeletion::Deleted)
        announce('c');
    return deleted;
}

Result<bool> PgStore::tryLock(qint64 id)
{
    bool locked = false;
    const Status read = m_connection.read(u"SELECT pg_try_advisory_lock("_s + function(u"korvel_key(?::bigint))"_s),
                                          {id}, [&](const QSqlQuery& q) { locked = q.value(0).toBool(); });
    if (!read)
        return read.as<bool>();
    return locked;
}

void PgStore::unlock(qint64 id)
{
    if (id != 0)
        (void)m_connection.read(u"SELECT pg_advisory_unlock("_s + function(u"korvel_key(?::bigint))"_s), {id},
                                [](const QSqlQuery&) {});
}

Result<bool> PgStore::stillUnsorted(qint64 id)
{
    bool unsorted = false;
    const Status read = m_connection.read(u"SELECT id FROM Korvels WHERE id = ? AND isSet = 0"_s, {id},
                                          [&](const QSqlQuery&) { unsorted = true; });
    if (!read)
        return read.as<bool>();
    return unsorted;
}

Result<std::optional<KeywordRow>> PgStore::nextUnsorted()
{
    std::optional<KeywordRow> row;
    const Status read
        = m_connection.read(u"SELECT "_s + KeywordColumns + u" FROM "_s + function(u"korvel_serve(?::bigint)"_s),
                            {m_held}, [&](const QSqlQuery& q) { row = keywordFrom(q); });
    if (!read)
        return read.as<std::optional<KeywordRow>>();
    m_held = row ? row->id : 0;
    return row;
}

Result<bool> PgStore::holdKeyword(qint64 id)
{
    if (id == m_held)
        return true;
    if (id == 0) {
        unlock(std::exchange(m_held, 0));
        return true;
    }
    const auto locked = tryLock(id);
    if (!locked || !*locked)
        return locked;
    // Found a moment ago, it may have been filed or deleted since; only the row as it stands now counts.
    const auto unsorted = stillUnsorted(id);
    if (!unsorted || !*unsorted) {
        unlock(id);
        return unsorted;
    }
    unlock(std::exchange(m_held, id));
    return true;
}

Result<Store::Change> PgStore::fileKeyword(qint64 id, const QString& classCode, const QString& className)
{
    auto filed = SqlStore::fileKeyword(id, classCode, className);
    if (filed && *filed == Change::Done) {
        // Filed, it is no longer anyone's current keyword.
        if (id == m_held)
            unlock(std::exchange(m_held, 0));
        announce('k');
    } else if (!filed && m_down) {
        // The commit may or may not have reached the server: looked up once back.
        m_uncertain = {id, stored(classCode)};
    }
    return filed;
}

Result<Store::Change> PgStore::unfileKeyword(qint64 id, const QString& classCode)
{
    // Held before it is unsorted, so that no other window is served it in between.
    if (id != m_held) {
        const auto locked = tryLock(id);
        if (!locked)
            return locked.as<Change>();
        if (!*locked)
            return Change::Moved;
    }
    auto returned = SqlStore::unfileKeyword(id, classCode);
    if (returned && *returned == Change::Done) {
        if (id != m_held)
            unlock(std::exchange(m_held, id));
        announce('k');
    } else if (id != m_held) {
        unlock(id);
    }
    return returned;
}

Result<Store::Change> PgStore::deleteKeyword(qint64 id)
{
    auto deleted = SqlStore::deleteKeyword(id);
    if (deleted && *deleted == Change::Done) {
        if (id == m_held)
            unlock(std::exchange(m_held, 0));
        announce('k');
    }
    return deleted;
}

Status PgStore::deleteAllKeywords()
{
    const Status deleted = m_connection.transaction([&] {
        // TRUNCATE waits for every reader of the table, such as another operator's batch, and every other window's
        // work would queue behind it: it waits a few seconds at most, and then says why.
        Status truncated = m_connection.run(u"SET LOCAL lock_timeout = '3s'"_s);
        if (truncated)
            truncated = m_connection.run(u"TRUNCATE Korvels, ClassCounts, KeywordMetrics"_s);
        if (truncated)
            announce('k');
        return truncated;
    });
    if (!deleted)
        return deleted;
    unlock(std::exchange(m_held, 0));
    emit allKeywordsDeleted();
    return {};
}
