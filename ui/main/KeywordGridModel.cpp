#include "KeywordGridModel.h"

#include <algorithm>

using namespace Qt::StringLiterals;

KeywordGridModel::KeywordGridModel(Store& store, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{ }

int KeywordGridModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // Before the first load the grid keeps its empty design-time shape.
    return m_designLook ? DesignRows : int(m_ids.size());
}

int KeywordGridModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_configured ? ColumnCount : DesignColumns;
}

const KeywordGridModel::Texts* KeywordGridModel::textsAt(int row) const
{
    const qint64 id = m_ids.at(row);
    if (const auto found = m_texts.constFind(id); found != m_texts.cend())
        return &*found;
    // One query fetches this row and the rows after it in the same class: the view asks for its rows in order.
    if (m_texts.size() > 50 * PageSize)
        m_texts.clear();
    const auto page = m_store.classPage(m_codes.at(row), id, PageSize);
    if (!page)
        return nullptr;
    for (const KeywordRow& r : *page)
        m_texts.insert(r.id, {r.classname, r.keywords});
    const auto found = m_texts.constFind(id);
    return found == m_texts.cend() ? nullptr : &*found;
}

QVariant KeywordGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid) || !isDataRow(index.row())
        || index.column() >= ColumnCount)
        return {};
    if (index.column() == IdColumn)
        return QString::number(m_ids.at(index.row()));
    const Texts* texts = textsAt(index.row());
    if (!texts)
        return QString();
    return index.column() == ClassNameColumn ? texts->classname : texts->keywords;
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

Status KeywordGridModel::load(const QString& code)
{
    QList<qint64> ids;
    QList<QString> codes;
    if (Status read = m_store.subtreeKeys(code, ids, codes); !read)
        return read;
    beginResetModel();
    m_code = code;
    m_designLook = false;
    if (!ids.isEmpty())
        m_configured = true;
    m_ids = std::move(ids);
    m_codes = std::move(codes);
    m_texts.clear();
    endResetModel();
    return {};
}

void KeywordGridModel::insertFiled(const KeywordRow& row)
{
    // The grid's order: class code ascending, then the highest id first.
    int position = 0;
    for (int lo = 0, hi = int(m_ids.size()); lo < hi;) {
        const int mid = (lo + hi) / 2;
        const int byCode = QString::compare(m_codes.at(mid), row.classcode);
        if (byCode < 0 || (byCode == 0 && m_ids.at(mid) > row.id))
            lo = position = mid + 1;
        else
            hi = position = mid;
    }
    const bool reset = !m_configured || m_designLook;
    if (reset) {
        beginResetModel();
        m_configured = true;
        m_designLook = false;
    } else {
        beginInsertRows({}, position, position);
    }
    m_ids.insert(position, row.id);
    m_codes.insert(position, row.classcode);
    m_texts.insert(row.id, {row.classname, row.keywords});
    if (reset)
        endResetModel();
    else
        endInsertRows();
}

void KeywordGridModel::removeId(qint64 id)
{
    const int position = int(m_ids.indexOf(id));
    if (position < 0)
        return;
    beginRemoveRows({}, position, position);
    m_ids.removeAt(position);
    m_codes.removeAt(position);
    m_texts.remove(id);
    endRemoveRows();
}

void KeywordGridModel::clearRows()
{
    if (m_ids.isEmpty())
        return;
    beginRemoveRows({}, 0, int(m_ids.size()) - 1);
    m_ids.clear();
    m_codes.clear();
    m_texts.clear();
    endRemoveRows();
}
