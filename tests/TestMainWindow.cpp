#include "ExportReader.h"
#include "SessionScript.h"
#include "TestSupport.h"
#include "ui/Product.h"
#include "ui/progress/BarChart.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QTextDocumentFragment>

// The main window: its controls as laid out, every event routed to the session, what it draws, and the dialogs
// its keys open.
class TestMainWindow : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void controlsAsLaidOut();
    void tabOrderAndFocus();
    void emptyStoreAndTheDesignTimeGrid();
    void routing_data();
    void routing();
    void gridColumnsAndSuggestionsAsDrawn();
    void findAndProgressDialogs();
    void exportAsksBeforeReplacing();
    void standardButtonsInChinese();

private:
    // Window events and what the window shows, for scripts: see routing().
    bool act(const QString& action, const QString& argument);
    std::optional<QString> shown(const QString& name);
    QStringList m_dialogs;
    QStringList m_keysListed;
    QTemporaryDir m_dir;
};

void TestMainWindow::init()
{
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    m_dialogs.clear();
    Modal::setDriver([this](QDialog& d) {
        m_dialogs << d.objectName();
        if (auto* keys = d.findChild<QTreeWidget*>(u"lstKeys"_s)) {
            for (int i = 0; i < keys->topLevelItemCount(); ++i)
                m_keysListed << keys->topLevelItem(i)->text(0);
        }
    });
}

