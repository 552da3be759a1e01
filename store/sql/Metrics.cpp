#include "SqlStore.h"
#include "store/RawColumns.h"

using namespace Qt::StringLiterals;

namespace {

// Ids asked for in one statement, each a bound value.
constexpr qsizetype IdsAStatement = 500;
// Rows of numbers written in one statement, each eight bound values.
constexpr qsizetype RowsAStatement = IdsAStatement / 8;

template <typename T> QVariant valueOf(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant(QMetaType::fromType<T>());
}

} // namespace

KeywordMetrics SqlStore::metricsFrom(const QSqlQuery& q, int first)
{
    const auto whole = [&](int i) {
        const QVariant v = q.value(first + i);
        return v.isNull() ? std::nullopt : std::optional(v.toLongLong());
    };
    const auto real = [&](int i) {
        const QVariant v = q.value(first + i);
        return v.isNull() ? std::nullopt : std::optional(v.toDouble());
    };
    KeywordMetrics m;
    m.volume = whole(0);
    m.volumeHigh = whole(1);
    m.competition = real(2);
    m.bidLow = real(3);
    m.bidHigh = real(4);
    return m;
}

Result<bool> SqlStore::hasMetrics()
{
    bool any = false;
    const Status read
        = m_connection.read(u"SELECT 1 FROM KeywordMetrics LIMIT 1"_s, {}, [&](const QSqlQuery&) { any = true; });
    if (!read)
        return read.as<bool>();
    return any;
}

Result<QHash<qint64, KeywordMetrics>> SqlStore::metricsOf(const QList<qint64>& ids)
{
    QHash<qint64, KeywordMetrics> found;
    for (qsizetype from = 0; from < ids.size(); from += IdsAStatement) {
        const QList<qint64> some = ids.mid(from, IdsAStatement);
        QVariantList values;
        QStringList marks;
        for (const qint64 id : some) {
            values << id;
            marks << u"?"_s;
        }
        const Status read = m_connection.read(
            u"SELECT m.id, m.volume, m.volumeHigh, m.competition, m.bidLow, m.bidHigh, c.names, m.raw"
            u" FROM KeywordMetrics m LEFT JOIN RawColumns c ON c.id = m.rawColumns WHERE m.id IN (%1)"_s.arg(
                marks.join(u',')),
            values, [&](const QSqlQuery& q) {
                KeywordMetrics m = metricsFrom(q, 1);
                m.rawNames = q.value(6).toString();
                m.raw = q.value(7).toString();
                found.insert(q.value(0).toLongLong(), m);
            });
        if (!read)
            return read.as<QHash<qint64, KeywordMetrics>>();
    }
    return found;
}

Result<QStringList> SqlStore::rawColumnNames()
{
    QStringList names;
    const Status read = m_connection.read(
        u"SELECT names FROM RawColumns WHERE id IN (SELECT DISTINCT rawColumns FROM KeywordMetrics) ORDER BY id"_s, {},
        [&](const QSqlQuery& q) { names << q.value(0).toString(); });
    if (!read)
        return read.as<QStringList>();
    return names;
}

Result<QHash<QString, qint64>> SqlStore::rawColumnIds(const QList<const KeywordMetrics*>& metrics)
{
    QHash<QString, qint64> ids;
    QStringView last;
    for (const KeywordMetrics* m : metrics) {
        if (m->raw.isEmpty() || RawColumns::sameNames(m->rawNames, last))
            continue;
        last = m->rawNames;
        if (ids.contains(m->rawNames))
            continue;
        // Batches store one at a time (under the file's write lock, or the server's intake lock), so a layout looked
        // for and then added is added once. No unique index: a server's would refuse a long header.
        const auto find = [&] {
            return m_connection.read(u"SELECT id FROM RawColumns WHERE names = ? ORDER BY id LIMIT 1"_s, {m->rawNames},
                                     [&](const QSqlQuery& q) { ids.insert(m->rawNames, q.value(0).toLongLong()); });
        };
        Status found = find();
        if (found && !ids.contains(m->rawNames)) {
            found = Status::of(m_connection.execute(u"INSERT INTO RawColumns(names) VALUES (?)"_s, {m->rawNames}));
            if (found)
                found = find();
        }
        if (!found)
            return found.as<QHash<QString, qint64>>();
    }
    return ids;
}

