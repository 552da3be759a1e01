#include "KeywordGridModel.h"
#include "frmKorvel.h"
#include "store/ClassCode.h"
#include "store/Store.h"

#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

// In a team, what the other windows change shows here within a second: the class list and the grid are read
// again, the operator's selection, scroll position and current keyword left where they were.

namespace {

// Changes that come in a burst are shown at once.
constexpr int RefreshAfterMs = 300;

} // namespace

void frmKorvel::changedElsewhere(bool classes, bool keywords)
{
    m_refreshClasses = m_refreshClasses || classes;
    m_refreshGrid = m_refreshGrid || keywords;
    if (!m_refresh->isActive())
        m_refresh->start(RefreshAfterMs);
}

void frmKorvel::refreshFromStore()
{
    // A read that fails here is not the operator's doing: the next command they give reports it.
    if (std::exchange(m_refreshClasses, false)) {
        if (const auto classes = Conn.classesUnder(ParentCode)) {
            const QString selected = SelCode;
            fillClassList(*classes, selected);
            if (QTreeWidgetItem* item = selectedItem())
                SelCode = KeyToCode(item->data(0, KeyRole).toString());
            UpdateNavButtons();
            // The selected class is gone: the grid follows the new selection, as after any fill of the list.
            if (SelCode != selected)
                LoadClassKeywords();
        }
    }
    if (std::exchange(m_refreshGrid, false) && !m_gridModel->loadedCode().isEmpty()) {
        const int scrolled = Grid1->verticalScrollBar()->value();
        const int currentRow = Grid1->currentIndex().row();
        const int currentColumn = Grid1->currentIndex().column();
        if (m_gridModel->load(m_gridModel->loadedCode())) {
            Grid1->verticalScrollBar()->setValue(scrolled);
            if (currentRow >= 0 && currentRow < m_gridModel->rowCount())
                Grid1->setCurrentIndex(m_gridModel->index(currentRow, currentColumn));
        }
    }
}
