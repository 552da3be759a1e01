#include "SqlStore.h"
#include "store/ClassCode.h"

#include <algorithm>

using namespace Qt::StringLiterals;

Result<KeywordTotals> SqlStore::keywordTotals()
{
    KeywordTotals totals;
    Status read = m_connection.read(u"SELECT count(*) FROM Korvels"_s, {},
                                    [&](const QSqlQuery& q) { totals.total = q.value(0).toLongLong(); });
    if (read)
        read = m_connection.read(u"SELECT count(*) FROM Korvels WHERE isSet = 0"_s, {},
                                 [&](const QSqlQuery& q) { totals.unsorted = q.value(0).toLongLong(); });
    if (!read)
        return read.as<KeywordTotals>();
    return totals;
}

Result<qint64> SqlStore::subtreeCount(const QString& code)
{
    qint64 count = 0;
    const QString root = stored(code);
    const Status read = m_connection.read(
        u"SELECT coalesce(sum(n), 0) FROM ClassCounts WHERE classcode >= ? AND classcode < ?"_s,
        {root, ClassCode::subtreeEnd(root)}, [&](const QSqlQuery& q) { count = q.value(0).toLongLong(); });
    if (!read)
        return read.as<qint64>();
    return count;
}

Status SqlStore::readFiled(qint64 limit, const std::function<bool(const QString&, const QString&)>& each)
{
    // Class by class along the index, each class its share of the limit, newest first: a store of millions reads
    // only what it gives, whatever lies between.
    QList<ClassCount> classes;
    qint64 filed = 0;
    Status read = m_connection.read(u"SELECT classcode, n FROM ClassCounts WHERE n > 0"_s, {}, [&](const QSqlQuery& q) {
        classes.append({q.value(0).toString(), q.value(1).toLongLong()});
        filed += classes.last().count;
    });
    bool more = true;
    for (const ClassCount& c : std::as_const(classes)) {
        if (!read || !more)
            break;
        const qint64 share = filed <= limit ? c.count : std::max<qint64>(1, c.count * limit / filed);
        read = m_connection.readWhile(u"SELECT keywords FROM Korvels WHERE classcode = ? ORDER BY id DESC LIMIT ?"_s,
                                      {c.code, share},
                                      [&](const QSqlQuery& q) { return more = each(c.code, q.value(0).toString()); });
    }
    return read;
}

QString SqlStore::containsPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
    return u'%' + escaped + u'%';
}

bool SqlStore::contains(const QString& keyword, const QString& text)
{
    const auto folded = [](QString s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](QChar c) { return c >= u'A' && c <= u'Z' ? QChar(c.unicode() + 32) : c; });
        return s;
    };
    return folded(keyword).contains(folded(text));
}
