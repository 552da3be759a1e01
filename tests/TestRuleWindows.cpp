#include "TestSupport.h"

#include <QListWidget>

// The rule window (F3) and the terms window (F4), driven as the operator drives them from the main window.
class TestRuleWindows : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void fileByRule_data();
    void fileByRule();
    void savedRulesFileANewBatch();
    void termsMarkClassesAndOpenTheRuleWindow();

private:
    QStringList filed() { return m_raw->rows(u"SELECT keywords || '|' || classcode FROM Korvels ORDER BY id"_s); }
    // Each dialog shown goes to the step for its name; the steps run in the order the dialogs open.
    void drive(const QList<std::pair<QString, std::function<void(QDialog&)>>>& steps);
    static void keyIn(QDialog& d, const QString& name, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(in(d, name), key, modifiers);
    }
};

void TestRuleWindows::init()
{
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    addClasses({{{}, u"手机"_s, u"1"_s}, {{}, u"美食"_s, u"2"_s}, {u"002"_s, u"火锅"_s, u"h"_s}});
    QVERIFY_OK(m_store->insertKeywords(
        {u"华为手机"_s, u"手机壳"_s, u"iPhone 15"_s, u"重庆火锅"_s, u"火锅 奶茶"_s, u"奶茶店"_s}));
}

void TestRuleWindows::drive(const QList<std::pair<QString, std::function<void(QDialog&)>>>& steps)
{
    auto next = std::make_shared<qsizetype>(0);
    Modal::setDriver([steps, next](QDialog& d) {
        QVERIFY2(*next < steps.size(), qPrintable(u"unexpected "_s + d.objectName()));
        const auto& [name, step] = steps.at((*next)++);
        QCOMPARE(d.objectName(), name);
        step(d);
    });
}

void TestRuleWindows::fileByRule_data()
{
    QTest::addColumn<QStringList>("typed"); // txtAll, txtAny, txtNone, txtRegex, txtMinLength, txtMaxLength, txtPath
    QTest::addColumn<QString>("counted");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("told");
    QTest::newRow("all words, into the selected class")
        << QStringList {u"手机"_s, {}, {}, {}, {}, {}, {}} << u"有 2 个未分类关键词符合规则。"_s
        << QStringList {u"华为手机|001"_s, u"手机壳|001"_s} << u"已将 2 个关键词归入“手机”（Ctrl+Z 可整体撤销）。"_s;
    QTest::newRow("one of, none of, by quick keys")
        << QStringList {{}, u"火锅 奶茶"_s, u"店"_s, {}, {}, {}, u"2h"_s} << u"有 2 个未分类关键词符合规则。"_s
        << QStringList {u"重庆火锅|002001"_s, u"火锅 奶茶|002001"_s}
        << u"已将 2 个关键词归入“美食 > 火锅”（Ctrl+Z 可整体撤销）。"_s;
    QTest::newRow("ASCII without case, a regex and lengths")
        << QStringList {u"IPHONE"_s, {}, {}, u"\\d+$"_s, u"9"_s, u"9"_s, u"2"_s} << u"有 1 个未分类关键词符合规则。"_s
        << QStringList {u"iPhone 15|002"_s} << u"已将 1 个关键词归入“美食”（Ctrl+Z 可整体撤销）。"_s;
    QTest::newRow("a bad regex files nothing") << QStringList {u"手机"_s, {}, {}, u"(手机"_s, {}, {}, {}}
                                               << u"正则表达式有误"_s << QStringList() << u"正则表达式有误"_s;
    QTest::newRow("a quick key that reaches no class")
        << QStringList {u"手机"_s, {}, {}, {}, {}, {}, u"2x"_s} << u"有 2 个未分类关键词符合规则。"_s << QStringList()
        << u"“美食”下没有快捷键为“x”的分类。"_s;
    QTest::newRow("no condition") << QStringList {{}, {}, {}, {}, {}, {}, u"1"_s} << u"请输入规则"_s << QStringList()
                                  << u"请输入规则"_s;
}

