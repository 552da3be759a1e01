#include "SqlStore.h"
#include "store/ClassCode.h"

using namespace Qt::StringLiterals;

const QString SqlStore::KeywordColumns = u"id, keywords, classcode, classname, isSet, statue, statue1"_s;

KeywordRow SqlStore::keywordFrom(const QSqlQuery& q)
{
    return {q.value(0).toLongLong(), q.value(1).toString(),   q.value(2).toString(),  q.value(3).toString(),
            q.value(4).toLongLong(), q.value(5).toLongLong(), q.value(6).toLongLong()};
}

Result<std::optional<KeywordRow>> SqlStore::nextUnsorted()
{
    std::optional<KeywordRow> row;
    // The literal isSet = 0 lets the store use its index of unsorted rows.
    const Status read
        = m_connection.read(u"SELECT "_s + KeywordColumns + u" FROM Korvels WHERE isSet = 0 ORDER BY id LIMIT 1"_s, {},
                            [&](const QSqlQuery& q) { row = keywordFrom(q); });
    if (!read)
        return read.as<std::optional<KeywordRow>>();
    return row;
}

Result<Store::Change> SqlStore::whyUnchanged(qint64 id)
{
    bool present = false;
    const Status read
        = m_connection.read(u"SELECT id FROM Korvels WHERE id = ?"_s, {id}, [&](const QSqlQuery&) { present = true; });
    if (!read)
        return read.as<Change>();
    return present ? Change::Moved : Change::Gone;
}

Result<Store::Change> SqlStore::fileKeyword(qint64 id, const QString& classCode, const QString& className)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<Change>();
    const QString code = stored(classCode);
    std::optional<KeywordRow> filed;
    Change change = Change::Done;
    const Status done = m_connection.transaction([&]() -> Status {
        // The class and every class above it must still be there, and stay there until the filing is committed:
        // an empty class above it deleted meanwhile would otherwise leave the keyword below a class that is gone.
        QVariantList path {code};
        for (QString above = ClassCode::parentCode(code); !above.isEmpty(); above = ClassCode::parentCode(above))
            path << above;
        qsizetype there = 0;
        Status read = m_connection.read(u"SELECT id FROM KeyClass WHERE code IN (?"_s
                                            + u", ?"_s.repeated(path.size() - 1) + u')' + lockForShare(),
                                        path, [&](const QSqlQuery&) { ++there; });
        if (!read)
            return read;
        if (there < path.size()) {
            change = Change::ClassGone;
            return {};
        }
        read
            = m_connection.read(u"UPDATE Korvels SET classcode = ?, classname = ?, isSet = 1 WHERE id = ? AND isSet = 0"
                                u" RETURNING "_s
                                    + KeywordColumns,
                                {code, stored(className), id}, [&](const QSqlQuery& q) { filed = keywordFrom(q); });
        if (!read || filed)
            return read;
        const auto why = whyUnchanged(id);
        if (!why)
            return Status::of(why);
        change = *why;
        return {};
    });
    if (!done)
        return done.as<Change>();
    if (filed)
        emit keywordFiled(*filed);
    return change;
}

Result<Store::Change> SqlStore::unfileKeyword(qint64 id, const QString& classCode)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<Change>();
    const QString code = stored(classCode);
    std::optional<KeywordRow> before;
    const Status read = m_connection.read(
        u"UPDATE Korvels SET isSet = 0, classcode = '', classname = '' WHERE id = ? AND classcode = ? RETURNING "_s
            + KeywordColumns,
        {id, code}, [&](const QSqlQuery& q) { before = keywordFrom(q); });
    if (!read)
        return read.as<Change>();
    if (!before)
        return whyUnchanged(id);
    // Announced as it was before: filed under its class.
    before->classcode = code;
    emit keywordUnfiled(*before);
    return Change::Done;
}

Result<Store::Change> SqlStore::deleteKeyword(qint64 id)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<Change>();
    std::optional<KeywordRow> gone;
    const Status read
        = m_connection.read(u"DELETE FROM Korvels WHERE id = ? AND isSet = 0 RETURNING "_s + KeywordColumns, {id},
                            [&](const QSqlQuery& q) { gone = keywordFrom(q); });
    if (!read)
        return read.as<Change>();
    if (!gone)
        return whyUnchanged(id);
    emit keywordDeleted(*gone);
    return Change::Done;
}