void TestMainWindow::controlsAsLaidOut()
{
    QVERIFY(fillScriptStore(*m_store, *m_raw, {u"1:华为手机"_s}));
    open();
    QVERIFY(m_messages->take().isEmpty());
    QCOMPARE(m_window->windowTitle(), u"关键词分类"_s);
    QCOMPARE(m_window->size(), QSize(712, 499));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(!(m_window->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    const std::tuple<const char16_t*, QString, QRect, QString> controls[] = {
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
    for (const auto& [name, text, geometry, toolTip] : controls) {
        auto* widget = child(QString::fromUtf16(name));
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->toolTip(), toolTip);
        if (auto* label = qobject_cast<QLabel*>(widget); label && !text.isNull())
            QCOMPARE(QTextDocumentFragment::fromHtml(label->text()).toPlainText(), text);
        if (auto* button = qobject_cast<QPushButton*>(widget))
            QCOMPARE(button->text(), text);
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
    // The top level with its first class selected, keyed "S" and the code, and the first unsorted keyword.
    QCOMPARE(list()->topLevelItemCount(), 5);
    QCOMPARE(QStringList({list()->topLevelItem(0)->text(0), list()->topLevelItem(1)->text(1),
                          list()->topLevelItem(0)->text(2), list()->topLevelItem(1)->text(2)}),
             QStringList({u"数码"_s, u"2"_s, u"2"_s, u"0"_s}));
    QCOMPARE(list()->selectedItems().value(0), list()->topLevelItem(0));
    QCOMPARE(list()->topLevelItem(4)->data(0, Qt::UserRole).toString(), u"S005"_s);
    QCOMPARE(txtKey()->text(), u"华为手机"_s);
}

void TestMainWindow::tabOrderAndFocus()
{
    QVERIFY(fillScriptStore(*m_store, *m_raw, {}));
    open(true);
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
    // The command labels take no focus, and cmdUp cannot be pressed at the top level.
    QCOMPARE(order,
             QStringList({u"txtKey"_s, u"Grid1"_s, u"ListView2"_s, u"cmdDelKey"_s, u"cmdDown"_s, u"cmdAdd"_s,
                          u"cmdEdit"_s, u"cmdDel"_s, u"txtKey"_s}));
}

void TestMainWindow::emptyStoreAndTheDesignTimeGrid()
{
    open();
    const auto shownBoxes = m_messages->take();
    QCOMPARE(shownBoxes.size(), 1);
    QCOMPARE(shownBoxes.at(0).text, u"所有关键词已设置完毕！"_s);
    QCOMPARE(shownBoxes.at(0).title, u"关键词分类"_s);
    QCOMPARE(shownBoxes.at(0).icon, MessageBox::Icon::None);
    QCOMPARE(txtKey()->text(), QString());
    QVERIFY(!child(u"cmdUp"_s)->isEnabled() && !child(u"cmdDown"_s)->isEnabled());
    QCOMPARE(m_window->session().gridModel()->rowCount(), 29);
    QCOMPARE(m_window->session().gridModel()->columnCount(), 4);
}

bool TestMainWindow::act(const QString& action, const QString& argument)
{
    const QString name = argument.section(u' ', 1, 1);
    if (action == u"type"_s) {
        type(argument);
    } else if (action == u"press"_s) {
        // "press ctrl+shift+Delete txtKey"
        Qt::KeyboardModifiers modifiers;
        QString key = argument.section(u' ', 0, 0);
        for (const auto& [prefix, modifier] :
             {std::pair {u"ctrl+"_s, Qt::ControlModifier}, std::pair {u"shift+"_s, Qt::ShiftModifier}}) {
            if (key.startsWith(prefix)) {
                modifiers |= modifier;
                key = key.mid(prefix.size());
            }
        }
        QTest::keyClick(child(name), QKeySequence::fromString(key)[0].key(), modifiers);
    } else if (action == u"mouse"_s) {
        // "mouse right Grid1 0", "mouse double ListView2 0", "mouse left cmdUp", "mouse right Grid1 below"; "select 2"
        // makes the third class of the list the current item, as a click on it does.
        const QString button = argument.section(u' ', 0, 0);
        const QString row = argument.section(u' ', 2, 2);
        QWidget* target = child(name);
        QPoint at = target->rect().center();
        if (auto* view = qobject_cast<QAbstractItemView*>(target)) {
            target = view->viewport();
            at = row == u"below"_s ? QPoint(100, target->height() - 5)
                                   : view->visualRect(view->model()->index(row.toInt(), 0)).center();
        }
        const Qt::MouseButton b = button == u"right"_s ? Qt::RightButton : Qt::LeftButton;
        // The class list acts on a button's release, the grid on its press.
        if (button == u"double"_s)
            QTest::mouseDClick(target, b, {}, at);
        else if (target == list()->viewport())
            QTest::mouseRelease(target, b, {}, at);
        else if (target == grid()->viewport())
            QTest::mousePress(target, b, {}, at);
        else
            QTest::mouseClick(target, b, {}, at);
    } else if (action == u"select"_s) {
        list()->setCurrentItem(list()->topLevelItem(argument.toInt()));
    } else if (action == u"answer"_s) {
        m_messages->answer(argument == u"Yes"_s ? MessageBox::Answer::Yes : MessageBox::Answer::No);
    } else if (action == u"exportTo"_s) {
        FileDialog::setNextFileName(m_dir.filePath(argument));
    } else {
        return false;
    }
    return true;
}

std::optional<QString> TestMainWindow::shown(const QString& name)
{
    if (name == u"box"_s)
        return txtKey()->text();
    if (name == u"keysListed"_s)
        return m_keysListed.join(u',');
    if (name == u"dialogs"_s)
        return std::exchange(m_dialogs, {}).join(u',');
    if (name == u"asked"_s) {
        QStringList titles;
        for (const MessageBox::Shown& box : m_messages->take())
            titles << box.title + u'/' + QString::number(int(box.defaultAnswer));
        return titles.join(u',');
    }
    if (name == u"enabled"_s) {
        QStringList enabled;
        for (const QString& button : {u"cmdUp"_s, u"cmdDown"_s})
            enabled << (child(button)->isEnabled() ? button : QString());
        return enabled.join(u',');
    }
    if (name == u"items"_s) {
        QStringList items;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            items << list()->topLevelItem(i)->text(0) + (list()->topLevelItem(i)->isSelected() ? u"*"_s : QString());
        return items.join(u',');
    }
    if (name == u"exported"_s)
        return QDir(m_dir.path()).entryList(QDir::Files).join(u',');
    return std::nullopt;
}

void TestMainWindow::routing_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::newRow("keys reach the window first")
        << QStringList {u"press Return ListView2 => parent=001 items=手机*,电脑 enabled=cmdUp,cmdDown"_s,
                        u"press Escape txtKey => parent= items=数码*,汽车,美食,健康,旅游 enabled=,cmdDown"_s,
                        u"press Return txtKey => parent="_s,
                        u"select 4 => sel=005"_s,
                        u"mouse double ListView2 4 => parent=005 items= enabled=cmdUp,"_s,
                        u"press Escape cmdAdd => parent= sel=001"_s,
                        u"mouse left cmdDown => parent=001"_s,
                        u"mouse left cmdUp => parent="_s};
    QTest::newRow("quick keys, and filing with the mouse")
        << QStringList {u"type 1 => parent=001 box=华为手机 items=手机*,电脑"_s,
                        u"type A => box=华为手机A filed=1"_s,
                        u"mouse left ListView2 => filed=1"_s,
                        u"mouse right ListView2 => filed=2 key=2 box=火锅 row1=1|001001|手机"_s,
                        u"type b => parent=001002 items=笔记本*"_s,
                        u"type n => key=3 box=三亚 row2=1|001002001|笔记本"_s};
    QTest::newRow("the grid and the keyword commands")
        << QStringList {u"mouse left Grid1 0 => key=1 filed=1"_s,
                        u"mouse right Grid1 below => key=1 filed=1"_s,
                        u"mouse right Grid1 0 => key=4 box=旧 filed=0 grid="_s,
                        u"mouse left cmdDelKey => key=1 rows=3 row4=-"_s,
                        u"mouse double txtKey => dialogs=frmNeedSet"_s,
                        u"answer No"_s,
                        u"mouse left lblClearWords => asked=注意/1 rows=3"_s,
                        u"answer Yes"_s,
                        u"mouse left lblClearWords => asked=注意/1 rows=0 key=0 box="_s};
    QTest::newRow("commands on keys the classic window leaves free")
        << QStringList {u"select 1 => sel=002 grid="_s,
                        u"mouse double ListView2 1 => parent=002 items=控制*,控制,控制,控制,控制"_s,
                        u"mouse right ListView2 => filed=2 key=2 row1=1|002001|控制"_s,
                        u"press ctrl+Z txtKey => key=1 filed=1"_s,
                        u"press ctrl+Y txtKey => key=2 filed=2"_s,
                        u"press F1 txtKey => dialogs=frmKeys keysListed~=Ctrl+N,Ctrl+E,Ctrl+Shift+Delete"_s,
                        u"press F5 txtKey => dialogs=frmProgress"_s,
                        u"press ctrl+F txtKey => dialogs=frmFind"_s,
                        u"press ctrl+N txtKey => dialogs=frmAddWords"_s,
                        u"exportTo keys.csv"_s,
                        u"press ctrl+E Grid1 => exported=keys.csv"_s,
                        u"answer No"_s,
                        u"press ctrl+shift+Delete ListView2 => asked=注意/1 rows=4"_s,
                        u"wait => key=2"_s,
                        u"press F2 txtKey => filed=3 key=3"_s};
}

void TestMainWindow::routing()
{
    QFETCH(QStringList, script);
    QVERIFY(fillScriptStore(*m_store, *m_raw, {u"1:华为手机"_s, u"2:火锅"_s, u"3:三亚"_s, u"4:旧@001001"_s}));
    // Classes under 汽车 whose quick keys are the characters the command keys type: none of them is reached.
    for (const char16_t ch : {u'\x1a', u'\x19', u'\x06', u'\x0e', u'\x05'})
        QVERIFY_OK(m_store->addClass(u"002"_s, u"控制"_s, QString(QChar(ch))));
    open(true);
    SessionScript operatorScript(*m_store, *m_raw, m_window->session());
    operatorScript.moreActions = [this](const QString& a, const QString& b) { return act(a, b); };
    operatorScript.moreFields = [this](const QString& name) { return shown(name); };
    QVERIFY(operatorScript.run(script));
}

void TestMainWindow::gridColumnsAndSuggestionsAsDrawn()
{
    QVERIFY(fillScriptStore(*m_store, *m_raw,
                            {u"1:华为手机@001001"_s, u"2:数码相机@001"_s, u"3:小米手机@001001"_s, u"4:苹果手机"_s}));
    open(true);
    const KeywordGridModel* model = m_window->session().gridModel();
    QCOMPARE(gridRows(*model, 0, 3), QStringList({u"2|数码|数码相机"_s, u"3|手机|小米手机"_s, u"1|手机|华为手机"_s}));
    for (const auto& [column, header, width] :
         {std::tuple {0, u"ID"_s, 50}, {1, u"分类"_s, 80}, {2, u"关键词"_s, 210}}) {
        QCOMPARE(model->headerData(column, Qt::Horizontal).toString(), header);
        QCOMPARE(grid()->columnWidth(column), width);
    }
    QVERIFY(!(model->flags(model->index(0, 2)) & Qt::ItemIsEditable));
    // A class with nothing filed: only the header row, which keeps its texts.
    list()->setCurrentItem(list()->topLevelItem(2));
    QCOMPARE(model->dataRowCount(), 0);
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), u"关键词"_s);
    // The suggested class, or the class of this level it lies under, in green bold.
    const auto marked = [&](int row) {
        const QTreeWidgetItem* item = list()->topLevelItem(row);
        return item->font(0).bold() && item->foreground(1).color() == QColor(0, 128, 0);
    };
    QTRY_VERIFY(marked(0));
    QVERIFY(!marked(1) && !marked(2));
}

