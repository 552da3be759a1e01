#pragma once

#include "FilingHistory.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <memory>

class CommandLabel;
class KeywordGridModel;
class QFrame;
class QKeyEvent;
class Suggester;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class QThread;
class QTimer;
class QTreeWidgetItem;
class Store;

// The operator's working window: the keyword to file, the classes of one level, and the keywords filed
// under the selected class. It holds the navigation and filing state and routes every event to its handler.
class frmKorvel : public QWidget
{
    Q_OBJECT
public:
    explicit frmKorvel(Store& conn, QWidget* parent = nullptr);
    ~frmKorvel() override;

    // Runs once before the window is first shown: the top level of the class list, then the first keyword.
    void Form_Load();

    // Read-only views of the window's state, for the tests.
    const QString& parentCode() const { return ParentCode; }
    const QString& selCode() const { return SelCode; }
    qint64 keyId() const { return KeyId; }
    const QStringList& quickKeys() const { return QuickKeys; }
    KeywordGridModel* gridModel() const { return m_gridModel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where a class-list item keeps its key ("S" and the class code) and its tag (the quick key).
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int TagRole = Qt::UserRole + 1;

    void buildControls();

    // Event handlers.
    void Form_KeyDown(int key);
    bool Form_KeyPress(const QString& character);
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDel_Click();
    void cmdDelKey_Click();
    void lblAddWords_Click();
    void lblClearWords_Click();
    void lblExpert_Click();
    void txtKey_DblClick();
    void ListView2_ItemClick(QTreeWidgetItem* item);
    void ListView2_DblClick();
    void ListView2_KeyDown(int key);
    void ListView2_MouseUp(Qt::MouseButton button);
    void Grid1_MouseDown(Qt::MouseButton button, const QPoint& position);

    // The class list.
    bool LoadClassList();
    // Lists classes, the one with selectCode selected (or the first); QuickKeys follow, SelCode is cleared.
    void fillClassList(const QList<ClassRow>& classes, const QString& selectCode);
    void GoDown();
    void GoUp();
    void UpdateNavButtons();
    QTreeWidgetItem* selectedItem() const;

    // The filing loop and the grid.
    void LoadNextKeyword();
    void AssignKeyword();
    void LoadClassKeywords();
    // Files a keyword under a class, tells the operator what the store said, and moves the loop on when it was
    // the current keyword; true when it was filed.
    bool fileInto(qint64 id, const QString& code, const QString& title);

    // Keys the classic window leaves free: Ctrl+Z, Ctrl+Y, Ctrl+F, F1, F2 and F5; true when the key was one.
    bool CommandKey(const QKeyEvent& key);
    void UndoFiling();
    void RedoFiling();
    void FindKeyword();
    void ShowProgress();
    void ShowKeys();
    void AcceptSuggestion();
    // Marks, in the class list, the suggested class for the current keyword or the class of this level it lies
    // under.
    void showSuggestion();
    void learnInBackground();

    void showStoreError(const QString& error);

    // What other windows of a team changed, shown without moving the operator's selection, scroll position or
    // current keyword.
    void changedElsewhere(bool classes, bool keywords);
    void refreshFromStore();

    Store& Conn;

    QString ParentCode;
    QString SelCode;
    qint64 KeyId = 0;
    QStringList QuickKeys;

    QLabel* Label1 = nullptr;
    QLineEdit* txtKey = nullptr;
    QLabel* Label3 = nullptr;
    QTableView* Grid1 = nullptr;
    CommandLabel* lblExpert = nullptr;
    QTreeWidget* ListView2 = nullptr;
    QPushButton* cmdDelKey = nullptr;
    CommandLabel* lblAddWords = nullptr;
    QFrame* fmeClass = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdDel = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    CommandLabel* lblClearWords = nullptr;
    QLabel* Label2 = nullptr;

    KeywordGridModel* m_gridModel = nullptr;
    QTimer* m_refresh = nullptr;
    FilingHistory m_history;
    bool m_redoing = false;
    std::shared_ptr<Suggester> m_suggester;
    std::unique_ptr<QThread> m_learning;
    // Filings (true) and take-backs (false) made while the suggestions still learn.
    QList<std::pair<KeywordRow, bool>> m_toLearn;
    QString m_suggested;
    // This window's filings, for the rate the progress window shows.
    qint64 m_sessionFilings = 0;
    QElapsedTimer m_sessionClock;
    bool m_refreshClasses = false;
    bool m_refreshGrid = false;
};
