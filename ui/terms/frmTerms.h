#pragma once

#include "store/terms/TermTable.h"
#include "ui/FixedDialog.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class SortingSession;
class Store;
class TermCounter;

// The terms most unsorted keywords hold, with how many hold each; those already the title of a class at the level
// the main window lists are marked. Enter opens the rule window with the term; Insert makes a class named after it
// at that level. The table is counted on a thread of its own and then follows every filing.
class frmTerms : public FixedDialog
{
    Q_OBJECT
public:
    // This many terms are listed.
    static constexpr int Shown = 200;

    frmTerms(Store& conn, SortingSession& session, QWidget* parent = nullptr);

    // Counts the terms when the table does not hold the unsorted keywords as they are, and shows the window modally.
    void Init();
    // The counter the window draws, kept by the window that opened it between openings.
    TermCounter& counter() const { return *m_counter; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CommandKey(int key);
    void recount();
    void showProgress(qint64 done, qint64 total);
    void LoadTerms();
    QString currentTerm() const;
    void cmdRule_Click();
    void cmdClass_Click();

    Store& Conn;
    SortingSession& m_session;
    TermCounter* m_counter = nullptr;
    QList<TermCount> m_terms;

    QLabel* lblStatus = nullptr;
    QTreeWidget* lstTerms = nullptr;
    QPushButton* cmdRule = nullptr;
    QPushButton* cmdClass = nullptr;
    QPushButton* cmdExit = nullptr;
};
