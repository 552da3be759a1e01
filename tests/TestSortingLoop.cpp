#include "ExportReader.h"
#include "TestSupport.h"

#include <QRandomGenerator>

#include <numeric>
#include <random>

// The filing loop as the operator meets it: quick keys, right-clicks, the grid, take-back and export.
class TestSortingLoop : public WindowTest
{
    Q_OBJECT
private slots:
    void init();
    void orderOfServiceAndTakeBack();
    void quickKeysDescendAndFile();
    void theThreeMessagesAndWhenTheGridReloads();
    void gridGroupsByClassAndRightClicksOnlyRows();
    void rowGoneAndStoreFailure();
    void exportReadsBack();
    // A large subtree, read a page at a time: every row right wherever the view starts reading, and each filing or
    // take-back one row more or less, in its place.
    void aLargeSubtree();

private:
    // The rows the grid must show for class 001, read from the store as the grid orders them.
    QStringList expected();
    QString shown() { return messages().join(u'|'); }
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
    QCOMPARE(sql(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = 3"_s), u"1|002|汽车"_s);

    // Take back id 2: it becomes current, unsorted and gone from the grid; the next filing returns to id 7.
    takeBack(1);
    QCOMPARE(m_window->keyId(), 2);
    QCOMPARE(txtKey()->text(), u"two"_s);
    QCOMPARE(gridIds(), QStringList({u"3"_s}));
    QCOMPARE(sql(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = 2"_s), u"0||"_s);
    rightClickList();
    QCOMPARE(m_window->keyId(), 7);
    QCOMPARE(gridIds(), QStringList({u"3"_s, u"2"_s}));
    QCOMPARE(shown(), QString());
}

void TestSortingLoop::quickKeysDescendAndFile()
{
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"火锅"_s, u"三亚"_s}));
    open();
    type(u"1"_s);
    QCOMPARE(m_window->parentCode(), u"001"_s);
    QCOMPARE(list()->topLevelItem(0)->text(0), u"手机"_s);
    // A key that was used never lands in the box.
    QCOMPARE(txtKey()->text(), u"华为手机"_s);

    type(u"a"_s);
    QCOMPARE(m_window->selCode(), u"001001"_s);
    QCOMPARE(sql(u"SELECT classcode, classname, isSet FROM Korvels WHERE keywords = '华为手机'"_s), u"001001|手机|1"_s);
    QCOMPARE(txtKey()->text(), u"火锅"_s);
    QCOMPARE(m_window->gridModel()->index(0, 2).data().toString(), u"华为手机"_s);

    // Keys are case-sensitive: "A" matches nothing, files nothing, and reaches the box as typed.
    type(u"A"_s);
    QCOMPARE(txtKey()->text(), u"火锅A"_s);
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"1"_s);

    // Two classes share the key 2: the first of them takes the keyword.
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    type(u"2"_s);
    QCOMPARE(sql(u"SELECT classcode FROM Korvels WHERE keywords = '火锅'"_s), u"002"_s);
    // 旅游 once had a child: its key goes down into an empty level and files nothing.
    type(u"5"_s);
    QCOMPARE(m_window->parentCode(), u"005"_s);
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(m_window->selCode(), QString());
    QCOMPARE(sql(u"SELECT isSet FROM Korvels WHERE keywords = '三亚'"_s), u"0"_s);
    // With no class selected a right-click refuses, and nothing is written.
    rightClickList();
    QCOMPARE(shown(), u"请选择关键词分类！"_s);
    QCOMPARE(sql(u"SELECT isSet FROM Korvels WHERE keywords = '三亚'"_s), u"0"_s);
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
    QVERIFY_OK(m_store->importRows({{1, u"k1"_s, u"001001"_s, u"c001001"_s, 1, 0, 0},
                                    {2, u"k2"_s, u"001"_s, u"c001"_s, 1, 0, 0},
                                    {3, u"k3"_s, u"002"_s, u"c002"_s, 1, 0, 0},
                                    {4, u"k4"_s, u"001"_s, u"c001"_s, 1, 0, 0}}));
    open();
    QCOMPARE(shown(), u"所有关键词已设置完毕！"_s);
    QCOMPARE(gridIds(), QStringList({u"4"_s, u"2"_s, u"1"_s}));
    const KeywordGridModel* model = m_window->gridModel();
    for (const auto& [column, header, width] :
         {std::tuple {0, u"ID"_s, 50}, {1, u"分类"_s, 80}, {2, u"关键词"_s, 210}}) {
        QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), header);
        QCOMPARE(grid()->columnWidth(column), width);
    }
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
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"0"_s);
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
    QVERIFY(readFile(dir.filePath(u"out.csv"_s))
                .contains("\r\n2,汽车,\"say \"\"hi\"\"\"\r\n1,汽车,\"McDonald's, 麦当劳\"\r\n"));

    FileDialog::setNextFileName(dir.filePath(u"out"_s));
    click(u"lblExpert"_s);
    QCOMPARE(ExportReader::xlsx(dir.filePath(u"out.xlsx"_s)), expected);

    // The suffix added to a name typed without one may name a file that is there already: asked first.
    const QString xlsx = writeFile(dir.filePath(u"out.xlsx"_s), "keep me");
    for (const MessageBox::Answer answer : {MessageBox::Answer::No, MessageBox::Answer::Yes}) {
        m_messages->answer(answer);
        FileDialog::setNextFileName(dir.filePath(u"out"_s));
        click(u"lblExpert"_s);
        const auto asked = m_messages->take();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.at(0).text.contains(QDir::toNativeSeparators(xlsx)));
        QCOMPARE(asked.at(0).buttons, MessageBox::Buttons::YesNo);
        QCOMPARE(asked.at(0).defaultAnswer, MessageBox::Answer::No);
        QCOMPARE(readFile(xlsx) == "keep me", answer == MessageBox::Answer::No);
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

