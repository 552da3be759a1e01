#include "TestSupport.h"
#include "ui/Modal.h"
#include "ui/progress/BarChart.h"

#include <QDialog>
#include <QLabel>
#include <QTableView>

// The commands beyond the classic window, driven from the keyboard as an operator would: Ctrl+Z and Ctrl+Y,
// Ctrl+F, F5, F1 and F2.
class TestCommands : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void undoAndRedoFilings();
    void noCommandKeyReachesTheQuickKeys();
    void findFiledAndUnsortedKeywords();
    void progressCountsAndBars();
    void suggestionsLearnAndFile();

private:
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(txtKey(), key, modifiers);
    }
    QString filedAs(const QString& keyword)
    {
        return m_raw->value(u"SELECT isSet || '|' || classcode FROM Korvels WHERE keywords = ?"_s, {keyword});
    }
    bool marked(int row) const { return list()->topLevelItem(row)->font(0).bold(); }
};

void TestCommands::init()
{
    WindowTest::init();
    // 001 数码 (1) with 001001 手机 (a) and 001002 电脑 (b); 002 美食 (2); 003 控制 (the character Ctrl+Z types).
    addClasses({{{}, u"数码"_s, u"1"_s},
                {u"001"_s, u"手机"_s, u"a"_s},
                {u"001"_s, u"电脑"_s, u"b"_s},
                {{}, u"美食"_s, u"2"_s},
                {{}, u"控制"_s, QString(QChar(0x1a))}});
}

void TestCommands::undoAndRedoFilings()
{
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"火锅"_s, u"蛋糕"_s, u"奶茶"_s}));
    open(true);
    type(u"1a"_s);
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    type(u"2"_s);
    rightClickList();
    QCOMPARE(txtKey()->text(), u"奶茶"_s);
    // Back through the filings, newest first: each keyword is unsorted again and current.
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(txtKey()->text(), u"蛋糕"_s);
    QCOMPARE(filedAs(u"蛋糕"_s), u"0|"_s);
    key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(txtKey()->text(), u"火锅"_s);
    QCOMPARE(m_window->gridModel()->dataRowCount(), 0);
    // And forward again, into the same classes.
    key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(filedAs(u"火锅"_s), u"1|002"_s);
    QCOMPARE(m_window->gridModel()->dataRowCount(), 1);
    QCOMPARE(txtKey()->text(), u"蛋糕"_s);
    // A row changed since is not taken back: 华为手机 was taken back in the grid meanwhile.
    key(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 0, classcode = '', classname = '' WHERE keywords = '华为手机'"_s));
    key(Qt::Key_Z, Qt::ControlModifier);
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(u"华为手机"_s), qPrintable(shown.first()));
    QCOMPARE(txtKey()->text(), u"火锅"_s);
    // A new filing ends what Ctrl+Y can bring back.
    rightClickList();
    key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(filedAs(u"火锅"_s), u"1|002"_s);
    QCOMPARE(messages(), QStringList());
}

void TestCommands::noCommandKeyReachesTheQuickKeys()
{
    QVERIFY_OK(m_store->insertKeywords({u"一"_s}));
    // Classes whose quick keys are what the command keys type, with and without Ctrl.
    for (const QString& k : {u"z"_s, u"f"_s, u"y"_s, QString(QChar(0x06)), QString(QChar(0x19))})
        QVERIFY_OK(m_store->addClass({}, u"键"_s + k, k));
    open(true);
    Modal::setDriver([](QDialog& d) { d.reject(); });
    for (const auto& [k, modifiers] : {std::pair {Qt::Key_Z, Qt::ControlModifier},
                                       {Qt::Key_F, Qt::ControlModifier},
                                       {Qt::Key_Y, Qt::ControlModifier},
                                       {Qt::Key_F1, Qt::NoModifier},
                                       {Qt::Key_F5, Qt::NoModifier}})
        key(k, modifiers);
    QCOMPARE(txtKey()->text(), u"一"_s);
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), u"0"_s);
    QCOMPARE(messages(), QStringList());
}

