#include "ExportReader.h"
#include "TestSupport.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QLineEdit>
#include <QTreeWidget>
#include "ui/FileDialog.h"

#include <QFile>
#include <QTableView>

// The filing loop as the operator meets it: quick keys, right-clicks, the grid, take-back and export.
class TestSortingLoop : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void orderOfServiceAndTakeBack();
    void quickKeysDescendAndFileDeep();
    void firstOfTwoKeysAndAnEmptiedClass();
    void theThreeMessagesAndWhenTheGridReloads();
    void gridGroupsByClassAndRightClicksOnlyRows();
    void rowGoneAndStoreFailure();
    void exportReadsBack();

private:
    QStringList gridIds() const;
    QString shown() { return messages().join(u'|'); }
    QTableView* grid() const { return child<QTableView>(u"Grid1"_s); }
    void selectClass(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
};

void TestSortingLoop::init()
{
    WindowTest::init();
    // 001 数码 (1) with child 001001 手机 (a); 002 汽车 (2); 003 美食 (a); 004 健康 (2, the same key as 002);
    // 005 旅游 (5), whose only child has been deleted.
    for (const auto& [parent, title, key] : {std::tuple {u""_s, u"数码"_s, u"1"_s},
                                             {u"001"_s, u"手机"_s, u"a"_s},
                                             {u""_s, u"汽车"_s, u"2"_s},
                                             {u""_s, u"美食"_s, u"a"_s},
                                             {u""_s, u"健康"_s, u"2"_s},
                                             {u""_s, u"旅游"_s, u"5"_s},
                                             {u"005"_s, u"已删除"_s, u"x"_s}})
        QVERIFY_OK(m_store->addClass(parent, title, key));
    QVERIFY(m_raw->exec(u"DELETE FROM KeyClass WHERE code = '005001'"_s));
}

QStringList TestSortingLoop::gridIds() const
{
    QStringList ids;
    const KeywordGridModel* model = m_window->gridModel();
    for (int row = 0; row < model->dataRowCount(); ++row)
        ids << model->index(row, 0).data().toString();
    return ids;
}

