#include "SqlStore.h"

using namespace Qt::StringLiterals;

namespace {

// Ids asked for in one statement, each a bound value.
constexpr qsizetype IdsAStatement = 500;

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
    return {whole(0), whole(1), real(2), real(3), real(4)};
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
            u"SELECT id, volume, volumeHigh, competition, bidLow, bidHigh FROM KeywordMetrics WHERE id IN (%1)"_s.arg(
                marks.join(u',')),
            values, [&](const QSqlQuery& q) { found.insert(q.value(0).toLongLong(), metricsFrom(q, 1)); });
        if (!read)
            return read.as<QHash<qint64, KeywordMetrics>>();
    }
    return found;
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
        for (auto it = metrics.cbegin(); it != metrics.cend(); ++it) {
            const KeywordMetrics& m = it.value();
            auto done = m_connection.execute(u"DELETE FROM KeywordMetrics WHERE id = ?"_s, {it.key()});
            if (done && !m.isEmpty())
                done = m_connection.execute(u"INSERT INTO KeywordMetrics(id, volume, volumeHigh, competition, bidLow,"
                                            u" bidHigh) VALUES (?, ?, ?, ?, ?, ?)"_s,
                                            {it.key(), valueOf(m.volume), valueOf(m.volumeHigh), valueOf(m.competition),
                                             valueOf(m.bidLow), valueOf(m.bidHigh)});
            if (!done)
                return Status::of(done);
        }
        return {};
    });
}