Result<std::optional<KeywordRow>> SqlStore::keywordById(qint64 id)
{
    std::optional<KeywordRow> row;
    const Status read = m_connection.read(u"SELECT "_s + KeywordColumns + u" FROM Korvels WHERE id = ?"_s, {id},
                                          [&](const QSqlQuery& q) { row = keywordFrom(q); });
    if (!read)
        return read.as<std::optional<KeywordRow>>();
    return row;
}

Result<QStringList> SqlStore::pendingKeywords(int limit)
{
    QStringList keywords;
    const Status read = m_connection.read(u"SELECT keywords FROM Korvels WHERE isSet = 0 ORDER BY id LIMIT ?"_s,
                                          {limit}, [&](const QSqlQuery& q) { keywords << q.value(0).toString(); });
    if (!read)
        return read.as<QStringList>();
    return keywords;
}

Result<QList<ClassCount>> SqlStore::subtreeCounts(const QString& code)
{
    const QString root = stored(code);
    QList<ClassCount> counts;
    const Status read = m_connection.read(
        u"SELECT classcode, n FROM ClassCounts WHERE classcode >= ? AND classcode < ? AND n > 0 ORDER BY classcode"_s,
        {root, ClassCode::subtreeEnd(root)}, [&](const QSqlQuery& q) {
            counts.append({q.value(0).toString(), q.value(1).toLongLong()});
        });
    if (!read)
        return read.as<QList<ClassCount>>();
    return counts;
}

Result<QList<KeywordRow>> SqlStore::classPage(const QString& classCode, qint64 fromId, int limit)
{
    QList<KeywordRow> rows;
    const Status read = m_connection.read(
        u"SELECT "_s + KeywordColumns + u" FROM Korvels WHERE classcode = ? AND id <= ? ORDER BY id DESC LIMIT ?"_s,
        {stored(classCode), fromId, limit}, [&](const QSqlQuery& q) { rows.append(keywordFrom(q)); });
    if (!read)
        return read.as<QList<KeywordRow>>();
    return rows;
}

Result<std::optional<qint64>> SqlStore::classIdAt(const QString& classCode, qint64 fromId, qint64 offset)
{
    std::optional<qint64> id;
    const Status read = m_connection.read(
        offset >= 0 ? u"SELECT id FROM Korvels WHERE classcode = ? AND id <= ? ORDER BY id DESC LIMIT 1 OFFSET ?"_s
                    : u"SELECT id FROM Korvels WHERE classcode = ? AND id > ? ORDER BY id LIMIT 1 OFFSET ?"_s,
        {stored(classCode), fromId, offset >= 0 ? offset : -offset - 1},
        [&](const QSqlQuery& q) { id = q.value(0).toLongLong(); });
    if (!read)
        return read.as<std::optional<qint64>>();
    return id;
}

Result<qint64> SqlStore::classPosition(const QString& classCode, qint64 id)
{
    qint64 newer = 0;
    const Status read
        = m_connection.read(u"SELECT count(*) FROM Korvels WHERE classcode = ? AND id > ?"_s, {stored(classCode), id},
                            [&](const QSqlQuery& q) { newer = q.value(0).toLongLong(); });
    if (!read)
        return read.as<qint64>();
    return newer;
}

Result<QList<KeywordRow>> SqlStore::keywordsAfter(qint64 afterId, int limit)
{
    QList<KeywordRow> rows;
    const Status read
        = m_connection.read(u"SELECT "_s + KeywordColumns + u" FROM Korvels WHERE id > ? ORDER BY id LIMIT ?"_s,
                            {afterId, limit}, [&](const QSqlQuery& q) { rows.append(keywordFrom(q)); });
    if (!read)
        return read.as<QList<KeywordRow>>();
    return rows;
}

Result<QList<qint64>> SqlStore::unfiled(const QList<KeywordRow>& returned, const Status& status)
{
    if (!returned.isEmpty())
        emit keywordsUnfiled(returned);
    if (!status)
        return status.as<QList<qint64>>();
    QList<qint64> back;
    back.reserve(returned.size());
    for (const KeywordRow& row : std::as_const(returned))
        back.append(row.id);
    return back;
}
