#include "TestSupport.h"
#include "ui/class_editor/frmSetClass.h"

// The class editor and the add, edit and delete commands, driven as the operator drives them.
class TestClassEditing : public WindowTest
{
    Q_OBJECT
private slots:
    void dialogAsLaidOut();
    void firstClassesAndDeeperLevels();
    void numbersAreNeverReusedNorPastTheLast();
    void editChangesOnlyTitleAndKey();
    void cancelCloseAndKeysInTheTextBoxes();
    void addIsAllOrNothing();

private:
    QStringList listed() const;
};

QStringList TestClassEditing::listed() const
{
    QStringList rows;
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        rows << list()->topLevelItem(i)->text(0) + u'|' + list()->topLevelItem(i)->text(1);
    return rows;
}

void TestClassEditing::dialogAsLaidOut()
{
    frmSetClass dialog(*m_store);
    QCOMPARE(dialog.windowTitle(), u"类别管理"_s);
    QCOMPARE(dialog.size(), QSize(263, 115));
    const QList<std::tuple<QString, QRect, QString>> controls = {
        {u"Label1"_s, {18, 16, 43, 18}, u"类别："_s},   {u"txtTitle"_s, {80, 11, 168, 21}, {}},
        {u"Label2"_s, {17, 43, 57, 18}, u"快捷键："_s}, {u"txtKey"_s, {79, 39, 45, 21}, {}},
        {u"OKButton"_s, {48, 78, 81, 25}, u"确定"_s},   {u"CancelButton"_s, {134, 78, 81, 25}, u"取消"_s},
    };
    for (const auto& [name, geometry, text] : controls) {
        QWidget* control = in(dialog, name);
        QCOMPARE(control->geometry(), geometry);
        if (!text.isEmpty())
            QCOMPARE(control->property("text").toString(), text);
        if (auto* button = qobject_cast<QPushButton*>(control))
            QVERIFY(!button->isDefault() && !button->autoDefault());
    }

    // OK holds the focus when the dialog opens: Enter at once adds a class with empty title and key. The dialog
    // opens centred on the screen, wherever the main window stands.
    open(true);
    m_window->move(0, 0);
    Modal::setDriver([this](QDialog& d) {
        ++m_dialogsShown;
        QCOMPARE(d.frameGeometry().center(), d.screen()->availableGeometry().center());
        QApplication::setActiveWindow(&d);
        QTRY_COMPARE(QApplication::focusWidget(), in(d, u"OKButton"_s));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 1);
    QCOMPARE(m_raw->rows(u"SELECT code, title, qKey, maxnext, path FROM KeyClass WHERE code <> ''"_s),
             QStringList(u"001|||0| > "_s));
}

void TestClassEditing::firstClassesAndDeeperLevels()
{
    open(true);
    answerClassEditor(u"数码"_s, u"1"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(sql(u"SELECT code, title, qKey, maxnext, path FROM KeyClass WHERE code <> ''"_s),
             u"001|数码|1|0| > 数码"_s);
    QCOMPARE(sql(u"SELECT maxnext FROM KeyClass WHERE code = ''"_s), u"1"_s);
    // The list is reloaded at once, its first class selected.
    QCOMPARE(listed(), QStringList(u"数码|1"_s));
    QCOMPARE(m_window->session().selCode(), u"001"_s);

    // Add under the level shown: the code and the path extend the parent's.
    click(u"cmdDown"_s);
    QCOMPARE(m_window->session().parentCode(), u"001"_s);
    answerClassEditor(u"手机"_s, u"a"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(sql(u"SELECT code, path FROM KeyClass WHERE title = '手机'"_s), u"001001| > 数码 > 手机"_s);
    QCOMPARE(sql(u"SELECT maxnext FROM KeyClass WHERE code = '001'"_s), u"1"_s);
    QCOMPARE(listed(), QStringList(u"手机|a"_s));
    QCOMPARE(messages(), QStringList());
}

void TestClassEditing::numbersAreNeverReusedNorPastTheLast()
{
    for (const QString& title : {u"甲"_s, u"乙"_s, u"丙"_s})
        QVERIFY_OK(m_store->addClass({}, title, title));
    open(true);
    list()->setCurrentItem(list()->topLevelItem(2));
    click(u"cmdDel"_s);
    QCOMPARE(listed(), QStringList({u"甲|甲"_s, u"乙|乙"_s}));
    answerClassEditor(u"丁"_s, u"d"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(sql(u"SELECT code FROM KeyClass WHERE title = '丁'"_s), u"004"_s);

    // 9 gives 010 and 99 gives 100.
    QVERIFY(m_raw->exec(u"UPDATE KeyClass SET maxnext = 9 WHERE code = '001'"_s));
    QVERIFY(m_raw->exec(u"UPDATE KeyClass SET maxnext = 99 WHERE code = '002'"_s));
    QVERIFY_OK(m_store->addClass(u"001"_s, u"十"_s, {}));
    QVERIFY_OK(m_store->addClass(u"002"_s, u"百"_s, {}));
    QCOMPARE(m_raw->rows(u"SELECT code FROM KeyClass WHERE title IN ('十', '百') ORDER BY id"_s),
             QStringList({u"001010"_s, u"002100"_s}));

    // 999 is the last: the editor does not even open.
    QVERIFY(m_raw->exec(u"UPDATE KeyClass SET maxnext = 999 WHERE code = '001'"_s));
    click(u"cmdDown"_s);
    answerClassEditor(u"多余"_s, u"x"_s);
    m_dialogsShown = 0;
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 0);
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(u"999"_s));
    QCOMPARE(sql(u"SELECT count(*) FROM KeyClass WHERE code LIKE '001%'"_s), u"2"_s);

    // The level's own class was deleted behind the window's back; so was the root row.
    QVERIFY(m_raw->exec(u"DELETE FROM KeyClass"_s));
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 0);
    QCOMPARE(messages().size(), 1);
    click(u"cmdUp"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 0);
    QVERIFY(messages().value(0).contains(u"根行"_s));
    QCOMPARE(sql(u"SELECT count(*) FROM KeyClass"_s), u"0"_s);
}

void TestClassEditing::editChangesOnlyTitleAndKey()
{
    QVERIFY_OK(m_store->addClass({}, u"汽车"_s, u"2"_s));
    QVERIFY_OK(m_store->addClass(u"001"_s, u"轿车"_s, u"a"_s));
    QVERIFY_OK(m_store->insertKeywords({u"二手车"_s, u"新车"_s}));
    open(true);
    rightClickList();
    QCOMPARE(sql(u"SELECT classname FROM Korvels WHERE isSet = 1"_s), u"汽车"_s);

    answerClassEditor(u"车"_s, u"c"_s);
    click(u"cmdEdit"_s);
    QCOMPARE(m_raw->rows(u"SELECT code, title, qKey, maxnext, path FROM KeyClass WHERE code <> '' ORDER BY id"_s),
             QStringList({u"001|车|c|1| > 汽车"_s, u"001001|轿车|a|0| > 汽车 > 轿车"_s}));
    QCOMPARE(sql(u"SELECT classname FROM Korvels WHERE isSet = 1"_s), u"汽车"_s);
    // The new key works at once, the old one no longer.
    QCOMPARE(listed(), QStringList(u"车|c"_s));
    QCOMPARE(m_window->session().quickKeys().value(0), u"c"_s);

    // OK with nothing changed still counts as a change made.
    frmSetClass dialog(*m_store);
    Modal::setDriver([](QDialog& d) { clickIn(d, u"OKButton"_s); });
    QVERIFY(dialog.Edit(u"001"_s));
    QCOMPARE(sql(u"SELECT title, qKey FROM KeyClass WHERE code = '001'"_s), u"车|c"_s);

    // A class deleted behind the window's back: said so, nothing written.
    frmSetClass gone(*m_store);
    QVERIFY(!gone.Edit(u"009"_s));
    QCOMPARE(messages().size(), 1);
}

void TestClassEditing::cancelCloseAndKeysInTheTextBoxes()
{
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    open(true);
    answerClassEditor(u"乙"_s, u"2"_s, false);
    click(u"cmdAdd"_s);
    click(u"cmdEdit"_s);
    QCOMPARE(m_dialogsShown, 2);
    Modal::setDriver([this](QDialog& d) {
        ++m_dialogsShown;
        auto* title = in<QLineEdit>(d, u"txtTitle"_s);
        title->setText(u"丙"_s);
        // Neither Enter nor Esc in a text box closes the dialog.
        QTest::keyClick(title, Qt::Key_Return);
        QTest::keyClick(title, Qt::Key_Escape);
        QVERIFY(d.isVisible());
        d.close();
    });
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 3);
    QCOMPARE(m_raw->rows(u"SELECT code, title, qKey FROM KeyClass ORDER BY id"_s),
             QStringList({u"||"_s, u"001|甲|1"_s}));
    QCOMPARE(sql(u"SELECT maxnext FROM KeyClass WHERE code = ''"_s), u"1"_s);

    // With nothing selected, edit and delete do nothing at all.
    click(u"cmdDown"_s);
    click(u"cmdEdit"_s);
    click(u"cmdDel"_s);
    QCOMPARE(m_dialogsShown, 3);
    QCOMPARE(messages(), QStringList());
}

