#pragma once

#include <QWidget>

class ClassList;
class CommandLabel;
class KeywordGrid;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;
class SortingSession;
class Store;

// The operator's working window: the keyword to file, the classes of one level, and the keywords filed under the
// selected class. It routes every event to the sorting session and draws what the session holds.
class frmKorvel : public QWidget
{
    Q_OBJECT
public:
    explicit frmKorvel(Store& conn, QWidget* parent = nullptr);

    // Runs once before the window is first shown: the top level of the class list, then the first keyword.
    void Form_Load();
    SortingSession& session() const { return *m_session; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();

    // Event handlers. Every key goes first to the window's key preview.
    bool Form_KeyPreview(QObject* control, const QKeyEvent& key);
    void Form_KeyDown(int key);
    bool Form_KeyPress(const QString& character);
    // Keys the classic window leaves free; true when the key was one of them.
    bool CommandKey(const QKeyEvent& key);
    void cmdAdd_Click();
    void cmdEdit_Click();
    void lblAddWords_Click();
    void lblClearWords_Click();
    void lblExpert_Click();
    void txtKey_DblClick();
    void ListView2_ItemClick(QTreeWidgetItem* item);
    void ListView2_KeyDown(int key);
    void ListView2_MouseUp(Qt::MouseButton button);
    void Grid1_MouseDown(Qt::MouseButton button, const QPoint& position);

    void UpdateNavButtons();

    Store& Conn;
    SortingSession* m_session = nullptr;

    QLabel* Label1 = nullptr;
    QLineEdit* txtKey = nullptr;
    QLabel* Label3 = nullptr;
    KeywordGrid* Grid1 = nullptr;
    CommandLabel* lblExpert = nullptr;
    ClassList* ListView2 = nullptr;
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
};
