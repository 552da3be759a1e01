#include "PgSchema.h"
#include "PgStore.h"

using namespace Qt::StringLiterals;

// What an operator's role may do: read and write the rows of the store (deleting every keyword at once
// included: a role that may delete rows may delete them all anyway), run its functions and draw ids from its
// sequences. It owns nothing, so it can neither drop nor alter a table nor replace a function.
Status PgStore::grant(const QString& location, const QString& role)
{
    PgStore store;
    if (const Status reached = store.reach(location); !reached)
        return reached;
    Connection& c = store.m_connection;
    if (const Status checked = PgSchema::check(c); !checked)
        return checked;
    if (const Status settled = store.settle(); !settled)
        return settled;
    // Names reach the statements only as the server quotes them, and only for a role that exists.
    QString grantee;
    Status read = c.read(u"SELECT quote_ident(rolname) FROM pg_roles WHERE rolname = ?"_s, {role},
                         [&](const QSqlQuery& q) { grantee = q.value(0).toString(); });
    if (!read)
        return read;
    if (grantee.isEmpty())
        return Status::failure(u"服务器上没有角色 %1。"_s.arg(role));
    // A role that does not own the tables would be told that nothing was granted only as a warning.
    QString owner;
    read
        = c.read(u"SELECT pg_get_userbyid(relowner) FROM pg_class WHERE oid = to_regclass(?::text)"
                 u" AND NOT pg_has_role(relowner, 'USAGE')"_s,
                 {QString(store.m_schema + u".korvels"_s)}, [&](const QSqlQuery& q) { owner = q.value(0).toString(); });
    if (!read)
        return read;
    if (!owner.isEmpty())
        return Status::failure(u"只有这些表的所有者（%1）才能给其他角色权限。"_s.arg(owner));
    QStringList sequences;
    for (const QString& table : {u".korvels"_s, u".keyclass"_s, u".savedrules"_s, u".rawcolumns"_s}) {
        if (read)
            read = c.read(u"SELECT pg_get_serial_sequence(?::text, 'id')"_s, {QString(store.m_schema + table)},
                          [&](const QSqlQuery& q) { sequences << q.value(0).toString(); });
    }
    if (!read)
        return read;
    const QString s = store.m_schema;
    const QStringList statements = {
        u"GRANT USAGE ON SCHEMA %1 TO %2"_s.arg(s, grantee),
        u"GRANT SELECT, INSERT, UPDATE, DELETE, TRUNCATE ON %1.KeyClass, %1.Korvels, %1.ClassCounts TO %2"_s.arg(
            s, grantee),
        u"GRANT SELECT, INSERT, UPDATE, DELETE ON %1.SavedRules, %1.Settings TO %2"_s.arg(s, grantee),
        u"GRANT SELECT, INSERT, UPDATE, DELETE, TRUNCATE ON %1.KeywordMetrics TO %2"_s.arg(s, grantee),
        u"GRANT SELECT, INSERT ON %1.RawColumns TO %2"_s.arg(s, grantee),
        u"GRANT SELECT ON %1.KorvelSchema TO %2"_s.arg(s, grantee),
        u"GRANT USAGE, SELECT, UPDATE ON SEQUENCE %1 TO %2"_s.arg(sequences.join(u", "_s), grantee),
        u"GRANT EXECUTE ON FUNCTION %1.korvel_key(bigint), %1.korvel_serve(bigint), %1.korvel_count() TO %2"_s.arg(
            s, grantee),
    };
    return c.transaction([&]() -> Status {
        for (const QString& sql : statements) {
            if (const Status done = c.run(sql); !done)
                return done;
        }
        // Connecting is everyone's right unless the database's owner took it away; given back only where it is
        // missing and the owner can. A grant rewrites the database's own row: of two at once (two stores shared at
        // the same time), the second would fail.
        QVariant database;
        const Status found = c.read(u"SELECT CASE WHEN has_database_privilege(current_database(),"
                                    u" 'CONNECT WITH GRANT OPTION') AND NOT has_database_privilege(?::text,"
                                    u" current_database(), 'CONNECT') THEN quote_ident(current_database()) END"_s,
                                    {role}, [&](const QSqlQuery& q) { database = q.value(0); });
        if (!found)
            return found;
        if (database.isNull())
            return {};
        return c.run(u"GRANT CONNECT ON DATABASE %1 TO %2"_s.arg(database.toString(), grantee));
    });
}
