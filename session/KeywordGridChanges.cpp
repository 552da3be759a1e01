#include "KeywordGridModel.h"
#include "store/ClassCode.h"

#include <algorithm>

// How the grid follows the store: the writes it announces are kept until the window asks for the grid, and
// then change it by one row each, or read it again when many changed at once.

KeywordGridModel::KeywordGridModel(Store& store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    connect(&store, &Store::keywordFiled, this, [this](const KeywordRow& row) {
        notice({Notice::Filed, row.id, row.classcode});
    });
    connect(&store, &Store::keywordUnfiled, this, [this](const KeywordRow& row) {
        notice({Notice::Left, row.id, row.classcode});
    });
    connect(&store, &Store::keywordDeleted, this, [this](const KeywordRow& row) {
        notice({Notice::Left, row.id, row.classcode});
    });
    connect(&store, &Store::allKeywordsDeleted, this, [this] { notice({Notice::AllDeleted, 0, {}}); });
    // Many at once: the subtree is read again when any of them lies in it.
    for (const auto many : {&Store::keywordsFiled, &Store::keywordsUnfiled}) {
        connect(&store, many, this, [this](const QList<KeywordRow>& rows) {
            if (std::any_of(rows.cbegin(), rows.cend(), [this](const KeywordRow& r) { return inSubtree(r.classcode); }))
                m_pending.append({Notice::Reload, 0, m_code});
        });
    }
}

void KeywordGridModel::notice(const Notice& n)
{
    if (n.kind == Notice::AllDeleted || inSubtree(n.classCode))
        m_pending.append(n);
}

bool KeywordGridModel::inSubtree(const QString& classCode) const
{
    return !m_designLook && !classCode.isEmpty() && ClassCode::isInSubtree(classCode, m_code);
}

void KeywordGridModel::shiftAnchors(const QString& classCode, qint64 position, int by)
{
    const auto found = m_anchors.find(classCode);
    if (found == m_anchors.end())
        return;
    QMap<qint64, qint64> moved;
    for (auto it = found->cbegin(); it != found->cend(); ++it) {
        if (it.key() < position)
            moved.insert(it.key(), it.value());
        else if (by > 0 || it.key() > position)
            moved.insert(it.key() + by, it.value());
    }
    *found = std::move(moved);
}

void KeywordGridModel::forgetPagesFrom(qint64 row)
{
    const qint64 firstStale = row / PageRows;
    m_pages.removeIf([firstStale](const auto& page) { return page.key() >= firstStale; });
}

Status KeywordGridModel::insertRow(const Notice& n)
{
    const auto position = m_store.classPosition(n.classCode, n.id);
    if (!position)
        return Status::of(position);
    const qsizetype index = groupIndex(n.classCode);
    if (index == m_groups.size() || m_groups.at(index).code != n.classCode)
        m_groups.insert(index, {n.classCode, 0, 0});
    restart(index);
    const qint64 row = m_groups.at(index).start + std::min(*position, m_groups.at(index).count);
    // The first row ever filed under this subtree gives the grid its columns, as a load that finds rows does.
    const bool reset = !m_configured;
    reset ? beginResetModel() : beginInsertRows({}, int(row), int(row));
    m_groups[index].count += 1;
    restart(index);
    forgetPagesFrom(row);
    shiftAnchors(n.classCode, row - m_groups.at(index).start, +1);
    m_configured = true;
    reset ? endResetModel() : endInsertRows();
    return {};
}

Status KeywordGridModel::removeRow(const Notice& n)
{
    const auto g = m_groups.begin() + groupIndex(n.classCode);
    if (g == m_groups.end() || g->code != n.classCode)
        return {};
    const auto position = m_store.classPosition(n.classCode, n.id);
    if (!position)
        return Status::of(position);
    const qsizetype index = g - m_groups.begin();
    const qint64 row = g->start + std::min(*position, g->count - 1);
    beginRemoveRows({}, int(row), int(row));
    shiftAnchors(n.classCode, row - g->start, -1);
    if (--m_groups[index].count == 0)
        m_groups.removeAt(index);
    restart(std::min(index, m_groups.size()));
    forgetPagesFrom(row);
    endRemoveRows();
    return {};
}

Status KeywordGridModel::sync()
{
    const QList<Notice> pending = std::exchange(m_pending, {});
    if (pending.isEmpty())
        return {};
    const bool cleared
        = std::any_of(pending.cbegin(), pending.cend(), [](const Notice& n) { return n.kind == Notice::AllDeleted; });
    if (cleared && m_rows > 0) {
        beginRemoveRows({}, 0, int(m_rows) - 1);
        m_groups.clear();
        m_rows = 0;
        m_pages.clear();
        m_anchors.clear();
        endRemoveRows();
    }
    // A row's place is worked out from the store, which holds every change made since: one change at a time
    // is placed exactly; after several, the subtree is read again.
    if (cleared || pending.size() > 1)
        return cleared && pending.size() == 1 ? Status() : load(m_code);
    const Notice& n = pending.first();
    if (n.kind == Notice::Reload)
        return load(m_code);
    // Another program may have changed the class as well, unannounced: then it too is read again.
    const auto counts = m_store.subtreeCounts(n.classCode);
    if (!counts)
        return Status::of(counts);
    const qint64 stored = !counts->isEmpty() && counts->first().code == n.classCode ? counts->first().count : 0;
    const qsizetype g = groupIndex(n.classCode);
    const qint64 shown = g < m_groups.size() && m_groups.at(g).code == n.classCode ? m_groups.at(g).count : 0;
    if (stored != shown + (n.kind == Notice::Filed ? 1 : -1))
        return load(m_code);
    return n.kind == Notice::Filed ? insertRow(n) : removeRow(n);
}

Status KeywordGridModel::refresh()
{
    if (m_code.isEmpty())
        return {};
    emit refreshing();
    const Status loaded = load(m_code);
    if (loaded)
        emit refreshed();
    return loaded;
}
