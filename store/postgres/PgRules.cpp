#include "CopyText.h"
#include "PgStore.h"

using namespace Qt::StringLiterals;

namespace {

// Each keyword filed holds an advisory lock until its chunk commits, and the server's table of locks is shared
// by every session (about 64 per allowed connection): a chunk stays well below it.
constexpr qsizetype ChunkSize = 1000;

// The find rule on a server: ASCII letters, and only they, folded on both sides (lower() folds nothing else under
// the "C" collation, and is several times faster than translate()); strpos takes no wildcards.
const QString Folded = u"lower(keywords COLLATE \"C\")"_s;

QString idArray(const QList<qint64>& ids)
{
    QStringList numbers;
    numbers.reserve(ids.size());
    for (const qint64 id : ids)
        numbers << QString::number(id);
    return u'{' + numbers.join(u',') + u'}';
}

} // namespace

Result<RuleMatches> PgStore::matchRule(const Rule& rule, const RuleScan& scan)
{
    const auto made = RuleMatcher::make(rule);
    if (!made)
        return made.as<RuleMatches>();
    const RuleMatcher& matcher = *made;
    QString where = u" FROM Korvels WHERE isSet = 0 AND id > ?"_s;
    QVariantList values {scan.afterId};
    const auto contains = [&](const QString& word) -> QString {
        const QString w = stored(word);
        const bool letters = RuleMatcher::hasAsciiLetter(w);
        values << (letters ? RuleMatcher::folded(w) : w);
        return u"strpos(%1, ?) > 0"_s.arg(letters ? Folded : u"keywords"_s);
    };
    for (const QString& w : matcher.rule().all)
        where += u" AND "_s + contains(w);
    if (!matcher.rule().any.isEmpty()) {
        QStringList either;
        for (const QString& w : matcher.rule().any)
            either << contains(w);
        where += u" AND ("_s + either.join(u" OR "_s) + u')';
    }
    for (const QString& w : matcher.rule().none)
        where += u" AND NOT "_s + contains(w);
    if (const auto least = matcher.rule().minLength) {
        where += u" AND char_length(keywords) >= ?"_s;
        values << *least;
    }
    if (const auto most = matcher.rule().maxLength) {
        where += u" AND char_length(keywords) <= ?"_s;
        values << *most;
    }
    RuleMatches out;
    const auto cancelled = [&] { return scan.cancel && scan.cancel->load(); };
    if (matcher.hasRegex()) {
        // The server's regular expressions are not Perl's: every row the rest lets through is checked here.
        const Status read
            = m_connection.read(u"SELECT id, keywords"_s + where + u" ORDER BY id"_s, values, [&](const QSqlQuery& q) {
                  if (out.cancelled || (out.cancelled = cancelled()))
                      return;
                  const QString text = q.value(1).toString();
                  if (!matcher.matchesRest(text))
                      return;
                  ++out.count;
                  if (out.first.size() < scan.listLimit)
                      out.first.append({q.value(0).toLongLong(), text, {}, {}, 0, 0, 0});
                  if (scan.ids)
                      out.ids.append(q.value(0).toLongLong());
              });
        if (!read)
            return read.as<RuleMatches>();
        return out;
    }
    Status read;
    if (scan.ids) {
        read = m_connection.read(u"SELECT id"_s + where + u" ORDER BY id"_s, values,
                                 [&](const QSqlQuery& q) { out.ids.append(q.value(0).toLongLong()); });
        out.count = out.ids.size();
    } else {
        read = m_connection.read(u"SELECT count(*)"_s + where, values,
                                 [&](const QSqlQuery& q) { out.count = q.value(0).toLongLong(); });
    }
    if (read && scan.listLimit > 0 && out.count > 0 && !(out.cancelled = cancelled())) {
        read
            = m_connection.read(u"SELECT id, keywords"_s + where + u" ORDER BY id LIMIT ?"_s,
                                values + QVariantList {scan.listLimit}, [&](const QSqlQuery& q) {
                                    out.first.append({q.value(0).toLongLong(), q.value(1).toString(), {}, {}, 0, 0, 0});
                                });
    }
    if (!read)
        return read.as<RuleMatches>();
    return out;
}

