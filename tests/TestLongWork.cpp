#include "TestSupport.h"
#include "store/sql/Connection.h"
#include "ui/FileDialog.h"
#include "ui/Modal.h"
#include "ui/add_words/frmAddWords.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSqlDriver>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

// Work that runs on a thread of its own (a keyword batch, an export): it can be stopped, it never lets the
// operator reach the main window meanwhile, and what it reports is what happened.
class TestLongWork : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void cleanup() override;
    void closingTheDialogStopsABatchAndNothingReachesTheMainWindow();
    void closingTheProgressWindowStopsABatch();
    void anExportThatFailsHalfwayLeavesNoFile();
    void closingTheMainWindowStopsAnExport();

private:
    // Every connection opened from now on does its work slowly, so that it is still running when the test acts.
    static void slowConnections();
    static QProgressDialog* progressWindow();
    // Adds text through the dialog; whileRunning acts on the dialog once the first chunk is stored.
    QString addStopped(const QString& text, const std::function<void(QDialog&)>& whileRunning);
};

void TestLongWork::init()
{
    WindowTest::init();
    addClasses({{{}, u"甲"_s, u"1"_s}});
    QVERIFY_OK(m_store->insertKeywords({u"first"_s}));
}

void TestLongWork::cleanup()
{
    Connection::setOpenHook({});
    WindowTest::cleanup();
}

void TestLongWork::slowConnections()
{
    Connection::setOpenHook([](QSqlDatabase& db) {
        auto* handle = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
        sqlite3_progress_handler(
            handle, 2000,
            [](void*) {
                QThread::usleep(100);
                return 0;
            },
            nullptr);
    });
}

QProgressDialog* TestLongWork::progressWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->isVisible())
            return p;
    }
    return nullptr;
}

QString TestLongWork::addStopped(const QString& text, const std::function<void(QDialog&)>& whileRunning)
{
    QString result;
    Modal::setDriver([&](QDialog& d) {
        d.findChild<QPlainTextEdit*>(u"txtKeys"_s)->setPlainText(text);
        QMetaObject::Connection once;
        once = connect(static_cast<frmAddWords*>(&d), &frmAddWords::chunkStored, this, [&] {
            disconnect(once);
            whileRunning(d);
        });
        QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
        result = messages().join(u'|');
        // The dialog is still open: closing it during the batch did not end it.
        QVERIFY(d.isVisible());
        QTest::mouseClick(d.findChild<QPushButton*>(u"cmdExit"_s), Qt::LeftButton);
    });
    click(u"lblAddWords"_s);
    Modal::setDriver({});
    return result;
}

void TestLongWork::closingTheDialogStopsABatchAndNothingReachesTheMainWindow()
{
    open(true);
    slowConnections();
    QString text;
    for (int i = 0; i < 60000; ++i)
        text += u"关键词 %1\n"_s.arg(i);
    const QString shown = addStopped(text, [this](QDialog& d) {
        // The quick key of 甲, a click on 删除所有关键词 and the dialog's close box, all while chunks are written.
        QTest::keyClick(txtKey(), '1');
        click(u"lblClearWords"_s);
        QCloseEvent close;
        QApplication::sendEvent(&d, &close);
    });
    const qint64 added = m_raw->value(u"SELECT count(*) FROM Korvels"_s).toLongLong() - 1;
    QVERIFY2(added >= 10000 && added < 60000, qPrintable(shown));
    QCOMPARE(shown, u"%1个关键词增加成功！0个关键词因为重复未增加！%2个关键词因为取消未处理！"_s.arg(added).arg(60000 - added));
    // Neither the key nor the click reached the main window.
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"0"_s);
    QCOMPARE(txtKey()->text(), u"first"_s);
}

void TestLongWork::closingTheProgressWindowStopsABatch()
{
    open(true);
    slowConnections();
    QString text;
    for (int i = 0; i < 200000; ++i)
        text += u"关键词 %1\n"_s.arg(i);
    const QString shown = addStopped(text, [](QDialog&) {
        // The progress window shows after half a second; its close box stops the batch.
        auto* poll = new QTimer;
        connect(poll, &QTimer::timeout, poll, [poll] {
            if (QProgressDialog* progress = progressWindow()) {
                QCOMPARE(progress->labelText(), u"正在增加关键词…"_s);
                progress->close();
                poll->deleteLater();
            }
        });
        poll->start(20);
    });
    QVERIFY2(shown.contains(u"个关键词因为取消未处理！"_s), qPrintable(shown));
    QVERIFY(m_raw->value(u"SELECT count(*) FROM Korvels"_s).toLongLong() < 200000);
}

void TestLongWork::anExportThatFailsHalfwayLeavesNoFile()
{
    QList<KeywordRow> rows;
    for (int i = 0; i < 2500; ++i)
        rows.append({0, u"k%1"_s.arg(i), u"001"_s, u"甲"_s, 1, 0, 0});
    QVERIFY_OK(m_store->importRows(rows));
    open(true);
    // The export's own connection reads the first page of rows, and then the store fails.
    Connection::setOpenHook([](QSqlDatabase& db) {
        auto* handle = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
        static int pages;
        pages = 0;
        sqlite3_trace_v2(
            handle, SQLITE_TRACE_STMT,
            [](unsigned, void* context, void*, void* sql) {
                if (QByteArray(static_cast<const char*>(sql)).contains("ORDER BY id DESC LIMIT") && ++pages == 2)
                    sqlite3_interrupt(static_cast<sqlite3*>(context));
                return 0;
            },
            handle);
    });
    QTemporaryDir dir;
    for (const QString& name : {u"out.xlsx"_s, u"out.csv"_s}) {
        FileDialog::setNextFileName(dir.filePath(name));
        click(u"lblExpert"_s);
        const QStringList shown = messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(u"导出失败，文件未写入"_s) && shown.first().contains(u"interrupt"_s),
                 qPrintable(shown.first()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
}

void TestLongWork::closingTheMainWindowStopsAnExport()
{
    QList<KeywordRow> rows;
    for (int i = 0; i < 100000; ++i)
        rows.append({0, u"k%1"_s.arg(i), u"001"_s, u"甲"_s, 1, 0, 0});
    QVERIFY_OK(m_store->importRows(rows));
    open(true);
    slowConnections();
    QTemporaryDir dir;
    FileDialog::setNextFileName(dir.filePath(u"out.xlsx"_s));
    QTimer::singleShot(50, m_window.get(), [this] { m_window->close(); });
    click(u"lblExpert"_s);
    QVERIFY(m_window->isVisible());
    QCOMPARE(messages(), QStringList(u"导出已取消，文件未写入：%1"_s.arg(QDir::toNativeSeparators(dir.filePath(u"out.xlsx"_s)))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

QTEST_MAIN(TestLongWork)
#include "TestLongWork.moc"
