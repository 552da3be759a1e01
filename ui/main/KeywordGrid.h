#pragma once

#include <QTableView>

class KeywordGridModel;

// Grid1: the keywords filed under the selected class, read-only, with the classic column widths once a load has
// found rows.
class KeywordGrid : public QTableView
{
    Q_OBJECT
public:
    KeywordGrid(KeywordGridModel* model, QWidget* parent);

    // Keeps where the grid is scrolled to and which cell is current across a reload.
    void keepPlace();
    void restorePlace();
    // Shows the row of a found keyword, current.
    void showRow(int row);

private:
    KeywordGridModel* m_model;
    int m_scrolled = 0;
    int m_row = -1;
    int m_column = -1;
};
