#include "TestSupport.h"

#include <QTextDocumentFragment>

// The main window as it opens, and moving through the levels of classes.
class TestMainWindow : public WindowTest
{
    Q_OBJECT
private slots:
    void controlsAsLaidOut();
    void tabOrderAndFocus();
    void emptyStoreSaysAllIsSet();
    void upAndDown();

private:
    // Two top-level classes, the second with one child, and three unsorted keywords.
    void fillStore();
};

void TestMainWindow::fillStore()
{
    QVERIFY_OK(m_store->addClass({}, u"数码"_s, u"1"_s));
    QVERIFY_OK(m_store->addClass({}, u"汽车"_s, u"2"_s));
    QVERIFY_OK(m_store->addClass(u"002"_s, u"轿车"_s, u"a"_s));
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"二手车"_s, u"火锅"_s}));
}

void TestMainWindow::controlsAsLaidOut()
{
    fillStore();
    open();
    QVERIFY(m_messages->take().isEmpty());
    QCOMPARE(m_window->windowTitle(), u"关键词分类"_s);
    QCOMPARE(m_window->size(), QSize(712, 499));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMinimizeButtonHint));

    struct Expected
    {
        const char16_t* name;
        QString text;
        QRect geometry;
        QString toolTip;
    };
    const Expected controls[] = {
        {u"Label1", u"需要设定的关键词："_s, {27, 23, 121, 21}, {}},
        {u"txtKey", {}, {27, 45, 216, 26}, {}},
        {u"Label3", u"所属分类："_s, {27, 85, 103, 21}, {}},
        {u"Grid1", {}, {306, 45, 381, 431}, {}},
        {u"lblExpert", u"导出关键词"_s, {624, 23, 63, 14}, {}},
        {u"ListView2", {}, {27, 107, 254, 280}, {}},
        {u"cmdDelKey", u"删除"_s, {244, 44, 37, 28}, {}},
        {u"lblAddWords", u"增加关键词"_s, {141, 23, 67, 14}, {}},
        {u"fmeClass", {}, {24, 389, 259, 35}, {}},
        {u"cmdUp", u"上级"_s, {4, 1, 48, 22}, u"返回上级分类(ESC键)"_s},
        {u"cmdDown", u"下级"_s, {51, 1, 48, 22}, u"进入下级分类(Enter键)"_s},
        {u"cmdAdd", u"增加"_s, {113, 1, 48, 22}, u"增加新分类"_s},
        {u"cmdEdit", u"修改"_s, {160, 1, 48, 22}, u"修改分类"_s},
        {u"cmdDel", u"删除"_s, {207, 1, 48, 22}, u"删除分类"_s},
        {u"Label4",
         u"在分类中左键选择分类，右键单击设定当前关键词到该分类中；本类关键词列表中右击关键词把关键词从该类中删除，进行再次设定。"_s,
         {26, 427, 257, 44},
         {}},
        {u"Label5", u"本类关键词："_s, {305, 23, 140, 19}, {}},
        {u"lblClearWords", u"删除所有关键词"_s, {212, 23, 85, 14}, {}},
        {u"Label2", {}, {26, 469, 255, 19}, {}},
    };
    for (const Expected& e : controls) {
        auto* widget = child(QString::fromUtf16(e.name));
        QCOMPARE(widget->geometry(), e.geometry);
        QCOMPARE(widget->toolTip(), e.toolTip);
        if (auto* label = qobject_cast<QLabel*>(widget); label && !e.text.isNull())
            QCOMPARE(QTextDocumentFragment::fromHtml(label->text()).toPlainText(), e.text);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), e.text);
    }
    for (const char16_t* name : {u"cmdUp", u"cmdDown", u"cmdAdd", u"cmdEdit", u"cmdDel"})
        QCOMPARE(child(QString::fromUtf16(name))->parentWidget(), child<QFrame>(u"fmeClass"_s));
    QCOMPARE(child<QFrame>(u"fmeClass"_s)->frameShape(), QFrame::NoFrame);

    // The contact line points to the README and names no one.
    QVERIFY(child<QLabel>(u"Label2"_s)->text().contains(u"README"_s));
    QCOMPARE(child<QLabel>(u"Label2"_s)->palette().color(QPalette::WindowText), QColor(Qt::red));
    for (const char16_t* name : {u"lblExpert", u"lblAddWords", u"lblClearWords"})
        QCOMPARE(child<QLabel>(QString::fromUtf16(name))->palette().color(QPalette::WindowText), QColor(0, 0, 192));

    const QFont keyFont = txtKey()->font();
    QVERIFY(keyFont.bold());
    QCOMPARE(keyFont.pointSizeF(), 10.5);
    QCOMPARE(keyFont.families().value(0), u"仿宋_GB2312"_s);

    QCOMPARE(list()->columnCount(), 3);
    for (const auto& [column, header, width] :
         {std::tuple {0, u"类别"_s, 200}, {1, u"快捷键"_s, 53}, {2, u"最大下级编号"_s, 0}}) {
        QCOMPARE(list()->headerItem()->text(column), header);
        // The counter column is there for every row but never seen.
        QCOMPARE(list()->isColumnHidden(column) ? 0 : list()->columnWidth(column), width);
    }

    // The top level, its first class selected, and the first unsorted keyword.
    QCOMPARE(list()->topLevelItemCount(), 2);
    QCOMPARE(QStringList({list()->topLevelItem(0)->text(0), list()->topLevelItem(1)->text(1),
                          list()->topLevelItem(0)->text(2), list()->topLevelItem(1)->text(2)}),
             QStringList({u"数码"_s, u"2"_s, u"0"_s, u"1"_s}));
    QCOMPARE(list()->selectedItems().value(0), list()->topLevelItem(0));
    QCOMPARE(m_window->selCode(), u"001"_s);
    QCOMPARE(m_window->quickKeys(), QStringList({u"1"_s, u"2"_s, QString()}));
    QVERIFY(!child(u"cmdUp"_s)->isEnabled() && child(u"cmdDown"_s)->isEnabled());
    QCOMPARE(txtKey()->text(), u"华为手机"_s);
    QVERIFY(m_window->keyId() > 0);
}

