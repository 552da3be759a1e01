#include "TestSupport.h"
#include "store/intake/Batch.h"
#include "store/sql/SqlStore.h"
#include "ui/add_words/frmAddWords.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>

// The store failing while the window works, and long work stopped: each fault gives a clear message, the
// window stays usable, and nothing already stored is lost.
class TestFaults : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void cleanup() override;
    void diskFull();
    void lockedByAnotherProcess();
    void fileReplacedDeletedOrMovedAway();
    void foreignStores();
    // Work on a thread of its own (a keyword batch, an export) can be stopped, never lets the operator reach the
    // main window meanwhile, and reports what happened.
    void closingTheDialogStopsABatchAndNothingReachesTheMainWindow();
    void closingTheProgressWindowStopsABatch();
    void anExportFailedOrStoppedLeavesNoFile();

private:
    // Every connection opened from now on does its work slowly, so that it is still running when the test acts.
    static void slowConnections();
    static QProgressDialog* progressWindow();
    // Adds that many lines through the dialog, slowly; whileRunning acts on the dialog once the first chunk is stored.
    QString addStopped(int lines, const std::function<void(QDialog&)>& whileRunning);
    // Runs sql on the window's connection and on every connection opened from now on, such as a batch's.
    bool pragma(const QString& sql);
    // Read afresh from whatever file is at the store's path now.
    qint64 count(const QString& where = u"1"_s)
    {
        return RawDb(m_temp->path).value(u"SELECT count(*) FROM Korvels WHERE "_s + where).toLongLong();
    }
};

void TestFaults::init()
{
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    QVERIFY_OK(m_store->insertKeywords({u"one"_s, u"two"_s, u"three"_s}));
}

void TestFaults::cleanup()
{
    Connection::setOpenHook({});
    WindowTest::cleanup();
}

bool TestFaults::pragma(const QString& sql)
{
    Connection::setOpenHook([sql](QSqlDatabase& db) { QSqlQuery(db).exec(sql); });
    QSqlQuery q(static_cast<SqlStore&>(*m_store).database());
    return q.exec(sql);
}

void TestFaults::diskFull()
{
    open();
    {
        QSqlQuery q(static_cast<SqlStore&>(*m_store).database());
        QVERIFY(q.exec(u"PRAGMA page_count"_s) && q.next());
        QVERIFY(pragma(u"PRAGMA max_page_count = %1"_s.arg(q.value(0).toLongLong() + 4)));
    }
    QString big;
    for (int i = 0; i < 30000; ++i)
        big += u"a keyword long enough to fill a page quickly %1\n"_s.arg(i);
    addBatches({big});
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(u"full"_s), qPrintable(shown.first()));
    // The report says how many made it, and how many were never tried.
    const qint64 stored = count() - 3;
    QVERIFY(stored < 30000);
    QVERIFY(shown.first().contains(QString::number(stored) + u"个关键词增加成功"_s));
    QVERIFY2(shown.first().contains(QString::number(30000 - stored) + u"个关键词因为出错未处理"_s),
             qPrintable(shown.first()));

    // Room again: the same window goes on.
    QVERIFY(pragma(u"PRAGMA max_page_count = 1073741823"_s));
    rightClickList();
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(count(u"keywords = 'one' AND isSet = 1"_s), 1);
}

void TestFaults::lockedByAnotherProcess()
{
    open();
    RawDb other(m_temp->path);
    QVERIFY(other.exec(u"BEGIN IMMEDIATE"_s));
    QVERIFY(other.exec(u"INSERT INTO Korvels(keywords) VALUES ('theirs')"_s));
    QElapsedTimer waited;
    waited.start();
    rightClickList();
    // A bounded wait, then the store's own word for it; never a window frozen for good.
    QVERIFY(waited.elapsed() < 15000);
    QVERIFY(messages().value(0).contains(u"locked"_s));
    QCOMPARE(txtKey()->text(), u"one"_s);
    QVERIFY(other.exec(u"COMMIT"_s));
    rightClickList();
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(count(), 4);
}

