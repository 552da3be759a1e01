#include "SqlStore.h"
#include "store/ClassCode.h"

using namespace Qt::StringLiterals;

namespace {

const QString ClassColumns = u"id, code, title, qKey, maxnext, path"_s;

ClassRow classFrom(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), q.value(1).toString(),   q.value(2).toString(),
            q.value(3).toString(),   q.value(4).toLongLong(), q.value(5).toString()};
}

} // namespace

SqlStore::SqlStore(const QString& driver)
    : m_connection(driver)
{ }

Result<QList<ClassRow>> SqlStore::classesUnder(const QString& parentCode)
{
    const QString parent = stored(parentCode);
    // One level is one code length; below the root it is also one range of codes.
    QString sql = u"SELECT "_s + ClassColumns + u" FROM KeyClass WHERE length(code) = ?"_s;
    QVariantList values {parent.size() + ClassCode::SegmentLength};
    if (!parent.isEmpty()) {
        sql += u" AND code >= ? AND code < ?"_s;
        values << parent << ClassCode::subtreeEnd(parent);
    }
    QList<ClassRow> rows;
    const Status read
        = m_connection.read(sql + u" ORDER BY id"_s, values, [&](const QSqlQuery& q) { rows.append(classFrom(q)); });
    if (!read)
        return read.as<QList<ClassRow>>();
    return rows;
}

Result<std::optional<ClassRow>> SqlStore::classByCode(const QString& code)
{
    std::optional<ClassRow> row;
    const Status read = m_connection.read(u"SELECT "_s + ClassColumns + u" FROM KeyClass WHERE code = ?"_s,
                                          {stored(code)}, [&](const QSqlQuery& q) { row = classFrom(q); });
    if (!read)
        return read.as<std::optional<ClassRow>>();
    return row;
}

Result<QString> SqlStore::addClass(const QString& parentCode, const QString& title, const QString& qKey)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<QString>();
    const QString parent = stored(parentCode);
    QString newCode;
    const Status added = m_connection.transaction([&]() -> Status {
        // Advancing the counter first locks the parent row: two operators adding under one parent at once
        // get one number each.
        std::optional<std::pair<qint64, QString>> advanced;
        const Status read = m_connection.read(
            u"UPDATE KeyClass SET maxnext = coalesce(maxnext, 0) + 1 WHERE code = ? RETURNING maxnext, path"_s,
            {parent}, [&](const QSqlQuery& q) { advanced.emplace(q.value(0).toLongLong(), q.value(1).toString()); });
        if (!read)
            return read;
        if (!advanced) {
            return Status::failure(parent.isEmpty() ? u"数据库中没有根行（code 为空文本的行），不能增加顶层分类。"_s
                                                    : u"上级分类（编码 %1）已不在数据库中。"_s.arg(parent));
        }
        const auto& [n, path] = *advanced;
        if (n > ClassCode::MaxChildNumber)
            return Status::failure(
                u"该分类的 %1 个下级编号已经用完，不能再增加下级分类。"_s.arg(ClassCode::MaxChildNumber));
        newCode = ClassCode::childCode(parent, n);
        return Status::of(
            m_connection.execute(u"INSERT INTO KeyClass(code, title, qKey, maxnext, path) VALUES (?, ?, ?, 0, ?)"_s,
                                 {newCode, stored(title), stored(qKey), stored(path + u" > "_s + title)}));
    });
    if (!added)
        return added.as<QString>();
    return newCode;
}

Result<bool> SqlStore::editClass(const QString& code, const QString& title, const QString& qKey)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<bool>();
    const auto changed = m_connection.execute(u"UPDATE KeyClass SET title = ?, qKey = ? WHERE code = ?"_s,
                                              {stored(title), stored(qKey), stored(code)});
    if (!changed)
        return changed.as<bool>();
    return *changed > 0;
}

Result<Store::ClassDeletion> SqlStore::deleteClassIfEmpty(const QString& code)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<ClassDeletion>();
    const QString target = stored(code);
    ClassDeletion outcome = ClassDeletion::Deleted;
    const Status done = m_connection.transaction([&]() -> Status {
        // The delete comes first: it locks the row against an operator filing into the class meanwhile, whose
        // keyword the guard below then sees.
        if (const Status deleted = Status::of(m_connection.execute(u"DELETE FROM KeyClass WHERE code = ?"_s, {target}));
            !deleted)
            return deleted;
        bool filled = false;
        const Status read
            = m_connection.read(u"SELECT id FROM Korvels WHERE classcode >= ? AND classcode < ? LIMIT 1"_s,
                                {target, ClassCode::subtreeEnd(target)}, [&](const QSqlQuery&) { filled = true; });
        if (!read)
            return read;
        if (filled) {
            outcome = ClassDeletion::NotEmpty;
            // Rolls the delete back.
            return Status::failure(u"not empty"_s);
        }
        return {};
    });
    if (!done && outcome != ClassDeletion::NotEmpty)
        return done.as<ClassDeletion>();
    return outcome;
}

Result<QList<ClassRow>> SqlStore::allClasses()
{
    QList<ClassRow> rows;
    const Status read = m_connection.read(u"SELECT "_s + ClassColumns + u" FROM KeyClass ORDER BY id"_s, {},
                                          [&](const QSqlQuery& q) { rows.append(classFrom(q)); });
    if (!read)
        return read.as<QList<ClassRow>>();
    return rows;
}

Status SqlStore::replaceClasses(const QList<ClassRow>& classes)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    return m_connection.transaction([&]() -> Status {
        if (const auto cleared = m_connection.execute(u"DELETE FROM KeyClass"_s); !cleared)
            return Status::of(cleared);
        for (const ClassRow& c : classes) {
            const auto inserted = m_connection.execute(
                u"INSERT INTO KeyClass(id, code, title, qKey, maxnext, path) VALUES (?, ?, ?, ?, ?, ?)"_s,
                {c.id, stored(c.code), stored(c.title), stored(c.qKey), c.maxnext, stored(c.path)});
            if (!inserted)
                return Status::of(inserted);
        }
        return followIds(u"keyclass"_s);
    });
}