void TestSortingLoop::orderOfServiceAndTakeBack()
{
    QVERIFY(m_raw->exec(
        u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES (2, 'two', 1, '002', '汽车')"_s));
    for (int id : {9, 3, 7})
        QVERIFY(m_raw->exec(u"INSERT INTO Korvels(id, keywords) VALUES (?, ?)"_s, {id, u"kw%1"_s.arg(id)}));
    open();
    QCOMPARE(m_window->keyId(), 3);
    QCOMPARE(txtKey()->text(), u"kw3"_s);

    selectClass(1);
    QCOMPARE(m_window->selCode(), u"002"_s);
    QCOMPARE(gridIds(), QStringList({u"2"_s}));
    rightClickList();
    QCOMPARE(m_window->keyId(), 7);
    QCOMPARE(gridIds(), QStringList({u"3"_s, u"2"_s}));
    QCOMPARE(m_raw->value(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = 3"_s), u"1|002|汽车"_s);

    // Take back id 2: it becomes current, unsorted and gone from the grid; the next filing returns to id 7.
    QTest::mousePress(grid()->viewport(), Qt::RightButton, {},
                      grid()->visualRect(m_window->gridModel()->index(1, 2)).center());
    QCOMPARE(m_window->keyId(), 2);
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(gridIds(), QStringList({u"3"_s}));
    QCOMPARE(m_raw->value(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = 2"_s), u"0||"_s);
    rightClickList();
    QCOMPARE(m_window->keyId(), 7);
    QCOMPARE(gridIds(), QStringList({u"3"_s, u"2"_s}));
    QCOMPARE(shown(), QString());
}

void TestSortingLoop::quickKeysDescendAndFileDeep()
{
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"火锅"_s}));
    open();
    type(u"1"_s);
    QCOMPARE(m_window->parentCode(), u"001"_s);
    QCOMPARE(list()->topLevelItem(0)->text(0), u"手机"_s);
    // A key that was used never lands in the box.
    QCOMPARE(txtKey()->text(), u"华为手机"_s);

    type(u"a"_s);
    QCOMPARE(m_window->selCode(), u"001001"_s);
    QCOMPARE(m_raw->value(u"SELECT classcode, classname, isSet FROM Korvels WHERE keywords = '华为手机'"_s),
             u"001001|手机|1"_s);
    QCOMPARE(txtKey()->text(), u"火锅"_s);
    QCOMPARE(m_window->gridModel()->index(0, 2).data().toString(), u"华为手机"_s);

    // Keys are case-sensitive: "A" matches nothing, files nothing, and reaches the box as typed.
    type(u"A"_s);
    QCOMPARE(txtKey()->text(), u"火锅A"_s);
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"1"_s);
    QCOMPARE(shown(), QString());
}

void TestSortingLoop::firstOfTwoKeysAndAnEmptiedClass()
{
    QVERIFY_OK(m_store->insertKeywords({u"二手车"_s}));
    open();
    type(u"2"_s);
    QCOMPARE(m_raw->value(u"SELECT classcode FROM Korvels"_s), u"002"_s);
    QCOMPARE(shown(), u"所有关键词已设置完毕！"_s);

    // 旅游 once had a child: its key goes down into an empty level and files nothing.
    QVERIFY_OK(m_store->insertKeywords({u"三亚"_s}));
    m_window->close();
    open();
    type(u"5"_s);
    QCOMPARE(m_window->parentCode(), u"005"_s);
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(m_window->selCode(), QString());
    QCOMPARE(m_raw->value(u"SELECT isSet FROM Korvels WHERE keywords = '三亚'"_s), u"0"_s);
    // With no class selected a right-click refuses, and nothing is written.
    rightClickList();
    QCOMPARE(shown(), u"请选择关键词分类！"_s);
    QCOMPARE(m_raw->value(u"SELECT isSet FROM Korvels WHERE keywords = '三亚'"_s), u"0"_s);
}

void TestSortingLoop::theThreeMessagesAndWhenTheGridReloads()
{
    QVERIFY_OK(m_store->insertKeywords({u"last"_s}));
    open();
    selectClass(2);
    // The last keyword filed: the message, and only after it the grid lists the keyword, and the box is empty.
    int rowsWhileShown = -1;
    m_messages->whileShown = [&](const MessageBox::Shown&) { rowsWhileShown = m_window->gridModel()->dataRowCount(); };
    rightClickList();
    m_messages->whileShown = nullptr;
    QCOMPARE(rowsWhileShown, 0);
    QCOMPARE(shown(), u"所有关键词已设置完毕！"_s);
    QCOMPARE(txtKey()->text(), QString());
    QCOMPARE(m_window->keyId(), 0);
    QCOMPARE(gridIds().size(), 1);

    // No keyword current: the first message wins over everything else, and the grid still follows the class.
    rightClickList();
    QCOMPARE(shown(), u"没有需要设定的关键词！"_s);
    QVERIFY(
        m_raw->exec(u"INSERT INTO Korvels(keywords, isSet, classcode, classname) VALUES ('kept', 1, '002', '汽车')"_s));
    type(u"2"_s);
    QCOMPARE(m_window->selCode(), u"002"_s);
    QCOMPARE(shown(), u"没有需要设定的关键词！"_s);
    QCOMPARE(m_window->gridModel()->index(0, 2).data().toString(), u"kept"_s);
}

void TestSortingLoop::gridGroupsByClassAndRightClicksOnlyRows()
{
    const QList<std::tuple<int, QString>> rows = {{1, u"001001"_s}, {2, u"001"_s}, {3, u"002"_s}, {4, u"001"_s}};
    for (const auto& [id, code] : rows) {
        QVERIFY(m_raw->exec(u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES (?, ?, 1, ?, ?)"_s,
                            {id, u"k%1"_s.arg(id), code, QString(u"c"_s + code)}));
    }
    open();
    QCOMPARE(shown(), u"所有关键词已设置完毕！"_s);
    QCOMPARE(gridIds(), QStringList({u"4"_s, u"2"_s, u"1"_s}));
    const KeywordGridModel* model = m_window->gridModel();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), u"ID"_s);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), u"分类"_s);
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), u"关键词"_s);
    QCOMPARE(grid()->columnWidth(0), 50);
    QCOMPARE(grid()->columnWidth(1), 80);
    QCOMPARE(grid()->columnWidth(2), 210);
    QCOMPARE(model->index(2, 1).data().toString(), u"c001001"_s);
    QVERIFY(!(model->flags(model->index(0, 2)) & Qt::ItemIsEditable));

    // Below the last row, or with the left button: nothing.
    QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, QPoint(100, grid()->viewport()->height() - 5));
    QTest::mousePress(grid()->viewport(), Qt::LeftButton, {}, grid()->visualRect(model->index(0, 2)).center());
    QCOMPARE(gridIds().size(), 3);
    QCOMPARE(m_window->keyId(), 0);

    // A class with nothing filed: only the header row, which keeps its texts.
    selectClass(2);
    QCOMPARE(model->dataRowCount(), 0);
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), u"关键词"_s);
    QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, QPoint(20, 5));
    QCOMPARE(m_window->keyId(), 0);
    QCOMPARE(shown(), QString());
}

