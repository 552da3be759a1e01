#include "Store.h"

#include "postgres/Location.h"
#include "postgres/PgStore.h"
#include "sqlite/SqliteStore.h"

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
