#include "SqlStore.h"

using namespace Qt::StringLiterals;

Result<qint64> SqlStore::saveRule(const Rule& rule, const QString& classCode)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<qint64>();
    // Only a rule that can run is kept.
    if (const auto matcher = RuleMatcher::make(rule); !matcher)
        return matcher.as<qint64>();
    std::optional<qint64> id;
    const Status read = m_connection.read(
        u"INSERT INTO SavedRules(classcode, rule) SELECT code, ? FROM KeyClass WHERE code = ? RETURNING id"_s,
        {stored(rule.toJson()), stored(classCode)}, [&](const QSqlQuery& q) { id = q.value(0).toLongLong(); });
    if (!read)
        return read.as<qint64>();
    if (!id)
        return Result<qint64>::failure(u"分类（编码 %1）已不在数据库中，规则没有保存。"_s.arg(classCode));
    return *id;
}

Result<QList<SavedRule>> SqlStore::savedRules()
{
    QList<SavedRule> rules;
    QString unreadable;
    const Status read
        = m_connection.read(u"SELECT id, classcode, rule FROM SavedRules ORDER BY id"_s, {}, [&](const QSqlQuery& q) {
              const auto rule = Rule::fromJson(q.value(2).toString());
              if (rule)
                  rules.append({q.value(0).toLongLong(), q.value(1).toString(), *rule});
              else if (unreadable.isEmpty())
                  unreadable = rule.error();
          });
    if (!read)
        return read.as<QList<SavedRule>>();
    if (!unreadable.isEmpty())
        return Result<QList<SavedRule>>::failure(unreadable);
    return rules;
}

Result<bool> SqlStore::deleteSavedRule(qint64 id)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<bool>();
    const auto deleted = m_connection.execute(u"DELETE FROM SavedRules WHERE id = ?"_s, {id});
    if (!deleted)
        return deleted.as<bool>();
    return *deleted > 0;
}

namespace {

const QString RulesOnNewBatches = u"rulesOnNewBatches"_s;

} // namespace

Result<bool> SqlStore::rulesOnNewBatches()
{
    bool on = false;
    const Status read = m_connection.read(u"SELECT value FROM Settings WHERE name = ?"_s, {RulesOnNewBatches},
                                          [&](const QSqlQuery& q) { on = q.value(0).toString() == u"1"_s; });
    if (!read)
        return read.as<bool>();
    return on;
}

Status SqlStore::setRulesOnNewBatches(bool on)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    return Status::of(m_connection.execute(u"INSERT INTO Settings(name, value) VALUES (?, ?)"
                                           u" ON CONFLICT(name) DO UPDATE SET value = excluded.value"_s,
                                           {RulesOnNewBatches, on ? u"1"_s : u"0"_s}));
}

Result<qint64> SqlStore::lastKeywordId()
{
    qint64 id = 0;
    const Status read = m_connection.read(u"SELECT coalesce(max(id), 0) FROM Korvels"_s, {},
                                          [&](const QSqlQuery& q) { id = q.value(0).toLongLong(); });
    if (!read)
        return read.as<qint64>();
    return id;
}