void TestSortingLoop::rowGoneAndStoreFailure()
{
    QVERIFY_OK(m_store->insertKeywords({u"gone"_s, u"next"_s, u"after"_s}));
    open();
    selectClass(1);
    // Another program deleted the current keyword: nothing is filed, the operator is told, the loop moves on.
    QVERIFY(m_raw->exec(u"DELETE FROM Korvels WHERE keywords = 'gone'"_s));
    rightClickList();
    QCOMPARE(shown(), u"当前关键词已不在数据库中，没有设置。"_s);
    QCOMPARE(txtKey()->text(), u"next"_s);
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"0"_s);
    QCOMPARE(gridIds(), QStringList());

    // The store refuses: its message is shown, and the window keeps its keyword and its class.
    const qint64 keyId = m_window->keyId();
    QVERIFY(m_raw->refuse(u"Korvels"_s, u"UPDATE"_s, u"disk says no"_s));
    rightClickList();
    QVERIFY(shown().contains(u"disk says no"_s));
    QCOMPARE(m_window->keyId(), keyId);
    QCOMPARE(txtKey()->text(), u"next"_s);
    QCOMPARE(m_window->selCode(), u"002"_s);

    QVERIFY(m_raw->allow(u"Korvels"_s));
    rightClickList();
    QCOMPARE(txtKey()->text(), u"after"_s);
    QCOMPARE(gridIds().size(), 1);
}

void TestSortingLoop::exportReadsBack()
{
    QVERIFY_OK(m_store->insertKeywords({u"McDonald's, 麦当劳"_s, u"say \"hi\""_s, u"火锅"_s}));
    open();
    selectClass(1);
    for (int i = 0; i < 3; ++i)
        rightClickList();
    QCOMPARE(shown(), u"所有关键词已设置完毕！"_s);
    QTemporaryDir dir;

    FileDialog::setNextFileName(dir.filePath(u"out.csv"_s));
    click(u"lblExpert"_s);
    const ExportReader::Rows expected = {{u"ID"_s, u"分类"_s, u"关键词"_s},
                                         {u"3"_s, u"汽车"_s, u"火锅"_s},
                                         {u"2"_s, u"汽车"_s, u"say \"hi\""_s},
                                         {u"1"_s, u"汽车"_s, u"McDonald's, 麦当劳"_s}};
    QCOMPARE(ExportReader::csv(dir.filePath(u"out.csv"_s)), expected);
    QFile raw(dir.filePath(u"out.csv"_s));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(raw.readAll().contains("\r\n2,汽车,\"say \"\"hi\"\"\"\r\n1,汽车,\"McDonald's, 麦当劳\"\r\n"));

    FileDialog::setNextFileName(dir.filePath(u"out"_s));
    click(u"lblExpert"_s);
    QCOMPARE(ExportReader::xlsx(dir.filePath(u"out.xlsx"_s)), expected);

    // The suffix added to a name typed without one may name a file that is there already: asked first.
    const QString xlsx = dir.filePath(u"out.xlsx"_s);
    {
        QFile f(xlsx);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("keep me");
    }
    for (const MessageBox::Answer answer : {MessageBox::Answer::No, MessageBox::Answer::Yes}) {
        m_messages->answer(answer);
        FileDialog::setNextFileName(dir.filePath(u"out"_s));
        click(u"lblExpert"_s);
        const auto asked = m_messages->take();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.at(0).text.contains(QDir::toNativeSeparators(xlsx)));
        QCOMPARE(asked.at(0).buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(asked.at(0).defaultAnswer, MessageBox::Answer::No);
        QFile f(xlsx);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll() == "keep me", answer == MessageBox::Answer::No);
    }

    // Cancelled: nothing written. Unwritable: a clear message, nothing left behind.
    FileDialog::setNextFileName(QString());
    click(u"lblExpert"_s);
    const QString blocked = dir.filePath(u"no-such-folder/out.csv"_s);
    FileDialog::setNextFileName(blocked);
    click(u"lblExpert"_s);
    const QString refusal = shown();
    QVERIFY2(refusal.startsWith(u"导出失败"_s) && refusal.contains(blocked), qPrintable(refusal));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({u"out.csv"_s, u"out.xlsx"_s}));
}

QTEST_MAIN(TestSortingLoop)
#include "TestSortingLoop.moc"