void TestFaults::fileReplacedDeletedOrMovedAway()
{
    open();
    const QString aside = m_temp->dir.filePath(u"aside.db"_s);
    const QString other = m_temp->dir.filePath(u"other.db"_s);
    QVERIFY_OK(createStore(other));
    QVERIFY(QFile::rename(m_temp->path, aside));
    QVERIFY(QFile::rename(other, m_temp->path));
    // Another store in its place is not ours to write.
    rightClickList();
    QVERIFY(messages().value(0).contains(u"已被替换"_s));
    QCOMPARE(txtKey()->text(), u"one"_s);

    // Put back, all is well again.
    QVERIFY(QFile::remove(m_temp->path));
    QVERIFY(QFile::rename(aside, m_temp->path));
    rightClickList();
    QCOMPARE(messages(), QStringList());
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(count(u"isSet = 1"_s), 1);

    // Deleted: the next write notices, puts every row back where the file was, and asks to be done again.
    QVERIFY(QFile::remove(m_temp->path));
    rightClickList();
    QVERIFY(messages().value(0).contains(u"已把打开的数据恢复到原位置"_s));
    QCOMPARE(txtKey()->text(), u"two"_s);
    rightClickList();
    QCOMPARE(txtKey()->text(), u"three"_s);

    // Moved away: the same, and the moved file is left alone.
    const QString moved = m_temp->dir.filePath(u"moved.db"_s);
    QVERIFY(QFile::rename(m_temp->path, moved));
    rightClickList();
    QVERIFY(messages().value(0).contains(u"已把打开的数据恢复到原位置"_s));
    rightClickList();
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));

    m_window.reset();
    m_store.reset();
    QVERIFY_OK(openStore(m_temp->path));
    QCOMPARE(count(u"isSet = 1"_s), 3);
    RawDb raw(m_temp->path);
    QCOMPARE(raw.rows(u"PRAGMA integrity_check"_s) + raw.rows(u"SELECT count(*) FROM KeyClass"_s),
             QStringList({u"ok"_s, u"2"_s}));
    QVERIFY(QFile::exists(moved));
}

void TestFaults::foreignStores()
{
    // A store made by other means: no constraints, Nulls wherever they fit, extra columns, an old version,
    // ids past 2^31. It opens, and every path through the window copes.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"foreign.db"_s);
    RawDb raw(path);
    for (
        const QString& statement :
        {u"CREATE TABLE KeyClass (id INTEGER PRIMARY KEY, code TEXT, title TEXT, qKey TEXT, maxnext INTEGER, path TEXT,"
         u" colour TEXT)"_s,
         u"CREATE TABLE Korvels (id INTEGER PRIMARY KEY, keywords TEXT, isSet INTEGER, statue INTEGER, statue1 INTEGER,"
         u" classcode TEXT, classname TEXT, note TEXT)"_s,
         u"INSERT INTO KeyClass(code) VALUES (''), ('001'), (NULL)"_s,
         u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES (2147483648, NULL, 1, '001', NULL),"
         u" (2147483650, NULL, 0, NULL, NULL), (2147483651, 'x', NULL, NULL, NULL)"_s})
        QVERIFY(raw.exec(statement));
    auto opened = openStore(path);
    QVERIFY_OK(opened);
    Store& store = **opened;
    frmKorvel window(store);
    window.Form_Load();
    QCOMPARE(window.session().keyId(), 2147483650);
    QCOMPARE(in<QTreeWidget>(window, u"ListView2"_s)->topLevelItem(0)->text(2), u"0"_s);
    QCOMPARE(window.session().gridModel()->dataRowCount(), 1);
    QCOMPARE(window.session().gridModel()->index(0, 0).data().toString(), u"2147483648"_s);
    QCOMPARE(window.session().gridModel()->index(0, 2).data().toString(), QString());
    QTest::keyClick(in(window, u"txtKey"_s), Qt::Key_Escape);
    QTest::mouseRelease(in<QTreeWidget>(window, u"ListView2"_s)->viewport(), Qt::RightButton, {}, {5, 5});
    QCOMPARE(window.session().gridModel()->dataRowCount(), 2);
    // A class with a Null title can be added under and renamed.
    QVERIFY_OK(store.addClass(u"001"_s, u"子"_s, u"z"_s));
    QCOMPARE(store.classByCode(u"001001"_s)->value().path, u" > 子"_s);
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));
}

