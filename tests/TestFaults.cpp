#include "TestSupport.h"
#include "store/sql/SqlStore.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QSqlQuery>
#include <QTreeWidget>

#include <QElapsedTimer>
#include <QFile>

// The store failing while the window works: each fault gives a clear message, the window stays usable,
// and nothing already stored is lost.
class TestFaults : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void cleanup() override;
    void diskFull();
    void readOnly();
    void lockedByAnotherProcess();
    void fileReplaced();
    void fileDeletedOrMovedAway();
    void foreignStores();

private:
    // Runs sql on the window's connection and on every connection opened from now on, such as a batch's.
    bool pragma(const QString& sql);
    qint64 count(const QString& where = u"1"_s)
    {
        RawDb raw(m_temp->path);
        return raw.value(u"SELECT count(*) FROM Korvels WHERE "_s + where).toLongLong();
    }
};

void TestFaults::init()
{
    WindowTest::init();
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
    QVERIFY2(shown.first().contains(QString::number(30000 - stored) + u"个关键词因为出错未处理"_s), qPrintable(shown.first()));

    // Room again: the same window goes on.
    QVERIFY(pragma(u"PRAGMA max_page_count = 1073741823"_s));
    rightClickList();
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(count(u"keywords = 'one' AND isSet = 1"_s), 1);
}

void TestFaults::readOnly()
{
    open();
    QVERIFY(pragma(u"PRAGMA query_only = 1"_s));
    const qint64 keyId = m_window->keyId();
    rightClickList();
    QVERIFY(messages().value(0).contains(u"readonly"_s));
    QCOMPARE(m_window->keyId(), keyId);
    QCOMPARE(txtKey()->text(), u"one"_s);
    addBatches({u"four"_s});
    QVERIFY(messages().value(0).contains(u"readonly"_s));
    QVERIFY(pragma(u"PRAGMA query_only = 0"_s));
    rightClickList();
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(count(), 3);
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

void TestFaults::fileReplaced()
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
    QCOMPARE(count(), 3);
    QCOMPARE(count(u"isSet = 1"_s), 1);
}

void TestFaults::fileDeletedOrMovedAway()
{
    open();
    rightClickList();
    QVERIFY(QFile::remove(m_temp->path));
    // The next write notices, puts every row back where the file was, and asks to be done again.
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
    QCOMPARE(raw.value(u"PRAGMA integrity_check"_s), u"ok"_s);
    QCOMPARE(raw.value(u"SELECT count(*) FROM KeyClass"_s), u"2"_s);
    QVERIFY(QFile::exists(moved));
}

void TestFaults::foreignStores()
{
    // A store made by other means: no constraints, Nulls wherever they fit, extra columns, an old version,
    // ids past 2^31. It opens, and every path through the window copes.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"foreign.db"_s);
    {
        RawDb raw(path);
        QVERIFY(raw.exec(u"CREATE TABLE KeyClass (id INTEGER PRIMARY KEY, code TEXT, title TEXT, qKey TEXT, "
                         u"maxnext INTEGER, path TEXT, colour TEXT)"_s));
        QVERIFY(raw.exec(u"CREATE TABLE Korvels (id INTEGER PRIMARY KEY, keywords TEXT, isSet INTEGER, statue "
                         u"INTEGER, statue1 INTEGER, classcode TEXT, classname TEXT, note TEXT)"_s));
        QVERIFY(
            raw.exec(u"INSERT INTO KeyClass(code, title, qKey, maxnext, path) VALUES ('', NULL, NULL, NULL, NULL)"_s));
        QVERIFY(raw.exec(
            u"INSERT INTO KeyClass(code, title, qKey, maxnext, path) VALUES ('001', NULL, NULL, NULL, NULL)"_s));
        QVERIFY(raw.exec(u"INSERT INTO KeyClass(code) VALUES (NULL)"_s));
        QVERIFY(raw.exec(u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES "
                         u"(2147483648, NULL, 1, '001', NULL), (2147483650, NULL, 0, NULL, NULL), "
                         u"(2147483651, 'x', NULL, NULL, NULL)"_s));
    }
    auto opened = openStore(path);
    QVERIFY_OK(opened);
    Store& store = **opened;
    frmKorvel window(store);
    window.Form_Load();
    QCOMPARE(window.keyId(), 2147483650);
    QCOMPARE(window.findChild<QTreeWidget*>(u"ListView2"_s)->topLevelItem(0)->text(2), u"0"_s);
    QCOMPARE(window.gridModel()->dataRowCount(), 1);
    QCOMPARE(window.gridModel()->index(0, 0).data().toString(), u"2147483648"_s);
    QCOMPARE(window.gridModel()->index(0, 2).data().toString(), QString());
    QTest::keyClick(window.findChild<QWidget*>(u"txtKey"_s), Qt::Key_Escape);
    QTest::mouseRelease(window.findChild<QTreeWidget*>(u"ListView2"_s)->viewport(), Qt::RightButton, {}, {5, 5});
    QCOMPARE(window.gridModel()->dataRowCount(), 2);
    // A class with a Null title can be added under and renamed.
    QVERIFY_OK(store.addClass(u"001"_s, u"子"_s, u"z"_s));
    QCOMPARE(store.classByCode(u"001001"_s)->value().path, u" > 子"_s);
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));
}

QTEST_MAIN(TestFaults)
#include "TestFaults.moc"