void TestCommands::findFiledAndUnsortedKeywords()
{
    QVERIFY_OK(m_store->insertKeywords({u"iPhone 价格"_s, u"华为手机"_s, u"IPHONE壳"_s, u"50%_off"_s}));
    for (int i = 0; i < 300; ++i)
        QVERIFY_OK(m_store->insertKeywords({u"iphone 配件 %1"_s.arg(i)}));
    open(true);
    type(u"1b"_s);
    type(u"a"_s);
    QStringList listed;
    QString count;
    const auto find = [&](const QString& text, bool choose) {
        Modal::setDriver([&, text, choose](QDialog& d) {
            auto* box = d.findChild<QLineEdit*>(u"txtFind"_s);
            box->setText(text);
            auto* found = d.findChild<QTreeWidget*>(u"lstFound"_s);
            listed.clear();
            for (int i = 0; i < std::min(found->topLevelItemCount(), 3); ++i)
                listed << found->topLevelItem(i)->text(0) + u'|' + found->topLevelItem(i)->text(1);
            count = d.findChild<QLabel*>(u"lblCount"_s)->text();
            if (choose)
                QTest::keyClick(box, Qt::Key_Return);
        });
        key(Qt::Key_F, Qt::ControlModifier);
    };
    // ASCII letters without case; the filed ones with their class path.
    find(u"IPHONE"_s, false);
    QCOMPARE(listed,
             QStringList({u"iPhone 价格|数码 > 电脑"_s, u"IPHONE壳|（未分类）"_s, u"iphone 配件 0|（未分类）"_s}));
    QCOMPARE(count, u"只列出前 200 个。"_s);
    // Wildcards are plain characters.
    find(u"%_"_s, false);
    QCOMPARE(listed, QStringList(u"50%_off|（未分类）"_s));
    QCOMPARE(count, u"找到 1 个。"_s);
    // Enter on a filed one: its class is selected at its own level, and its row in the grid.
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    find(u"手机"_s, true);
    QCOMPARE(m_window->parentCode(), u"001"_s);
    QCOMPARE(m_window->selCode(), u"001001"_s);
    auto* grid = child<QTableView>(u"Grid1"_s);
    QCOMPARE(grid->currentIndex().data().toString(), u"华为手机"_s);
    // Enter on an unsorted one: it becomes the current keyword.
    find(u"配件 5"_s, true);
    QCOMPARE(txtKey()->text(), u"iphone 配件 5"_s);
    type(u"b"_s);
    QCOMPARE(filedAs(u"iphone 配件 5"_s), u"1|001002"_s);
    QCOMPARE(messages(), QStringList());
    // Filed under a class deleted since: said so.
    QVERIFY(
        m_raw->exec(u"INSERT INTO Korvels(keywords, isSet, classcode, classname) VALUES ('孤儿', 1, '009', '无')"_s));
    find(u"孤儿"_s, true);
    QVERIFY(messages().value(0).contains(u"孤儿"_s));
}

void TestCommands::progressCountsAndBars()
{
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}));
    open(true);
    type(u"1a"_s);
    type(u"b"_s);
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    type(u"2"_s);
    QString totals;
    QString rate;
    QList<std::pair<QString, qint64>> bars;
    Modal::setDriver([&](QDialog& d) {
        totals = d.findChild<QLabel*>(u"lblTotals"_s)->text();
        rate = d.findChild<QLabel*>(u"lblRate"_s)->text();
        bars = d.findChild<BarChart*>(u"chtClasses"_s)->bars();
    });
    key(Qt::Key_F5);
    QCOMPARE(totals, u"已设置 3 个，未设置 2 个，共 5 个。"_s);
    QVERIFY2(rate.startsWith(u"本次已设置 3 个，每分钟 3.0 个；照此速度，其余的还需约 1 分钟。"_s), qPrintable(rate));
    QCOMPARE(bars, (QList<std::pair<QString, qint64>> {{u"数码"_s, 2}, {u"美食"_s, 1}, {u"控制"_s, 0}}));
}

void TestCommands::suggestionsLearnAndFile()
{
    QVERIFY_OK(m_store->importRows({{0, u"华为手机"_s, u"001001"_s, u"手机"_s, 1, 0, 0},
                                    {0, u"小米手机"_s, u"001001"_s, u"手机"_s, 1, 0, 0},
                                    {0, u"笔记本电脑"_s, u"001002"_s, u"电脑"_s, 1, 0, 0},
                                    {0, u"麻辣火锅"_s, u"002"_s, u"美食"_s, 1, 0, 0}}));
    QVERIFY_OK(m_store->insertKeywords({u"苹果手机"_s, u"火锅底料"_s, u"平板电脑"_s}));
    open(true);
    // Learnt from what was filed before the window opened: 苹果手机 lies under 数码, which is marked.
    QTRY_VERIFY(marked(0));
    QVERIFY(!marked(1));
    key(Qt::Key_F2);
    QCOMPARE(filedAs(u"苹果手机"_s), u"1|001001"_s);
    QCOMPARE(txtKey()->text(), u"火锅底料"_s);
    QVERIFY(marked(1));
    QVERIFY(!marked(0));
    // One level down, the class itself is marked; and a filing made here is learnt at once.
    type(u"1"_s);
    rightClickList();
    QCOMPARE(filedAs(u"火锅底料"_s), u"1|001001"_s);
    QCOMPARE(txtKey()->text(), u"平板电脑"_s);
    QVERIFY(marked(1));
    QVERIFY(!marked(0));
    key(Qt::Key_F2);
    QCOMPARE(filedAs(u"平板电脑"_s), u"1|001002"_s);
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));
}

QTEST_MAIN(TestCommands)
#include "TestCommands.moc"
