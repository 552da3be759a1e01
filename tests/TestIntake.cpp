#include "TestSupport.h"
#include "store/intake/KeywordPrints.h"
#include "store/intake/Lines.h"
#include "ui/FileDialog.h"
#include "ui/Modal.h"
#include "ui/column/frmColumn.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QClipboard>
#include <QMimeData>
#include <QStringEncoder>
#include <QUrl>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

// Keywords in, keywords out: the add-keywords dialog, the pending view, and the two deletions.
class TestIntake : public WindowTest
{
    Q_OBJECT
private slots:
    void linesAndBlanks();
    void keywordEquality_data();
    void keywordEquality();
    void batchesAndTheirResults();
    void duplicatesWithAndWithoutTheBox();
    void buttonsDuringABatchAndAFailureHalfway();
    void countsBeyondSixteenBits();
    void deletingTheCurrentKeyword();
    void deletingEverything();
    void pendingView();
    void filesByCtrlOAndByDropping();
};

void TestIntake::linesAndBlanks()
{
    const auto split = [](const QString& text) {
        QStringList out;
        for (QStringView line : Lines::split(text))
            out << line.toString();
        return out;
    };
    QCOMPARE(split(u"abc"_s), QStringList(u"abc"_s));
    QCOMPARE(split(u"a\r\nb\nc\rd\r\n"_s), QStringList({u"a"_s, u"b"_s, u"c"_s, u"d"_s, QString()}));
    // A lone CR followed by LF elsewhere, and the text box's own paragraph separator.
    QCOMPARE(split(u"a\r\rb\u2029c"_s), QStringList({u"a"_s, QString(), u"b"_s, u"c"_s}));

    QVERIFY(Lines::isBlank(u""_s));
    QVERIFY(Lines::isBlank(u"   "_s));
    QVERIFY(Lines::isBlank(u" \t\u3000 "_s));
    QVERIFY(!Lines::isBlank(u" a "_s));
    QVERIFY(!Lines::isBlank(u"\u200b"_s));
}

void TestIntake::keywordEquality_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("ASCII case") << QByteArray("Apple") << QByteArray("aPPLE") << true;
    QTest::newRow("the letter Z") << QByteArray("Zoo") << QByteArray("zOO") << true;
    QTest::newRow("a leading space") << QByteArray("apple") << QByteArray(" apple") << false;
    QTest::newRow("a trailing space") << QByteArray("apple") << QByteArray("apple ") << false;
    QTest::newRow("case beyond ASCII") << QStringLiteral("É").toUtf8() << QStringLiteral("é").toUtf8() << false;
    QTest::newRow("what follows a NUL") << QByteArray("a\0b", 3) << QByteArray("a\0c", 3) << false;
    QTest::newRow("Chinese") << QStringLiteral("手机").toUtf8() << QStringLiteral("手机").toUtf8() << true;
    QTest::newRow("not letters") << QByteArray("@[`{") << QByteArray("`{@[") << false;
}

void TestIntake::keywordEquality()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    QCOMPARE(KeywordPrints::equal(a, b), equal);
    QCOMPARE(KeywordPrints::of(a) == KeywordPrints::of(b), equal);
    KeywordPrints prints;
    prints.addStored({{KeywordPrints::of(a), 7}});
    prints.add(KeywordPrints::of(b), 9);
    QList<qint64> ids;
    prints.rowsWith(KeywordPrints::of(a), ids);
    QCOMPARE(ids, equal ? QList<qint64>({7, 9}) : QList<qint64>({7}));
}

void TestIntake::batchesAndTheirResults()
{
    QVERIFY(m_raw->exec(u"INSERT INTO Korvels(id, keywords, isSet, classcode) VALUES (1, 'filed', 1, '001')"_s));
    open();
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));
    addBatches({u"abc\r\n\r\n   \r\ndef"_s});
    const auto shown = m_messages->take();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).text, u"2个关键词增加成功！0个关键词因为重复未增加！"_s);
    QCOMPARE(shown.at(0).title, u"提示"_s);
    QCOMPARE(shown.at(0).icon, MessageBox::Icon::Information);
    QCOMPARE(keywords(), QStringList({u"filed"_s, u"abc"_s, u"def"_s}));
    // The dialog added something: the main window moves on to the first unsorted keyword.
    QCOMPARE(txtKey()->text(), u"abc"_s);

    // An empty text is refused; a text of blanks passes and adds nothing; one batch that added something is
    // enough for the main window to fetch again.
    QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 1"_s));
    addBatches({QString(), u"  \n \u3000\n"_s, u" ghi "_s, u"abc"_s});
    QCOMPARE(messages(),
             QStringList({u"请输入关键词！"_s, u"0个关键词增加成功！0个关键词因为重复未增加！"_s,
                          u"1个关键词增加成功！0个关键词因为重复未增加！"_s,
                          u"0个关键词增加成功！1个关键词因为重复未增加！"_s}));
    QCOMPARE(keywords().last(), u" ghi "_s);
    QCOMPARE(txtKey()->text(), u" ghi "_s);

    // Only duplicates: the dialog reports false and the current keyword stays.
    txtKey()->setText(u"still here"_s);
    addBatches({u"abc\ndef"_s});
    QCOMPARE(messages(), QStringList(u"0个关键词增加成功！2个关键词因为重复未增加！"_s));
    QCOMPARE(txtKey()->text(), u"still here"_s);
}

