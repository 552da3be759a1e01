#pragma once

#include "store/Store.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/main/KeywordGridModel.h"
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

// Fails the test with the store's own words when a store call fails.
#define QVERIFY_OK(expression)                                                                                         \
    do {                                                                                                               \
        const auto& checked_ = (expression);                                                                           \
        if (!checked_.ok())                                                                                            \
            QFAIL(qPrintable(QStringLiteral("%1 failed: %2").arg(QStringLiteral(#expression), checked_.error())));     \
    } while (false)

// The engine the tests of this run use: a store file, or with KORVEL_TEST_ENGINE=postgres a schema of their own
// on the PostgreSQL server that KORVEL_TEST_SERVER names (scripts/test starts one).
namespace TestEngine {
bool onServer();
// Why the tests cannot run here: a server is wanted and none is named. Empty when they can.
QString missing();
// The test server as a role of it (scripts/test-server makes the owner of the tests' database korvel_owner, a
// role with no rights of its own korvel_operator, and the superuser korvel_admin); as the owner without one.
QString server(const QString& role = {});
// The role the tests' windows work as: each store is granted to it by its owner.
inline const QString Operator = QStringLiteral("korvel_operator");
} // namespace TestEngine

// Test-side access to a store: set up states the program itself never makes, and read back what it wrote.
class RawDb
{
public:
    explicit RawDb(const QString& location);
    ~RawDb();

    // False, with the reason printed, when the statement fails.
    bool exec(const QString& sql, const QVariantList& values = {});
    // The rows of a query, each row's columns joined by '|'.
    QStringList rows(const QString& sql, const QVariantList& values = {});
    QString value(const QString& sql, const QVariantList& values = {}) { return rows(sql, values).value(0); }
    // From now on the store refuses the event ("INSERT", "UPDATE OF maxnext", ...) on table with message,
    // where condition holds (about NEW); allow() lifts it.
    bool refuse(const QString& table, const QString& event, const QString& message, const QString& condition = {});
    bool allow(const QString& table);

private:
    QString m_name;
};

// Runs work on n threads at once, each with a store of its own at location; gives what went wrong, if anything.
QStringList together(const QString& location, int n, const std::function<QString(Store&, int)>& work);

// Keywords that have broken programs before: quotes, SQL, wildcards, NUL and control characters, emoji and text
// beyond the basic plane, right-to-left and zero-width text, escapes a workbook would read, a lone surrogate
// (last but one) and a keyword of 100,000 characters (last).
QStringList awkwardKeywords();

// Writes bytes to path; gives path, or nothing when it could not be written.
QString writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A program run to its end: its exit status (-1 when it did not end normally) and what it wrote.
struct ProgramRun
{
    int status = -1;
    QString out;
    QString err;
};
ProgramRun runProgram(const QString& program, const QStringList& arguments);

// A fresh store of the engine under test: a file in its own temporary folder, or a schema of its own, made by
// the owner and granted to the operator, whom path names.
struct TempStore
{
    TempStore();
    ~TempStore();
    QTemporaryDir dir;
    QString path;
    // The same store as its owner, who may change what an operator may not (tests plant triggers with it).
    QString ownerPath;
    // On a server, the store's schema.
    QString schema;
    Status created;
};

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
    // The grid's rows from..to, their cells joined by '|'; the ids alone of every row.
    QStringList gridRows(int from, int to) const;
    QStringList gridIds() const;
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
