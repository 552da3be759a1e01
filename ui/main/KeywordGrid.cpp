#include "KeywordGrid.h"

#include "session/KeywordGridModel.h"

#include <QHeaderView>
#include <QScrollBar>

namespace {

constexpr int ColumnWidths[] = {50, 80, 210};

} // namespace

KeywordGrid::KeywordGrid(KeywordGridModel* model, QWidget* parent)
    : QTableView(parent)
    , m_model(model)
{
    setModel(model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // What other windows of a team changed is shown where the operator was looking.
    connect(model, &KeywordGridModel::refreshing, this, &KeywordGrid::keepPlace);
    connect(model, &KeywordGridModel::refreshed, this, &KeywordGrid::restorePlace);
    // A reset gives every column the default width again; once loaded, the grid keeps its own widths.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model->isConfigured()) {
            for (int column = 0; column < KeywordGridModel::ColumnCount; ++column)
                setColumnWidth(column, ColumnWidths[column]);
        }
    });
}

void KeywordGrid::keepPlace()
{
    m_scrolled = verticalScrollBar()->value();
    m_row = currentIndex().row();
    m_column = currentIndex().column();
}

void KeywordGrid::restorePlace()
{
    verticalScrollBar()->setValue(m_scrolled);
    if (m_model->isDataRow(m_row))
        setCurrentIndex(m_model->index(m_row, m_column));
}

void KeywordGrid::showRow(int row)
{
    const QModelIndex index = m_model->index(row, KeywordGridModel::KeywordColumn);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    setCurrentIndex(index);
}