void TestIntake::duplicatesWithAndWithoutTheBox()
{
    open(true);
    const QString text = u"手机\nPhone\nphone\n 手机\n手机"_s;
    addBatches({text, text});
    QCOMPARE(messages(),
             QStringList({u"3个关键词增加成功！2个关键词因为重复未增加！"_s,
                          u"0个关键词增加成功！5个关键词因为重复未增加！"_s}));
    QCOMPARE(keywords(), QStringList({u"手机"_s, u"Phone"_s, u" 手机"_s}));
    addBatches({text}, false);
    QCOMPARE(messages(), QStringList(u"5个关键词增加成功！0个关键词因为重复未增加！"_s));
    QCOMPARE(keywords().size(), 8);
}

void TestIntake::buttonsDuringABatchAndAFailureHalfway()
{
    open(true);
    QVERIFY(m_raw->refuse(u"Korvels"_s, u"INSERT"_s, u"no room for bad"_s, u"NEW.keywords = 'bad'"_s));
    QList<bool> enabledWhileShown;
    Modal::setDriver([&](QDialog& d) {
        auto* add = d.findChild<QPushButton*>(u"cmdAdd"_s);
        auto* exit = d.findChild<QPushButton*>(u"cmdExit"_s);
        m_messages->whileShown
            = [&](const MessageBox::Shown&) { enabledWhileShown << add->isEnabled() << exit->isEnabled(); };
        d.findChild<QPlainTextEdit*>(u"txtKeys"_s)->setPlainText(u"one\ntwo\nbad\nfour"_s);
        QTest::mouseClick(add, Qt::LeftButton);
        QVERIFY(add->isEnabled());
        QVERIFY(exit->isEnabled());
        m_messages->whileShown = nullptr;
        QTest::mouseClick(exit, Qt::LeftButton);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(enabledWhileShown, QList<bool>({false, false}));
    // The operator is told how far it got and why it stopped. A store file keeps what came before the failing
    // line; a server takes a chunk whole or not at all.
    const QStringList kept = TestEngine::onServer() ? QStringList() : QStringList({u"one"_s, u"two"_s});
    QCOMPARE(keywords(), kept);
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(u"no room for bad"_s)
                 && shown.first().contains(u"%1个关键词增加成功"_s.arg(kept.size()))
                 && shown.first().contains(u"%1个关键词因为出错未处理"_s.arg(4 - kept.size())),
             qPrintable(shown.first()));
    QCOMPARE(txtKey()->text(), kept.value(0));
}

void TestIntake::countsBeyondSixteenBits()
{
    open(true);
    QString text;
    for (int i = 0; i < 40000; ++i)
        text += QString::number(i % 35000) + u'\n';
    addBatches({text});
    QCOMPARE(messages(), QStringList(u"35000个关键词增加成功！5000个关键词因为重复未增加！"_s));
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels"_s), u"35000"_s);
}

void TestIntake::deletingTheCurrentKeyword()
{
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    QVERIFY(m_raw->exec(
        u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES (2, 'back', 1, '001', '甲')"_s));
    QVERIFY_OK(m_store->insertKeywords({u"first"_s, u"first"_s, u"last"_s}));
    open();
    auto* del = child(u"cmdDelKey"_s);

    // Exactly the current row goes, not its twin.
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(keywords(), QStringList({u"back"_s, u"first"_s, u"last"_s}));
    QCOMPARE(txtKey()->text(), u"first"_s);

    // After a take-back the taken-back keyword is the one deleted.
    auto* grid = child<QAbstractItemView>(u"Grid1"_s);
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, grid->visualRect(grid->model()->index(0, 2)).center());
    QCOMPARE(txtKey()->text(), u"back"_s);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(keywords(), QStringList({u"first"_s, u"last"_s}));
    QCOMPARE(txtKey()->text(), u"first"_s);

    QTest::mouseClick(del, Qt::LeftButton);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(keywords(), QStringList());
    QCOMPARE(messages(), QStringList(u"所有关键词已设置完毕！"_s));
    // With no current keyword nothing is removed, and the loop says again that all is set.
    QVERIFY_OK(m_store->insertKeywords({u"late"_s}));
    QCOMPARE(m_window->keyId(), 0);
    QTest::mouseClick(del, Qt::LeftButton);
    QCOMPARE(keywords(), QStringList(u"late"_s));
    QCOMPARE(txtKey()->text(), u"late"_s);
}

void TestIntake::deletingEverything()
{
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s, u"c"_s}));
    open();
    rightClickList();
    auto* clear = child(u"lblClearWords"_s);

    m_messages->answer(MessageBox::Answer::No);
    QTest::mouseClick(clear, Qt::LeftButton);
    const auto asked = m_messages->take();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0).text, u"确认删除所有关键词吗？ 数据将不可恢复！"_s);
    QCOMPARE(asked.at(0).title, u"注意"_s);
    QCOMPARE(asked.at(0).icon, MessageBox::Icon::Exclamation);
    QCOMPARE(asked.at(0).buttons, MessageBox::Buttons::YesNo);
    QCOMPARE(asked.at(0).defaultAnswer, MessageBox::Answer::Yes);
    QCOMPARE(keywords().size(), 3);

    m_messages->answer(MessageBox::Answer::Yes);
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(messages().size(), 1);
    QCOMPARE(keywords(), QStringList());
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM KeyClass"_s), u"2"_s);
    QCOMPARE(m_window->gridModel()->rowCount(), 0);
    QCOMPARE(m_window->keyId(), 0);
    QCOMPARE(txtKey()->text(), QString());
}