void TestMainWindow::findAndProgressDialogs()
{
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << u"%1:iphone 配件 %1"_s.arg(i + 10);
    QVERIFY(fillScriptStore(
        *m_store, *m_raw,
        QStringList {u"1:iPhone 价格@001002"_s, u"2:华为手机@001001"_s, u"3:IPHONE壳"_s, u"4:50%_off"_s} + many));
    // Numbers from a keyword tool's file for three of them, one a range.
    QVERIFY(m_raw->exec(
        u"INSERT INTO KeywordMetrics(id, volume, volumeHigh) VALUES (1, 900, NULL), (3, 100, 1000), (4, 1000, NULL)"_s));
    open(true);
    QStringList listed;
    QStringList volumes;
    QString count;
    const auto find = [&](const QString& text, bool choose) {
        Modal::setDriver([&, text, choose](QDialog& d) {
            auto* box = in<QLineEdit>(d, u"txtFind"_s);
            box->setText(text);
            auto* found = in<QTreeWidget>(d, u"lstFound"_s);
            listed.clear();
            volumes.clear();
            for (int i = 0; i < std::min(found->topLevelItemCount(), 3); ++i) {
                listed << found->topLevelItem(i)->text(0) + u'|' + found->topLevelItem(i)->text(1);
                volumes << found->topLevelItem(i)->text(2);
            }
            count = in<QLabel>(d, u"lblCount"_s)->text();
            if (choose)
                QTest::keyClick(box, Qt::Key_Return);
        });
        QTest::keyClick(txtKey(), Qt::Key_F, Qt::ControlModifier);
    };
    // ASCII letters without case; the filed ones with their class path.
    find(u"IPHONE"_s, false);
    QCOMPARE(listed,
             QStringList({u"iPhone 价格|数码 > 电脑"_s, u"IPHONE壳|（未分类）"_s, u"iphone 配件 10|（未分类）"_s}));
    QCOMPARE(count, u"只列出前 200 个。"_s);
    QCOMPARE(volumes, QStringList({u"900"_s, u"100–1000"_s, QString()}));
    // Enter on a filed one: its class at its own level, and its row of the grid current.
    find(u"华为"_s, true);
    QCOMPARE(count, u"找到 1 个。"_s);
    QCOMPARE(m_window->session().selCode(), u"001001"_s);
    QCOMPARE(grid()->currentIndex().data().toString(), u"华为手机"_s);

    QString totals;
    QString rate;
    QString share;
    QList<std::pair<QString, qint64>> bars;
    QList<std::pair<QString, qint64>> volumeBars;
    Modal::setDriver([&](QDialog& d) {
        totals = in<QLabel>(d, u"lblTotals"_s)->text();
        share = in<QLabel>(d, u"lblShare"_s)->text();
        rate = in<QLabel>(d, u"lblRate"_s)->text();
        bars = in<BarChart>(d, u"chtClasses"_s)->bars();
        in<QCheckBox>(d, u"chkVolume"_s)->setChecked(true);
        volumeBars = in<BarChart>(d, u"chtClasses"_s)->bars();
    });
    type(u"a"_s);
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    QTest::keyClick(txtKey(), Qt::Key_F5);
    QCOMPARE(totals, u"已设置 3 个，未设置 301 个，共 304 个。"_s);
    QVERIFY2(rate.startsWith(u"本次已设置 1 个，每分钟 1.0 个；"_s), qPrintable(rate));
    QCOMPARE(bars,
             (QList<std::pair<QString, qint64>> {
                 {u"数码"_s, 3}, {u"汽车"_s, 0}, {u"美食"_s, 0}, {u"健康"_s, 0}, {u"旅游"_s, 0}}));
    QCOMPARE(share, u"按关键词已完成 1.0%，按月均搜索量已完成 50.0%（共 2000 次）。"_s);
    QCOMPARE(volumeBars,
             (QList<std::pair<QString, qint64>> {
                 {u"数码"_s, 1000}, {u"汽车"_s, 0}, {u"美食"_s, 0}, {u"健康"_s, 0}, {u"旅游"_s, 0}}));
    QCOMPARE(messages(), QStringList());
}

