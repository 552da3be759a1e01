#include "KeywordGridModel.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The grid's order: class code ascending, then the highest id first.
bool before(const KeywordRow& a, const KeywordRow& b)
{
    const int byCode = QString::compare(a.classcode, b.classcode);
    return byCode != 0 ? byCode < 0 : a.id > b.id;
}

} // namespace

KeywordGridModel::KeywordGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

int KeywordGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // Before the first load the grid keeps its empty design-time shape.
    return m_designLook ? DesignRows : int(KeyRows.size());
}

int KeywordGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_configured ? ColumnCount : DesignColumns;
}

QVariant KeywordGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid) || m_designLook
        || index.column() >= ColumnCount)
        return {};
    const KeywordRow& row = KeyRows.at(index.row());
    switch (index.column()) {
    case IdColumn:
        return QString::number(row.id);
    case ClassNameColumn:
        return row.classname;
    default:
        return row.keywords;
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
    switch (section) {
    case IdColumn:
        return u"ID"_s;
    case ClassNameColumn:
        return u"分类"_s;
    case KeywordColumn:
        return u"关键词"_s;
    default:
        return {};
    }
}

Qt::ItemFlags KeywordGridModel::flags(const QModelIndex& index) const
{
    // Read-only: an edited cell would show text the store never receives.
    return QAbstractTableModel::flags(index) & ~Qt::ItemIsEditable;
}

void KeywordGridModel::load(const QString& code, QList<KeywordRow> rows)
{
    beginResetModel();
    m_code = code;
    m_designLook = false;
    if (!rows.isEmpty())
        m_configured = true;
    KeyRows = std::move(rows);
    endResetModel();
}

void KeywordGridModel::insertFiled(const KeywordRow& row)
{
    if (!m_configured) {
        beginResetModel();
        m_configured = true;
        m_designLook = false;
        KeyRows = {row};
        endResetModel();
        return;
    }
    const auto at = std::lower_bound(KeyRows.cbegin(), KeyRows.cend(), row, before);
    const int position = int(at - KeyRows.cbegin());
    beginInsertRows({}, position, position);
    KeyRows.insert(position, row);
    endInsertRows();
}

void KeywordGridModel::removeId(qint64 id)
{
    const auto at = std::find_if(KeyRows.cbegin(), KeyRows.cend(), [id](const KeywordRow& r) { return r.id == id; });
    if (at == KeyRows.cend())
        return;
    const int position = int(at - KeyRows.cbegin());
    beginRemoveRows({}, position, position);
    KeyRows.removeAt(position);
    endRemoveRows();
}

void KeywordGridModel::clearRows()
{
    if (KeyRows.isEmpty())
        return;
    beginRemoveRows({}, 0, int(KeyRows.size()) - 1);
    KeyRows.clear();
    endRemoveRows();
}