Result<BulkFiling> PgStore::fileKeywords(const QList<qint64>& ids, const QString& classCode, const QString& className,
                                         const BulkProgress& progress)
{
    const QString code = stored(classCode);
    const QString name = stored(className);
    BulkFiling result;
    QList<KeywordRow> filed;
    Status status;
    for (qsizetype start = 0; start < ids.size() && status; start += ChunkSize) {
        const QList<qint64> chunk = ids.mid(start, ChunkSize);
        bool classThere = false;
        QList<KeywordRow> rows;
        qint64 held = 0;
        status = m_connection.transaction([&]() -> Status {
            // The class must still be there, and stay there until the chunk is committed.
            Status read = m_connection.read(u"SELECT id FROM KeyClass WHERE code = ? FOR SHARE"_s, {code},
                                            [&](const QSqlQuery&) { classThere = true; });
            if (!read || !classThere)
                return read;
            // A keyword another window holds cannot be locked here, and is left alone; one this window holds
            // can (a session's advisory locks never conflict with its own). Each filed keyword stays locked until
            // the commit, so that no window is served it meanwhile.
            return m_connection.read(
                u"WITH wanted AS (SELECT id, pg_try_advisory_xact_lock(korvel_key(id)) AS free FROM Korvels"
                u"   WHERE id = ANY(CAST(? AS bigint[])) AND isSet = 0),"
                u" filed AS (UPDATE Korvels k SET classcode = ?, classname = ?, isSet = 1 FROM wanted w"
                u"   WHERE k.id = w.id AND w.free AND k.isSet = 0 RETURNING k.id, k.keywords, k.statue, k.statue1)"
                u" SELECT id, keywords, statue, statue1, false FROM filed"
                u" UNION ALL SELECT id, '', 0, 0, true FROM wanted WHERE NOT free"_s,
                {idArray(chunk), code, name}, [&](const QSqlQuery& q) {
                    if (q.value(4).toBool())
                        ++held;
                    else
                        rows.append({q.value(0).toLongLong(), q.value(1).toString(), code, name, 1,
                                     q.value(2).toLongLong(), q.value(3).toLongLong()});
                });
        });
        if (!status)
            break;
        if (!classThere) {
            result.classGone = ids.size() - start;
            break;
        }
        for (const KeywordRow& row : std::as_const(rows)) {
            result.filed.append(row.id);
            // Filed, it is no longer anyone's current keyword.
            if (row.id == m_held)
                unlock(std::exchange(m_held, 0));
        }
        result.held += held;
        result.gone += chunk.size() - rows.size() - held;
        filed += rows;
        if (!rows.isEmpty())
            announce('k');
        if (progress && !progress(start + chunk.size(), ids.size()))
            break;
    }
    if (!filed.isEmpty())
        emit keywordsFiled(filed);
    if (!status)
        return status.as<BulkFiling>();
    return result;
}

Result<QList<qint64>> PgStore::unfileKeywords(const QList<qint64>& ids, const QString& classCode)
{
    const QString code = stored(classCode);
    QList<KeywordRow> returned;
    Status status;
    for (qsizetype start = 0; start < ids.size() && status; start += ChunkSize) {
        QList<KeywordRow> rows;
        // One statement, one transaction.
        status = m_connection.read(u"UPDATE Korvels SET isSet = 0, classcode = '', classname = ''"
                                   u" WHERE id = ANY(CAST(? AS bigint[])) AND classcode = ?"
                                   u" RETURNING id, keywords, statue, statue1"_s,
                                   {idArray(ids.mid(start, ChunkSize)), code}, [&](const QSqlQuery& q) {
                                       rows.append({q.value(0).toLongLong(),
                                                    q.value(1).toString(),
                                                    code,
                                                    {},
                                                    0,
                                                    q.value(2).toLongLong(),
                                                    q.value(3).toLongLong()});
                                   });
        if (status && !rows.isEmpty()) {
            returned += rows;
            announce('k');
        }
    }
    return unfiled(returned, status);
}

Status PgStore::readUnsorted(qint64 afterId, const std::function<void(qint64, const QString&)>& each,
                             const std::atomic<bool>* cancel)
{
    // COPY takes no parameters: the bound value reaches it as a setting of this session.
    Status read = m_connection.read(u"SELECT set_config('korvel.after', ?, false)"_s, {QString::number(afterId)},
                                    [](const QSqlQuery&) {});
    if (!read)
        return read;
    return copyOut(u"COPY (SELECT id, keywords FROM Korvels WHERE isSet = 0"
                   u" AND id > CAST(current_setting('korvel.after') AS bigint) ORDER BY id) TO STDOUT"_s,
                   [&](QByteArrayView row) {
                       // What is left of the copy after a cancel is read to its end, unused.
                       if (cancel && *cancel)
                           return;
                       const qsizetype tab = row.indexOf('\t');
                       each(row.first(tab).toLongLong(), QString::fromUtf8(PgCopyText::unescaped(row.sliced(tab + 1))));
                   });
}
