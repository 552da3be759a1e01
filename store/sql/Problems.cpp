#include "SqlStore.h"
#include "store/ClassCode.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

// Checks of what the program relies on and a store made or changed by other means may break.
Result<QStringList> SqlStore::problems()
{
    QStringList found;
    const auto count = [&](const QString& sql, const QString& problem) -> Status {
        qint64 n = 0;
        const Status read = m_connection.read(sql, {}, [&](const QSqlQuery& q) { n = q.value(0).toLongLong(); });
        if (read && n > 0)
            found << problem.arg(n);
        return read;
    };
    const std::pair<QString, QString> checks[] = {
        {u"SELECT count(*) FROM Korvels WHERE (isSet = 1 AND classcode = '') OR (isSet = 0 AND classcode <> '')"_s,
         u"%1 个关键词的设置状态与分类不符（已设置却没有分类，或未设置却有分类）。"_s},
        {u"SELECT count(*) FROM Korvels k WHERE classcode <> ''"
         u" AND NOT EXISTS (SELECT 1 FROM KeyClass c WHERE c.code = k.classcode)"_s,
         u"%1 个关键词设置在已不存在的分类中。"_s},
        {u"SELECT count(*) FROM (SELECT classcode, count(*) AS n FROM Korvels WHERE classcode <> '' GROUP BY "
         u"classcode) k"
         u" LEFT JOIN ClassCounts c ON c.classcode = k.classcode WHERE coalesce(c.n, 0) <> k.n"_s,
         u"%1 个分类的关键词计数与实际不符。"_s},
    };
    for (const auto& [sql, problem] : checks) {
        if (const Status read = count(sql, problem); !read)
            return read.as<QStringList>();
    }
    const auto classes = allClasses();
    if (!classes)
        return classes.as<QStringList>();
    static const QRegularExpression wellFormed(u"^([0-9]{3})*$"_s);
    QHash<QString, qint64> counters;
    bool root = false;
    for (const ClassRow& c : *classes) {
        counters.insert(c.code, c.maxnext);
        root = root || c.code.isEmpty();
        if (!wellFormed.match(c.code).hasMatch())
            found << u"分类“%1”的编码“%2”不是三位数字一段的编码。"_s.arg(c.title, c.code);
    }
    if (!root)
        found << u"没有根行（code 为空文本的行）：不能增加顶层分类。"_s;
    // A parent whose counter is below a child's number would hand that number out again.
    for (const ClassRow& c : *classes) {
        const QString parent = ClassCode::parentCode(c.code);
        const qint64 number = c.code.right(ClassCode::SegmentLength).toLongLong();
        if (!c.code.isEmpty() && counters.contains(parent) && counters.value(parent) < number)
            found << u"分类“%1”（%2）的编号大于上级的最大下级编号 %3：新分类会重复这个编号。"_s.arg(
                c.title, c.code, QString::number(counters.value(parent)));
    }
    return found;
}