void TestMainWindow::exportAsksBeforeReplacing()
{
    // The grid's exports, read back, are checked with awkward text end to end (TestIntake).
    QVERIFY(fillScriptStore(*m_store, *m_raw, {u"1:火锅@002"_s}));
    open(true);
    list()->setCurrentItem(list()->topLevelItem(1));
    QTemporaryDir dir;
    // The suffix added to a name typed without one may name a file that is there already: asked first.
    const QString xlsx = writeFile(dir.filePath(u"out.xlsx"_s), "keep me");
    for (const MessageBox::Answer answer : {MessageBox::Answer::No, MessageBox::Answer::Yes}) {
        m_messages->answer(answer);
        FileDialog::setNextFileName(dir.filePath(u"out"_s));
        click(u"lblExpert"_s);
        const auto asked = m_messages->take();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.at(0).text.contains(QDir::toNativeSeparators(xlsx)));
        QCOMPARE(asked.at(0).defaultAnswer, MessageBox::Answer::No);
        QCOMPARE(readFile(xlsx) == "keep me", answer == MessageBox::Answer::No);
    }
    QCOMPARE(ExportReader::xlsx(xlsx),
             (ExportReader::Rows {{u"ID"_s, u"分类"_s, u"关键词"_s}, {u"1"_s, u"汽车"_s, u"火锅"_s}}));
    // Cancelled: nothing written. Unwritable: a clear message, nothing left behind.
    FileDialog::setNextFileName(QString());
    click(u"lblExpert"_s);
    const QString blocked = dir.filePath(u"no-such-folder/out.csv"_s);
    FileDialog::setNextFileName(blocked);
    click(u"lblExpert"_s);
    const QString refusal = messages().join(u'|');
    QVERIFY2(refusal.startsWith(u"导出失败"_s) && refusal.contains(blocked), qPrintable(refusal));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList(u"out.xlsx"_s));
}

void TestMainWindow::standardButtonsInChinese()
{
    QVERIFY(installQtTranslations());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok);
    QCOMPARE(QStringList({box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text(),
                          box.button(QMessageBox::Ok)->text()}),
             QStringList({u"是(&Y)"_s, u"否(&N)"_s, u"确定"_s}));
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