void TestMainWindow::tabOrderAndFocus()
{
    fillStore();
    open();
    QApplication::setActiveWindow(m_window.get());
    QTRY_COMPARE(QApplication::focusWidget(), child<QWidget>(u"txtKey"_s));
    QStringList order;
    QWidget* w = child<QWidget>(u"txtKey"_s);
    for (int i = 0; i < 9; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled())
            w = w->nextInFocusChain();
    }
    // cmdUp is disabled at the top level and is skipped.
    QCOMPARE(order,
             QStringList({u"txtKey"_s, u"Grid1"_s, u"ListView2"_s, u"cmdDelKey"_s, u"cmdDown"_s, u"cmdAdd"_s,
                          u"cmdEdit"_s, u"cmdDel"_s, u"txtKey"_s}));
}

void TestMainWindow::emptyStoreSaysAllIsSet()
{
    open();
    const auto shown = m_messages->take();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).text, u"所有关键词已设置完毕！"_s);
    QCOMPARE(shown.at(0).title, u"关键词分类"_s);
    QCOMPARE(shown.at(0).icon, MessageBox::Icon::None);
    QCOMPARE(txtKey()->text(), QString());
    QCOMPARE(m_window->keyId(), 0);
    QCOMPARE(m_window->selCode(), QString());
    QVERIFY(!child(u"cmdUp"_s)->isEnabled() && !child(u"cmdDown"_s)->isEnabled());
    // The grid keeps its empty design-time shape.
    QCOMPARE(m_window->gridModel()->rowCount(), 29);
    QCOMPARE(m_window->gridModel()->columnCount(), 4);
}

void TestMainWindow::upAndDown()
{
    fillStore();
    open();
    list()->setCurrentItem(list()->topLevelItem(1));
    // Enter goes down only from the list.
    QTest::keyClick(txtKey(), Qt::Key_Return);
    QCOMPARE(m_window->parentCode(), QString());
    QTest::keyClick(list(), Qt::Key_Return);
    QCOMPARE(m_window->parentCode(), u"002"_s);
    QCOMPARE(list()->topLevelItem(0)->text(0), u"轿车"_s);
    QVERIFY(child(u"cmdUp"_s)->isEnabled());

    // Down into a class without subclasses: an empty level, nothing selected, the grid left as it was.
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {},
                       list()->visualItemRect(list()->topLevelItem(0)).center());
    QCOMPARE(m_window->parentCode(), u"002001"_s);
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(m_window->quickKeys(), QStringList(QString()));
    QCOMPARE(m_window->selCode(), u""_s);
    QVERIFY(!child(u"cmdDown"_s)->isEnabled());
    QCOMPARE(m_window->gridModel()->loadedCode(), u"002001"_s);
    // Enter or a double-click in an empty list does nothing.
    QTest::keyClick(list(), Qt::Key_Return);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(m_window->parentCode(), u"002001"_s);

    // Esc goes up wherever the focus is; back on the top level the first class is selected, not the one left.
    click(u"cmdUp"_s);
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    QCOMPARE(m_window->parentCode(), QString());
    QCOMPARE(m_window->selCode(), u"001"_s);
    // Esc at the top level lists the top level again.
    QTest::keyClick(child(u"cmdAdd"_s), Qt::Key_Escape);
    QCOMPARE(m_window->parentCode(), QString());
    QCOMPARE(list()->topLevelItemCount(), 2);
    QVERIFY(m_messages->take().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
