#include "CopyText.h"
#include "PgStore.h"
#include "store/RawColumns.h"
#include "store/intake/KeywordPrints.h"

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

// Keywords in bulk go in and out with COPY, many rows in one message.
namespace {

using namespace PgCopyText;

// A keyword's numbers as COPY fields, \N where it has none.
QByteArray metricsFields(const KeywordMetrics& m)
{
    const auto whole = [](const std::optional<qint64>& v) { return v ? QByteArray::number(*v) : QByteArray("\\N"); };
    const auto real
        = [](const std::optional<double>& v) { return v ? QByteArray::number(*v, 'g', 17) : QByteArray("\\N"); };
    return whole(m.volume) + '\t' + whole(m.volumeHigh) + '\t' + real(m.competition) + '\t' + real(m.bidLow) + '\t'
        + real(m.bidHigh);
}

QString failure(PGconn* c, PGresult* r)
{
    const QString text = QString::fromUtf8(r ? PQresultErrorMessage(r) : PQerrorMessage(c)).trimmed();
    return text.isEmpty() ? QString::fromUtf8(PQerrorMessage(c)).trimmed() : text;
}

// Starts a COPY; the reason when it did not start.
QString startCopy(PGconn* c, const QString& sql, ExecStatusType expected)
{
    PGresult* r = PQexec(c, sql.toUtf8().constData());
    const QString error = PQresultStatus(r) == expected ? QString() : failure(c, r);
    PQclear(r);
    return error;
}

// Reads the results that end a COPY: the first failure, unless there was one before.
Status finishCopy(PGconn* c, QString error)
{
    while (PGresult* r = PQgetResult(c)) {
        if (error.isEmpty() && PQresultStatus(r) != PGRES_COMMAND_OK)
            error = failure(c, r);
        PQclear(r);
    }
    return error.isEmpty() ? Status() : Status::failure(error);
}

} // namespace

Status PgStore::copyIn(const QString& sql, const QByteArray& rows)
{
    PGconn* c = handle();
    if (const QString error = startCopy(c, sql, PGRES_COPY_IN); !error.isEmpty())
        return Status::failure(error);
    QString error;
    if (PQputCopyData(c, rows.constData(), int(rows.size())) != 1 || PQputCopyEnd(c, nullptr) != 1)
        error = failure(c, nullptr);
    return finishCopy(c, error);
}

Status PgStore::copyOut(const QString& sql, const std::function<void(QByteArrayView row)>& eachRow)
{
    PGconn* c = handle();
    if (const QString error = startCopy(c, sql, PGRES_COPY_OUT); !error.isEmpty())
        return Status::failure(error);
    QString error;
    char* buffer = nullptr;
    int size;
    while ((size = PQgetCopyData(c, &buffer, 0)) > 0) {
        // Each row ends in a line feed.
        eachRow(QByteArrayView(buffer, size - 1));
        PQfreemem(buffer);
    }
    if (size == -2)
        error = failure(c, nullptr);
    return finishCopy(c, error);
}

Status PgStore::lockIntake()
{
    // One batch writes at a time: the store's key for id 0, which no keyword has.
    return m_connection.read(u"SELECT pg_advisory_xact_lock("_s + function(u"korvel_key(0::bigint))"_s), {},
                             [](const QSqlQuery&) {});
}

Status PgStore::loadPrints(KeywordPrints& into)
{
    std::vector<KeywordPrints::Print> prints;
    qint64 top = 0;
    const Status read = copyOut(u"COPY (SELECT id, keywords FROM Korvels) TO STDOUT"_s, [&](QByteArrayView row) {
        const qsizetype tab = row.indexOf('\t');
        prints.push_back(KeywordPrints::of(unescaped(row.sliced(tab + 1))));
        top = std::max(top, row.first(tab).toLongLong());
    });
    if (!read)
        return read;
    KeywordPrints::sort(prints);
    into.addStored(std::move(prints));
    m_seenUpTo = top;
    return {};
}

