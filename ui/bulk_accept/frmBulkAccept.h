#pragma once

#include "ui/FixedDialog.h"

class BulkAcceptance;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;
class SortingSession;
class Store;

// Accepting suggestions in bulk for the level the class list shows: the keywords sure enough, grouped by class,
// while they are scored and after. Delete leaves out the keyword (or class) selected; Ctrl+Enter files them all as
// one step that Ctrl+Z in the main window takes back. It draws what its BulkAcceptance holds.
class frmBulkAccept : public FixedDialog
{
    Q_OBJECT
public:
    frmBulkAccept(SortingSession& session, Store& conn, QWidget* parent);
    ~frmBulkAccept() override;

    // Opens the window for the session's level, or says why there is nothing to accept.
    static void run(SortingSession& session, Store& conn, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void draw();
    void drawProgress();
    void cmdFile_Click();

    BulkAcceptance* m_bulk = nullptr;
    QLabel* lblLevel = nullptr;
    QLabel* lblThreshold = nullptr;
    QDoubleSpinBox* spnThreshold = nullptr;
    QTreeView* lstSuggestions = nullptr;
    QProgressBar* prgScore = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdFile = nullptr;
    QPushButton* cmdClose = nullptr;
};
