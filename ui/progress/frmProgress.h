#pragma once

#include "store/Rows.h"
#include "ui/FixedDialog.h"

class BarChart;
class QLabel;
class Store;

// How far the work has come: keywords sorted, unsorted and in all; this window's filing rate and the time
// left at that rate; and, as bars, how many keywords each class of the level shown holds.
class frmProgress : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmProgress(Store& conn, QWidget* parent = nullptr);

    // Reads the counts for the classes of the level (code and title each) and the session's filings over its
    // minutes; false after the operator has been told why they could not be read.
    bool Form_Load(const QList<ClassRow>& level, qint64 sessionFilings, double sessionMinutes);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Store& Conn;
    QLabel* lblTotals = nullptr;
    QLabel* lblRate = nullptr;
    QLabel* Label1 = nullptr;
    BarChart* chtClasses = nullptr;
};
