#include "PgStore.h"

#include <algorithm>

using namespace Qt::StringLiterals;

Result<QList<FoundKeyword>> PgStore::findKeywords(const QString& text, int limit)
{
    const QString wanted = stored(text);
    // Without an ASCII letter the find rule is plain LIKE. With one, ILIKE finds every keyword the rule finds,
    // and some more (it ignores the case of other letters too), which are left out here.
    const bool letters = std::any_of(wanted.cbegin(), wanted.cend(),
                                     [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); });
    QList<FoundKeyword> found;
    // What ILIKE finds beyond the rule is left out, so another page is read until enough are found.
    qint64 after = 0;
    while (found.size() < limit) {
        int read = 0;
        const Status page = m_connection.read(
            u"SELECT k.id, k.keywords, k.classcode, k.classname, k.isSet, k.statue, k.statue1, coalesce(c.path, '')"
            u" FROM Korvels k LEFT JOIN KeyClass c ON c.code = k.classcode AND k.classcode <> ''"
            u" WHERE k.id > ? AND k.keywords "_s
                + (letters ? u"ILIKE"_s : u"LIKE"_s) + u" ? ESCAPE '\\' ORDER BY k.id LIMIT ?"_s,
            {after, containsPattern(wanted), limit}, [&](const QSqlQuery& q) {
                FoundKeyword f {keywordFrom(q), q.value(7).toString()};
                ++read;
                after = f.row.id;
                if (found.size() < limit && (!letters || contains(f.row.keywords, wanted)))
                    found.append(f);
            });
        if (!page)
            return page.as<QList<FoundKeyword>>();
        if (!letters || read < limit)
            break;
    }
    return found;
}