void TestFaults::slowConnections()
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

QProgressDialog* TestFaults::progressWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->isVisible())
            return p;
    }
    return nullptr;
}

QString TestFaults::addStopped(int lines, const std::function<void(QDialog&)>& whileRunning)
{
    open(true);
    slowConnections();
    QString text;
    for (int i = 0; i < lines; ++i)
        text += u"关键词 %1\n"_s.arg(i);
    QString result;
    Modal::setDriver([&](QDialog& d) {
        in<QPlainTextEdit>(d, u"txtKeys"_s)->setPlainText(text);
        QMetaObject::Connection once;
        once = connect(static_cast<frmAddWords*>(&d), &frmAddWords::chunkStored, this, [&] {
            disconnect(once);
            whileRunning(d);
        });
        clickIn(d, u"cmdAdd"_s);
        result = messages().join(u'|');
        // The dialog is still open: closing it during the batch did not end it.
        QVERIFY(d.isVisible());
        clickIn(d, u"cmdExit"_s);
    });
    click(u"lblAddWords"_s);
    Modal::setDriver({});
    return result;
}

void TestFaults::closingTheDialogStopsABatchAndNothingReachesTheMainWindow()
{
    const int lines = 6 * Batch::ChunkSize;
    const QString shown = addStopped(lines, [this](QDialog& d) {
        // The quick key of 甲, a click on 删除所有关键词 and the dialog's close box, all while chunks are written.
        QTest::keyClick(txtKey(), '1');
        click(u"lblClearWords"_s);
        QCloseEvent close;
        QApplication::sendEvent(&d, &close);
    });
    const qint64 added = count() - 3;
    QVERIFY2(added >= Batch::ChunkSize && added < lines, qPrintable(shown));
    QCOMPARE(
        shown,
        u"%1个关键词增加成功！0个关键词因为重复未增加！%2个关键词因为取消未处理！"_s.arg(added).arg(lines - added));
    // Neither the key nor the click reached the main window.
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"0"_s);
    QCOMPARE(txtKey()->text(), u"one"_s);
}

void TestFaults::closingTheProgressWindowStopsABatch()
{
    const QString shown = addStopped(200000, [](QDialog&) {
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
    QVERIFY(sql(u"SELECT count(*) FROM Korvels"_s).toLongLong() < 200000);
}

void TestFaults::anExportFailedOrStoppedLeavesNoFile()
{
    QList<KeywordRow> rows;
    for (int i = 0; i < 100000; ++i)
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
    // A file of the name chosen stays as it was.
    const QString earlier = writeFile(dir.filePath(u"earlier.csv"_s), "earlier\n");
    const auto files = [&] {
        QFile f(earlier);
        return QDir(dir.path()).entryList(QDir::Files)
            << QString::fromUtf8(f.open(QIODevice::ReadOnly) ? f.readAll() : "");
    };
    const QStringList untouched {u"earlier.csv"_s, u"earlier\n"_s};
    for (const QString& name : {u"out.xlsx"_s, u"earlier.csv"_s}) {
        FileDialog::setNextFileName(dir.filePath(name));
        click(u"lblExpert"_s);
        const QStringList shown = messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(u"导出失败，文件未写入"_s) && shown.first().contains(u"interrupt"_s),
                 qPrintable(shown.first()));
        QCOMPARE(files(), untouched);
    }
    // Closing the main window while an export runs stops it; the window stays until it has.
    slowConnections();
    FileDialog::setNextFileName(dir.filePath(u"out.xlsx"_s));
    QTimer::singleShot(50, m_window.get(), [this] { m_window->close(); });
    click(u"lblExpert"_s);
    QVERIFY(m_window->isVisible());
    QCOMPARE(messages(),
             QStringList(u"导出已取消，文件未写入：%1"_s.arg(QDir::toNativeSeparators(dir.filePath(u"out.xlsx"_s)))));
    QCOMPARE(files(), untouched);
}

QTEST_MAIN(TestFaults)
#include "TestFaults.moc"
