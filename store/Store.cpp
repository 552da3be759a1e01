#include "Store.h"

#include "sqlite/SqliteStore.h"

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
    auto store = std::make_unique<SqliteStore>();
    if (const Status opened = store->open(location); !opened)
        return opened.as<std::unique_ptr<Store>>();
    return std::unique_ptr<Store>(std::move(store));
}

Status createStore(const QString& location)
{
    return SqliteStore::create(location);
}