void TestClassEditing::addIsAllOrNothing()
{
    open(true);
    // The parent's counter cannot be advanced: the new class must not stay behind with a code that will be
    // handed out again.
    QVERIFY(m_raw->refuse(u"KeyClass"_s, u"UPDATE OF maxnext"_s, u"counter stuck"_s));
    Modal::setDriver([this](QDialog& d) {
        ++m_dialogsShown;
        in<QLineEdit>(d, u"txtTitle"_s)->setText(u"甲"_s);
        clickIn(d, u"OKButton"_s);
        // Refused: the dialog stays open with what was typed.
        QVERIFY(d.isVisible());
        QCOMPARE(in<QLineEdit>(d, u"txtTitle"_s)->text(), u"甲"_s);
        clickIn(d, u"CancelButton"_s);
    });
    click(u"cmdAdd"_s);
    QCOMPARE(m_dialogsShown, 1);
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(u"counter stuck"_s), qPrintable(shown.first()));
    QCOMPARE(sql(u"SELECT count(*) FROM KeyClass"_s), u"1"_s);

    QVERIFY(m_raw->allow(u"KeyClass"_s));
    answerClassEditor(u"甲"_s, u"1"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(sql(u"SELECT code FROM KeyClass WHERE code <> ''"_s), u"001"_s);
}

QTEST_MAIN(TestClassEditing)
#include "TestClassEditing.moc"