Result<QList<ClassVolume>> SqlStore::classVolumes()
{
    // A store without numbers, the common case, answers at once however many keywords it holds.
    QList<ClassVolume> volumes;
    const auto any = hasMetrics();
    if (!any || !*any)
        return any ? Result<QList<ClassVolume>>(volumes) : any.as<QList<ClassVolume>>();
    const Status read = m_connection.read(
        u"SELECT k.classcode, sum(m.volume) FROM Korvels k JOIN KeywordMetrics m ON m.id = k.id"
        u" WHERE k.classcode <> '' AND m.volume IS NOT NULL GROUP BY k.classcode ORDER BY k.classcode"_s,
        {}, [&](const QSqlQuery& q) {
            volumes.append({q.value(0).toString(), q.value(1).toLongLong()});
        });
    if (!read)
        return read.as<QList<ClassVolume>>();
    return volumes;
}

Result<VolumeTotals> SqlStore::volumeTotals()
{
    VolumeTotals totals;
    const auto any = hasMetrics();
    if (!any || !*any)
        return any ? Result<VolumeTotals>(totals) : any.as<VolumeTotals>();
    const Status read = m_connection.read(
        u"SELECT coalesce(sum(m.volume), 0), coalesce(sum(CASE WHEN k.isSet = 0 THEN 0 ELSE m.volume END), 0)"
        u" FROM KeywordMetrics m JOIN Korvels k ON k.id = m.id"_s,
        {}, [&](const QSqlQuery& q) {
            totals = {q.value(0).toLongLong(), q.value(1).toLongLong()};
        });
    if (!read)
        return read.as<VolumeTotals>();
    return totals;
}

Status SqlStore::importMetrics(const QHash<qint64, KeywordMetrics>& metrics)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    return m_connection.transaction([&]() -> Status {
        QList<const KeywordMetrics*> all;
        for (const KeywordMetrics& m : metrics)
            all << &m;
        const auto layouts = rawColumnIds(all);
        if (!layouts)
            return Status::of(layouts);
        // Many rows a statement: a server answers each statement across the network.
        const QList<qint64> ids = metrics.keys();
        for (qsizetype from = 0; from < ids.size(); from += RowsAStatement) {
            QVariantList gone;
            QStringList marks;
            QVariantList values;
            QStringList rows;
            for (const qint64 id : ids.mid(from, RowsAStatement)) {
                gone << id;
                marks << u"?"_s;
                const KeywordMetrics& m = metrics[id];
                if (m.isEmpty())
                    continue;
                const bool raw = !m.raw.isEmpty();
                values << id << valueOf(m.volume) << valueOf(m.volumeHigh) << valueOf(m.competition)
                       << valueOf(m.bidLow) << valueOf(m.bidHigh)
                       << valueOf(raw ? std::optional(layouts->value(m.rawNames)) : std::nullopt)
                       << valueOf(raw ? std::optional(m.raw) : std::nullopt);
                rows << u"(?, ?, ?, ?, ?, ?, ?, ?)"_s;
            }
            auto done
                = m_connection.execute(u"DELETE FROM KeywordMetrics WHERE id IN (%1)"_s.arg(marks.join(u',')), gone);
            if (done && !rows.isEmpty())
                done = m_connection.execute(u"INSERT INTO KeywordMetrics(id, volume, volumeHigh, competition, bidLow,"
                                            u" bidHigh, rawColumns, raw) VALUES %1"_s.arg(rows.join(u", "_s)),
                                            values);
            if (!done)
                return Status::of(done);
        }
        return {};
    });
}
