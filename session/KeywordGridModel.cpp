#include "KeywordGridModel.h"

#include "store/ClassCode.h"
#include "store/export/Export.h"

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

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

qsizetype KeywordGridModel::groupIndex(const QString& classCode) const
{
    return std::lower_bound(m_groups.cbegin(), m_groups.cend(), classCode,
                            [](const Group& group, const QString& code) { return group.code < code; })
        - m_groups.cbegin();
}

int KeywordGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // Before the first load the grid keeps its empty design-time shape.
    return m_designLook ? DesignRows : int(m_rows);
}

int KeywordGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_configured ? ColumnCount : DesignColumns;
}

qsizetype KeywordGridModel::groupOf(qint64 row) const
{
    const auto after = std::upper_bound(m_groups.cbegin(), m_groups.cend(), row,
                                        [](qint64 r, const Group& g) { return r < g.start; });
    return after - m_groups.cbegin() - 1;
}

Status KeywordGridModel::readPage(qint64 page) const
{
    const qint64 first = page * PageRows;
    const qint64 wanted = std::min<qint64>(PageRows, m_rows - first);
    QList<KeywordRow> rows;
    rows.reserve(wanted);
    for (qsizetype g = groupOf(first); rows.size() < wanted && g < m_groups.size(); ++g) {
        const Group& group = m_groups.at(g);
        const qint64 position = std::max<qint64>(0, first + rows.size() - group.start);
        QMap<qint64, qint64>& anchors = m_anchors[group.code];
        // The first row's id, counted from the nearest known one, before or after it.
        qint64 from = std::numeric_limits<qint64>::max();
        qint64 walk = position;
        const auto after = anchors.upperBound(position);
        if (after != anchors.begin()) {
            from = std::prev(after).value();
            walk = position - std::prev(after).key();
        }
        if (after != anchors.end() && after.key() - position < walk) {
            from = after.value();
            walk = position - after.key();
        }
        if (walk != 0) {
            const auto id = m_store.classIdAt(group.code, from, walk);
            if (!id)
                return Status::of(id);
            from = id->value_or(0);
        }
        const auto read
            = m_store.classPage(group.code, from, int(std::min(wanted - rows.size(), group.count - position)));
        if (!read)
            return Status::of(read);
        for (qsizetype i = 0; i < read->size(); ++i) {
            if (i == 0 || (position + i) % AnchorEvery == 0)
                anchors.insert(position + i, read->at(i).id);
        }
        rows.append(*read);
    }
    if (m_pages.size() >= CachedPages)
        m_pages.clear();
    m_pages.insert(page, rows);
    return {};
}

const KeywordRow* KeywordGridModel::rowAt(int row) const
{
    if (!isDataRow(row))
        return nullptr;
    const qint64 page = row / PageRows;
    if (!m_pages.contains(page)) {
        if (const Status read = readPage(page); !read) {
            // Reported once until the next load: the view asks for every cell of the page.
            if (!std::exchange(m_readFailed, true))
                QMetaObject::invokeMethod(
                    const_cast<KeywordGridModel*>(this), [this, e = read.error()] { emit readFailed(e); },
                    Qt::QueuedConnection);
            return nullptr;
        }
    }
    const QList<KeywordRow>& rows = m_pages[page];
    const qint64 index = row - page * PageRows;
    return index < rows.size() ? &rows.at(index) : nullptr;
}

Result<qint64> KeywordGridModel::rowOf(const QString& classCode, qint64 id) const
{
    const auto g = m_groups.cbegin() + groupIndex(classCode);
    if (g == m_groups.cend() || g->code != classCode)
        return Result<qint64>::failure(u"这个关键词不在表格中。"_s);
    const auto position = m_store.classPosition(classCode, id);
    if (!position)
        return position;
    return g->start + std::min(*position, g->count - 1);
}

QVariant KeywordGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid) || !isDataRow(index.row())
        || index.column() >= ColumnCount)
        return {};
    const KeywordRow* row = rowAt(index.row());
    if (!row)
        return QString();
    switch (index.column()) {
    case IdColumn:
        return QString::number(row->id);
    case ClassNameColumn:
        return row->classname;
    default:
        return row->keywords;
    }
}

QVariant KeywordGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (!m_configured)
        return QString();
    return Export::gridHeader().value(section);
}

Qt::ItemFlags KeywordGridModel::flags(const QModelIndex& index) const
{
    // Read-only: an edited cell would show text the store never receives.
    return QAbstractTableModel::flags(index) & ~Qt::ItemIsEditable;
}

void KeywordGridModel::restart(qsizetype fromGroup)
{
    qint64 start = fromGroup > 0 ? m_groups.at(fromGroup - 1).start + m_groups.at(fromGroup - 1).count : 0;
    for (qsizetype g = fromGroup; g < m_groups.size(); ++g) {
        m_groups[g].start = start;
        start += m_groups.at(g).count;
    }
    m_rows = start;
}

Status KeywordGridModel::load(const QString& code)
{
    const auto counts = m_store.subtreeCounts(code);
    if (!counts)
        return Status::of(counts);
    beginResetModel();
    m_code = code;
    m_designLook = false;
    m_groups.clear();
    for (const ClassCount& c : *counts)
        m_groups.append({c.code, c.count, 0});
    restart(0);
    if (m_rows > 0)
        m_configured = true;
    m_pages.clear();
    m_anchors.clear();
    m_pending.clear();
    m_readFailed = false;
    endResetModel();
    return {};
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
