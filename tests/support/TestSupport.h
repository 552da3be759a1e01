#pragma once

#include "StoreSupport.h"
#include "session/KeywordGridModel.h"
#include "session/SortingSession.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QQueue>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

// Answers every message box in memory while it lives, and records what was shown.
class Messages
{
public:
    Messages();
    ~Messages();
    // The answer to the next question; one with none queued gets its default button.
    void answer(MessageBox::Answer answer) { m_answers.enqueue(answer); }
    QList<MessageBox::Shown> take() { return std::exchange(m_shown, {}); }
    // The texts of the boxes shown since the last take.
    QStringList texts();
    // Called with each box while it would be on screen.
    std::function<void(const MessageBox::Shown&)> whileShown;

private:
    QQueue<MessageBox::Answer> m_answers;
    QList<MessageBox::Shown> m_shown;
};

// A control of a dialog by its name; a missing one fails the test.
template <typename T = QWidget> T* in(const QWidget& parent, const QString& name)
{
    T* found = parent.findChild<T*>(name);
    if (!found)
        QTest::qFail(qPrintable(u"no control "_s + name), __FILE__, __LINE__);
    return found;
}
void clickIn(const QWidget& parent, const QString& name);

// The fixture of the window tests: a fresh store, the main window on it, and every message box and dialog
// answered in memory. Test classes derive from it; init and cleanup run around each test.
class WindowTest : public QObject
{
    Q_OBJECT
protected slots:
    virtual void initTestCase();
    // A store for the test; a derived init that uses it goes on only when this did not fail.
    virtual void init();
    virtual void cleanup();

protected:
    // Shows the window as the program does; quiet drops the messages of its start.
    frmKorvel* open(bool quiet = false);
    // A control of the main window by its name; a missing one fails the test.
    template <typename T = QWidget> T* child(const QString& name) const { return in<T>(*m_window, name); }
    QLineEdit* txtKey() const { return child<QLineEdit>(u"txtKey"_s); }
    QTreeWidget* list() const { return child<QTreeWidget>(u"ListView2"_s); }
    QTableView* grid() const { return child<QTableView>(u"Grid1"_s); }
    void click(const QString& name) { clickIn(*m_window, name); }
    void rightClickList();
    // A right-click on a row of the grid: its keyword is taken back.
    void takeBack(int row);
    // Types each character as one key press on the current-keyword box.
    void type(const QString& text);
    QStringList messages() { return m_messages->texts(); }
    QStringList keywords() { return m_raw->rows(u"SELECT keywords FROM Korvels ORDER BY id"_s); }
    QString sql(const QString& query, const QVariantList& values = {}) { return m_raw->value(query, values); }
    // Opens the add-keywords dialog from the main window and adds each text as one batch.
    void addBatches(const QStringList& texts, bool excludeDuplicates = true);
    // The next class editor gets this title and key typed in, then OK (or Cancel) pressed.
    void answerClassEditor(const QString& title, const QString& key, bool ok = true);
    // Adds classes as the class editor does: parent code, title, quick key.
    void addClasses(const QList<std::tuple<QString, QString, QString>>& classes);

    std::unique_ptr<Messages> m_messages;
    std::unique_ptr<TempStore> m_temp;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<RawDb> m_raw;
    std::unique_ptr<frmKorvel> m_window;
    int m_dialogsShown = 0;
};
