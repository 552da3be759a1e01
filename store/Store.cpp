#include "Store.h"

#include "ClassCode.h"
#include "postgres/Location.h"
#include "postgres/PgStore.h"
#include "sqlite/SqliteStore.h"

using namespace Qt::StringLiterals;

namespace {

template <typename Engine> Result<std::unique_ptr<Store>> opened(const QString& location)
{
    auto store = std::make_unique<Engine>();
    if (const Status status = store->open(location); !status)
        return status.as<std::unique_ptr<Store>>();
    return std::unique_ptr<Store>(std::move(store));
}

} // namespace

Result<qint64> Store::insertKeywords(const QStringList& keywords)
{
    QList<KeywordRow> rows;
    rows.reserve(keywords.size());
    for (const QString& keyword : keywords)
        rows.append({0, keyword, {}, {}, 0, 0, 0});
    return importRows(rows);
}

Result<std::unique_ptr<Store>> openStore(const QString& location)
{
    return PgLocation::isServer(location) ? opened<PgStore>(location) : opened<SqliteStore>(location);
}

Status createStore(const QString& location)
{
    return PgLocation::isServer(location) ? PgStore::create(location) : SqliteStore::create(location);
}

Status grantOperator(const QString& location, const QString& role)
{
    if (!PgLocation::isServer(location))
        return Status::failure(u"数据库文件没有角色：只有 PostgreSQL 服务器上的数据库才能给角色权限。"_s);
    return PgStore::grant(location, role);
}

QHash<QString, qint64> Store::subtreeVolumes(const QList<ClassVolume>& volumes)
{
    // A class's code begins with each of its ancestors' codes: its volume counts towards each of them.
    QHash<QString, qint64> sums;
    for (const ClassVolume& v : volumes) {
        for (qsizetype length = ClassCode::SegmentLength; length < v.code.size(); length += ClassCode::SegmentLength)
            sums[v.code.first(length)] += v.volume;
        sums[v.code] += v.volume;
    }
    return sums;
}