void TestRuleWindows::fileByRule()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, counted);
    QFETCH(QStringList, after);
    QFETCH(QString, told);
    open(true);
    const QStringList before = filed();
    drive({{u"frmRule"_s, [&](QDialog& d) {
                const QStringList boxes = {u"txtAll"_s,       u"txtAny"_s,       u"txtNone"_s, u"txtRegex"_s,
                                           u"txtMinLength"_s, u"txtMaxLength"_s, u"txtPath"_s};
                for (qsizetype i = 0; i < boxes.size(); ++i)
                    in<QLineEdit>(d, boxes.at(i))->setText(typed.at(i));
                QTRY_VERIFY(in<QLabel>(d, u"lblCount"_s)->text().startsWith(counted));
                const QString count = counted.section(u' ', 1, 1);
                QCOMPARE(in<QListWidget>(d, u"lstMatch"_s)->count(), count.toInt());
                keyIn(d, u"txtAll"_s, Qt::Key_Return, Qt::ControlModifier);
                keyIn(d, u"txtAll"_s, Qt::Key_Escape);
            }}});
    QTest::keyClick(txtKey(), Qt::Key_F3);
    const QStringList messages = this->messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith(told), qPrintable(messages.first()));
    QStringList expected = before;
    for (QString& row : expected) {
        for (const QString& into : after)
            row = row == into.section(u'|', 0, 0) + u'|' ? into : row;
    }
    QCOMPARE(filed(), expected);
    // The loop moves on when the keyword it showed was filed.
    const QStringList left = expected.filter(QRegularExpression(u"\\|$"_s));
    QCOMPARE(txtKey()->text() + u'|', left.value(0));
    // One Ctrl+Z takes the whole rule back.
    QTest::keyClick(txtKey(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(filed(), before);
}

void TestRuleWindows::savedRulesFileANewBatch()
{
    open(true);
    drive({{u"frmRule"_s, [](QDialog& d) {
                QVERIFY(!in<QCheckBox>(d, u"chkOnBatch"_s)->isChecked());
                for (const auto& [words, path] :
                     {std::pair {u"壳"_s, u"2"_s}, {u"手机"_s, u"1"_s}, {u"咖啡"_s, u"2h"_s}}) {
                    in<QLineEdit>(d, u"txtAll"_s)->setText(words);
                    in<QLineEdit>(d, u"txtPath"_s)->setText(path);
                    keyIn(d, u"txtAll"_s, Qt::Key_S, Qt::ControlModifier);
                }
                auto* saved = in<QListWidget>(d, u"lstSaved"_s);
                QCOMPARE(saved->count(), 3);
                QCOMPARE(saved->item(0)->text(), u"美食：全部包含 壳"_s);
                saved->setFocus();
                saved->setCurrentRow(2);
                keyIn(d, u"lstSaved"_s, Qt::Key_Delete);
                QCOMPARE(saved->count(), 2);
                in<QCheckBox>(d, u"chkOnBatch"_s)->setChecked(true);
            }}});
    QTest::keyClick(txtKey(), Qt::Key_F3);
    QCOMPARE(*m_store->rulesOnNewBatches(), true);
    const QStringList before = filed();
    addBatches({u"小米手机\n麻辣火锅\n手机壳套\n咖啡\n钢化壳"_s});
    QCOMPARE(messages(),
             QStringList {u"5个关键词增加成功！0个关键词因为重复未增加！\n3个关键词已按保存的规则归类！"_s});
    // Only the batch is filed, a keyword two rules match by the older one, and by no rule deleted.
    const QStringList batch = {u"小米手机|"_s, u"麻辣火锅|"_s, u"手机壳套|"_s, u"咖啡|"_s, u"钢化壳|"_s};
    QCOMPARE(filed(),
             before + QStringList({u"小米手机|001"_s, batch[1], u"手机壳套|002"_s, batch[3], u"钢化壳|002"_s}));
    QTest::keyClick(txtKey(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(filed(), before + batch);

    // Off: a batch stays unsorted; the command line asks for the rules itself.
    QVERIFY_OK(m_store->setRulesOnNewBatches(false));
    addBatches({u"红米手机"_s});
    QCOMPARE(filed().last(), u"红米手机|"_s);
    m_window.reset();
    m_store.reset();
    const QString file = writeFile(m_temp->dir.filePath(u"batch.txt"_s), "OPPO手机\n");
    const ProgramRun run = runProgram(QString::fromUtf8(KORVEL_SHIPPED),
                                      {u"--db"_s, m_temp->path, u"import"_s, file, u"--apply-rules"_s});
    QCOMPARE(run.out.trimmed(), u"added 1 keywords, 0 duplicates left out; 1 filed by saved rules"_s);
    QCOMPARE(filed().last(), u"OPPO手机|001"_s);
}

void TestRuleWindows::termsMarkClassesAndOpenTheRuleWindow()
{
    open(true);
    const auto terms = [](QDialog& d) {
        QStringList rows;
        auto* list = in<QTreeWidget>(d, u"lstTerms"_s);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows << item->text(0) + u'|' + item->text(1) + (item->text(2).isEmpty() ? QString() : u"|class"_s);
        }
        return rows;
    };
    const auto select = [](QDialog& d, const QString& term) {
        auto* list = in<QTreeWidget>(d, u"lstTerms"_s);
        list->setCurrentItem(list->findItems(term, Qt::MatchExactly).value(0));
    };
    drive({{u"frmTerms"_s,
            [&](QDialog& d) {
                QTRY_VERIFY(in<QLabel>(d, u"lblStatus"_s)->text().startsWith(u"6 个未分类关键词"_s));
                QCOMPARE(terms(d).mid(0, 3), QStringList({u"奶茶|2"_s, u"手机|2|class"_s, u"火锅|2"_s}));
                select(d, u"奶茶"_s);
                keyIn(d, u"lstTerms"_s, Qt::Key_Return);
                // The filing by rule is followed without a recount.
                QVERIFY(!terms(d).contains(u"奶茶|2"_s));
                select(d, u"火锅"_s);
                keyIn(d, u"lstTerms"_s, Qt::Key_Insert);
                QVERIFY(terms(d).contains(u"火锅|1|class"_s));
            }},
           {u"frmRule"_s,
            [](QDialog& d) {
                QCOMPARE(in<QLineEdit>(d, u"txtAll"_s)->text(), u"奶茶"_s);
                QTRY_VERIFY(in<QLabel>(d, u"lblCount"_s)->text().startsWith(u"有 2 个"_s));
                keyIn(d, u"txtAll"_s, Qt::Key_Return, Qt::ControlModifier);
            }},
           {u"frmSetClass"_s, [](QDialog& d) {
                QCOMPARE(in<QLineEdit>(d, u"txtTitle"_s)->text(), u"火锅"_s);
                in<QLineEdit>(d, u"txtKey"_s)->setText(u"3"_s);
                clickIn(d, u"OKButton"_s);
            }}});
    QTest::keyClick(txtKey(), Qt::Key_F4);
    QCOMPARE(messages(), QStringList({u"已将 2 个关键词归入“手机”（Ctrl+Z 可整体撤销）。"_s}));
    QCOMPARE(list()->topLevelItemCount(), 3);
    QCOMPARE(list()->topLevelItem(2)->text(0).contains(u"火锅"_s), true);
}

QTEST_MAIN(TestRuleWindows)
#include "TestRuleWindows.moc"
