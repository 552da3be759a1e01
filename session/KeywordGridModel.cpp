#include "KeywordGridModel.h"

#include "store/ClassCode.h"
#include "store/export/Export.h"

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

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