void TestSortingLoop::aLargeSubtree()
{
    // Class sizes that put group boundaries inside pages, ids shuffled across the classes, and a few keywords
    // left unsorted. A code that is no whole level (0010) still sorts by code among the others.
    const QList<std::pair<QString, int>> sizes = {{u"001"_s, 700},       {u"001001"_s, 301}, {u"0010"_s, 3},
                                                  {u"001001001"_s, 555}, {u"002"_s, 200},    {QString(), 20}};
    QList<KeywordRow> rows;
    for (const auto& [code, n] : sizes) {
        for (int i = 0; i < n; ++i)
            rows.append({0, code + u'-' + QString::number(i), code, u"c"_s + code, code.isEmpty() ? 0 : 1, 0, 0});
    }
    QList<qint64> ids(rows.size());
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), *QRandomGenerator::global());
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].id = ids.at(i);
    QVERIFY_OK(m_store->importRows(rows));
    open(true);
    const QStringList all = expected();
    QCOMPARE(m_window->gridModel()->dataRowCount(), 1559);
    // The view asks for the middle first: the rows there, and then every row from the top.
    grid()->scrollTo(m_window->gridModel()->index(800, 0), QAbstractItemView::PositionAtCenter);
    QVERIFY(grid()->viewport()->grab().width() > 0);
    QCOMPARE(gridRows(760, 840), all.mid(760, 80));
    QCOMPARE(gridRows(0, 1559), all);
    // And backwards from the end, across every page boundary.
    QVERIFY_OK(m_window->gridModel()->load(u"001"_s));
    for (int r = 1558; r >= 0; r -= 7)
        QCOMPARE(gridRows(r, r + 1), all.mid(r, 1));

    KeywordGridModel* model = m_window->gridModel();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    for (const int at : {1000, 3, 1555, 701, 257}) {
        grid()->scrollTo(model->index(at, 0), QAbstractItemView::PositionAtCenter);
        grid()->viewport()->grab();
        // Take back the keyword at that row: it leaves, the rows after it move up.
        const QString taken = gridRows(at, at + 1).first();
        takeBack(at);
        QCOMPARE(txtKey()->text(), taken.section(u'|', 2));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.takeFirst().at(1).toInt(), at);
        QCOMPARE(gridRows(0, model->dataRowCount()), expected());
        // Filed again under 甲: it comes in at the place of its id in that class.
        rightClickList();
        QCOMPARE(inserted.size(), 1);
        inserted.clear();
        QCOMPARE(gridRows(0, model->dataRowCount()), expected());
    }
    QCOMPARE(reset.size(), 0);
    // Several changes before the grid looks again (another writer's, then this window's): all of them shown.
    for (const QString& id : m_raw->rows(u"SELECT id FROM Korvels WHERE isSet = 0 ORDER BY id DESC LIMIT 2"_s))
        QVERIFY_OK(m_store->fileKeyword(id.toLongLong(), u"001001"_s, u"手机"_s));
    rightClickList();
    QCOMPARE(gridRows(0, model->dataRowCount()), expected());
    QCOMPARE(messages(), QStringList());
}

QStringList TestSortingLoop::expected()
{
    return m_raw->rows(u"SELECT id, classname, keywords FROM Korvels WHERE classcode >= '001' AND classcode < '002'"
                       u" ORDER BY classcode, id DESC"_s);
}

QTEST_MAIN(TestSortingLoop)
#include "TestSortingLoop.moc"