void TestIntake::pendingView()
{
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many << u"k%1"_s.arg(i, 3, 10, QChar(u'0'));
    QVERIFY_OK(m_store->insertKeywords(many));
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    open();
    QString seen;
    Modal::setDriver([&](QDialog& d) {
        QCOMPARE(d.windowTitle(), u"最近需要设定的关键词"_s);
        QCOMPARE(d.size(), QSize(244, 297));
        QCOMPARE(d.findChild<QWidget*>(u"txtKeys"_s)->geometry(), QRect(9, 9, 226, 277));
        seen = d.findChild<QPlainTextEdit*>(u"txtKeys"_s)->toPlainText();
    });
    const auto look = [&] {
        seen = u"not opened"_s;
        QTest::mouseDClick(txtKey(), Qt::LeftButton);
        return seen;
    };
    QCOMPARE(look(), QStringList(many.mid(0, 100)).join(u'\n') + u'\n');

    // Filing one moves the list up.
    QTest::keyClick(txtKey(), '1');
    QVERIFY(look().startsWith(u"k001\nk002\n"_s));

    QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 1 WHERE keywords <> 'k149'"_s));
    QCOMPARE(look(), u"k149\n"_s);
    QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 1"_s));
    QCOMPARE(look(), QString());
}

void TestIntake::filesByCtrlOAndByDropping()
{
    QVERIFY_OK(m_store->insertKeywords({u"已有"_s}));
    open(true);
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    };
    const QString text = write(u"list.txt"_s, QStringLiteral("手机\n已有\n\n  \nPhone\r\n").toUtf8());
    const QString csv = write(u"export.csv"_s, QStringLiteral("id,关键词\n1,phone\n2,\"平板, 电脑\"\n").toUtf8());
    QStringEncoder gb18030("GB18030");
    const QString guessed = write(u"gb.txt"_s, gb18030.encode(u"火锅\n奶茶"_s));
    QString typed;
    QStringList columns;
    Modal::setDriver([&](QDialog& d) {
        if (qobject_cast<frmColumn*>(&d)) {
            auto* box = d.findChild<QComboBox*>(u"cboColumn"_s);
            for (int i = 0; i < box->count(); ++i)
                columns << box->itemText(i);
            box->setCurrentIndex(1);
            QTest::mouseClick(d.findChild<QPushButton*>(u"OKButton"_s), Qt::LeftButton);
            return;
        }
        auto* box = d.findChild<QPlainTextEdit*>(u"txtKeys"_s);
        box->setPlainText(u"typed"_s);
        // Ctrl+O: a text file and a CSV file, one batch, the box left as it was.
        FileDialog::setNextFileNames({text, csv});
        QTest::keyClick(box, Qt::Key_O, Qt::ControlModifier);
        // Files dropped on the box, or copied in a file manager and pasted: the box takes them as files. The
        // encoding of this one is a guess: declined, and then taken.
        for (const MessageBox::Answer answer : {MessageBox::Answer::No, MessageBox::Answer::Yes}) {
            auto* files = new QMimeData;
            files->setUrls({QUrl::fromLocalFile(guessed)});
            QApplication::clipboard()->setMimeData(files);
            m_messages->answer(answer);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        }
        typed = box->toPlainText();
        QTest::mouseClick(d.findChild<QPushButton*>(u"cmdExit"_s), Qt::LeftButton);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(typed, u"typed"_s);
    QCOMPARE(columns, QStringList({u"第 1 列：id"_s, u"第 2 列：关键词"_s}));
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 4);
    // The same rules and the same report as for pasted text.
    QCOMPARE(shown.at(0), u"3个关键词增加成功！2个关键词因为重复未增加！"_s);
    QVERIFY2(shown.at(1).contains(u"GB18030"_s) && shown.at(1).contains(u"火锅"_s), qPrintable(shown.at(1)));
    QCOMPARE(shown.at(3), u"2个关键词增加成功！0个关键词因为重复未增加！"_s);
    QCOMPARE(keywords(), QStringList({u"已有"_s, u"手机"_s, u"Phone"_s, u"平板, 电脑"_s, u"火锅"_s, u"奶茶"_s}));
}

QTEST_MAIN(TestIntake)
#include "TestIntake.moc"
