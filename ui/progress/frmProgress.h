#pragma once

#include "store/Rows.h"
#include "ui/FixedDialog.h"

class BarChart;
class QCheckBox;
class QLabel;
class Store;

// How far the work has come: keywords sorted, unsorted and in all, and the share of the monthly searches filed
// where the keywords came with numbers; this window's filing rate and the time left at that rate; and, as bars,
// how many keywords each class of the level shown holds, or how many searches.
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
    // Draws the bars by keywords or by searches, as the box says.
    void showBars();

    QList<std::pair<QString, qint64>> m_counts;
    QList<std::pair<QString, qint64>> m_volumes;

    QLabel* lblTotals = nullptr;
    QLabel* lblShare = nullptr;
    QLabel* lblRate = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* chkVolume = nullptr;
    BarChart* chtClasses = nullptr;
};