Status PgStore::addChunk(const QList<QString>& keywords, const QList<KeywordMetrics>& metrics, KeywordPrints* seen,
                         ChunkCounts& counts)
{
    counts = {};
    ChunkCounts done;
    const Status committed = m_connection.transaction([&]() -> Status {
        if (const Status locked = lockIntake(); !locked)
            return locked;
        if (seen) {
            // What other batches stored since this one last looked; ids are never handed out twice here.
            const Status read = m_connection.read(
                u"SELECT id, keywords FROM Korvels WHERE id > ? ORDER BY id"_s, {m_seenUpTo}, [&](const QSqlQuery& q) {
                    seen->addStored(KeywordPrints::of(q.value(1).toString().toUtf8()));
                    m_seenUpTo = q.value(0).toLongLong();
                });
            if (!read)
                return read;
        }
        QList<QByteArray> texts;
        std::vector<KeywordPrints::Print> prints;
        std::vector<char> isNew(size_t(keywords.size()), 1);
        for (const QString& keyword : keywords) {
            texts << stored(keyword).toUtf8();
            if (seen)
                prints.push_back(KeywordPrints::of(texts.last()));
        }
        if (seen)
            seen->insert(prints, isNew);
        // Keywords with numbers take ids drawn beforehand, so that their numbers can name them.
        const bool numbered = std::any_of(metrics.cbegin(), metrics.cend(), [](const auto& m) { return !m.isEmpty(); });
        QList<qint64> ids;
        QHash<QString, qint64> layouts;
        if (numbered) {
            QList<const KeywordMetrics*> all;
            for (const KeywordMetrics& m : metrics)
                all << &m;
            auto found = rawColumnIds(all);
            if (!found)
                return Status::of(found);
            layouts = std::move(found).value();
            const qint64 fresh = std::count(isNew.cbegin(), isNew.cend(), 1);
            const Status drawn = m_connection.read(
                u"SELECT nextval(pg_get_serial_sequence('korvels', 'id')) FROM generate_series(1, ?)"_s, {fresh},
                [&](const QSqlQuery& q) { ids << q.value(0).toLongLong(); });
            if (!drawn)
                return drawn;
        }
        QByteArray rows;
        QByteArray numbers;
        RawColumns::LayoutIds layoutIds(layouts);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (!isNew[size_t(i)]) {
                ++done.duplicates;
                continue;
            }
            if (numbered) {
                const QByteArray id = QByteArray::number(ids.at(done.added));
                rows += id + '\t';
                if (const KeywordMetrics& m = metrics.at(i); !m.isEmpty()) {
                    numbers += id + '\t' + metricsFields(m) + '\t';
                    if (m.raw.isEmpty()) {
                        numbers += "\\N\t\\N";
                    } else {
                        numbers += QByteArray::number(layoutIds.of(m.rawNames)) + '\t';
                        appendField(numbers, m.raw.toUtf8());
                    }
                    numbers += '\n';
                    done.numbered += m.hasNumbers() ? 1 : 0;
                }
            }
            appendField(rows, texts.at(i));
            rows += '\n';
            ++done.added;
        }
        if (done.added == 0)
            return {};
        const QString columns = numbered ? u"id, keywords"_s : u"keywords"_s;
        if (const Status copied = copyIn(u"COPY Korvels(%1) FROM STDIN"_s.arg(columns), rows); !copied)
            return copied;
        if (!numbers.isEmpty()) {
            const Status copied = copyIn(
                u"COPY KeywordMetrics(id, volume, volumeHigh, competition, bidLow, bidHigh, rawColumns, raw) FROM STDIN"_s,
                numbers);
            if (!copied)
                return copied;
        }
        if (seen) {
            // Under the intake lock the newest rows are this chunk's.
            const Status read = m_connection.read(u"SELECT coalesce(max(id), 0) FROM Korvels"_s, {},
                                                  [&](const QSqlQuery& q) { m_seenUpTo = q.value(0).toLongLong(); });
            if (!read)
                return read;
        }
        announce('a');
        return {};
    });
    if (committed)
        counts = done;
    return committed;
}

Result<qint64> PgStore::importRows(const QList<KeywordRow>& rows)
{
    QByteArray withIds;
    QByteArray withoutIds;
    for (const KeywordRow& row : rows) {
        QByteArray& out = row.id != 0 ? withIds : withoutIds;
        if (row.id != 0)
            out += QByteArray::number(row.id) + '\t';
        appendField(out, stored(row.keywords).toUtf8());
        out += '\t' + QByteArray::number(row.isSet) + '\t' + QByteArray::number(row.statue) + '\t'
            + QByteArray::number(row.statue1) + '\t';
        appendField(out, stored(row.classcode).toUtf8());
        out += '\t';
        appendField(out, stored(row.classname).toUtf8());
        out += '\n';
    }
    const Status done = m_connection.transaction([&]() -> Status {
        if (const Status locked = lockIntake(); !locked)
            return locked;
        const QString columns = u"keywords, isSet, statue, statue1, classcode, classname) FROM STDIN"_s;
        if (!withIds.isEmpty()) {
            if (const Status copied = copyIn(u"COPY Korvels(id, "_s + columns, withIds); !copied)
                return copied;
            if (const Status followed = followIds(u"korvels"_s); !followed)
                return followed;
        }
        if (!withoutIds.isEmpty()) {
            if (const Status copied = copyIn(u"COPY Korvels("_s + columns, withoutIds); !copied)
                return copied;
        }
        announce('a');
        return {};
    });
    if (!done)
        return done.as<qint64>();
    return qint64(rows.size());
}
