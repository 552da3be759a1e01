#include "ExportReader.h"
#include "SessionScript.h"
#include "TestSupport.h"
#include "store/export/Writers.h"
#include "store/intake/KeywordPrints.h"
#include "store/intake/Lines.h"
#include "ui/column/frmColumn.h"

#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QStringEncoder>
#include <QTimer>
#include <QUrl>

// Keywords in, keywords out: the add-keywords dialog and files, the pending view, the two deletions, and awkward
// text end to end.
class TestIntake : public WindowTest
{
    Q_OBJECT
private slots:
    void linesAndBlanks();
    void keywordEquality();
    void batchesAndTheirResults();
    void buttonsDuringABatchAndAFailureHalfway();
    void pendingView();
    void filesByCtrlOAndByDropping();
    void readingAFileLeavesTheWindowsFree();
    void workbookBeyondASheetOffersCsv();
    void messagesShowTextAsTyped();
    // Awkward text, end to end: whatever goes in comes out exactly as it went in.
    void corpusGoesThroughEveryPath();
    void tenMegabytePaste();
};

void TestIntake::linesAndBlanks()
{
    const auto split = [](const QString& text) {
        QStringList out;
        for (QStringView line : Lines::split(text))
            out << line.toString();
        return out;
    };
    QCOMPARE(split(u"a\r\nb\nc\rd\r\n"_s), QStringList({u"a"_s, u"b"_s, u"c"_s, u"d"_s, QString()}));
    // A lone CR followed by LF elsewhere, and the text box's own paragraph separator.
    QCOMPARE(split(u"a\r\rb\u2029c"_s), QStringList({u"a"_s, QString(), u"b"_s, u"c"_s}));

    QVERIFY(Lines::isBlank(u""_s) && Lines::isBlank(u" \t\u3000 "_s));
    QVERIFY(!Lines::isBlank(u" a "_s) && !Lines::isBlank(u"\u200b"_s));
}

void TestIntake::keywordEquality()
{
    // Two keywords, and whether a batch takes them for the same.
    const QList<std::tuple<QByteArray, QByteArray, bool>> pairs = {
        {"Apple", "aPPLE", true},
        {"Zoo", "zOO", true},
        {"apple", " apple", false},
        {"apple", "apple ", false},
        {u"É"_s.toUtf8(), u"é"_s.toUtf8(), false},
        {QByteArray("a\0b", 3), QByteArray("a\0c", 3), false},
        {u"手机"_s.toUtf8(), u"手机"_s.toUtf8(), true},
        {"@[`{", "`{@[", false},
    };
    for (const auto& [a, b, equal] : pairs) {
        QCOMPARE(KeywordPrints::equal(a, b), equal);
        QCOMPARE(KeywordPrints::of(a) == KeywordPrints::of(b), equal);
        KeywordPrints prints;
        prints.addStored({KeywordPrints::of(a)});
        QCOMPARE(prints.insert(KeywordPrints::of(b)), !equal);
    }
    // Many stored prints in runs, and many taken in one by one: each is found, and no other.
    std::vector<KeywordPrints::Print> run[2];
    for (int i = 0; i < 60000; ++i)
        run[i % 2].push_back(KeywordPrints::of(QByteArray::number(i)));
    KeywordPrints prints;
    for (auto& r : run) {
        KeywordPrints::sort(r);
        prints.addStored(std::move(r));
    }
    int taken = 0;
    for (int i = 0; i < 120000; ++i)
        taken += prints.insert(KeywordPrints::of(QByteArray::number(i % 90000))) ? 1 : 0;
    QCOMPARE(taken, 30000);
    QVERIFY(prints.contains(KeywordPrints::of("89999")) && !prints.contains(KeywordPrints::of("90000")));
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

void TestIntake::buttonsDuringABatchAndAFailureHalfway()
{
    // The refused line lies among many that go into the store in one statement.
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << (i == 100 ? u"bad"_s : u"k%1"_s.arg(i));
    open(true);
    QVERIFY(m_raw->refuse(u"Korvels"_s, u"INSERT"_s, u"no room for bad"_s, u"NEW.keywords = 'bad'"_s));
    QList<bool> enabledWhileShown;
    Modal::setDriver([&](QDialog& d) {
        const auto enabled = [&] {
            return QList<bool>({in(d, u"cmdAdd"_s)->isEnabled(), in(d, u"cmdExit"_s)->isEnabled()});
        };
        m_messages->whileShown = [&](const MessageBox::Shown&) { enabledWhileShown << enabled(); };
        in<QPlainTextEdit>(d, u"txtKeys"_s)->setPlainText(lines.join(u'\n'));
        clickIn(d, u"cmdAdd"_s);
        QCOMPARE(enabled(), QList<bool>({true, true}));
        m_messages->whileShown = nullptr;
        clickIn(d, u"cmdExit"_s);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(enabledWhileShown, QList<bool>({false, false}));
    // The operator is told how far it got and why it stopped. A store file keeps what came before the failing
    // line; a server takes a chunk whole or not at all.
    const QStringList kept = TestEngine::onServer() ? QStringList() : lines.mid(0, 100);
    QCOMPARE(keywords(), kept);
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(u"no room for bad"_s)
                 && shown.first().contains(u"%1个关键词增加成功"_s.arg(kept.size()))
                 && shown.first().contains(u"%1个关键词因为出错未处理"_s.arg(200 - kept.size())),
             qPrintable(shown.first()));
    QCOMPARE(txtKey()->text(), kept.value(0));
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
        QCOMPARE(in(d, u"txtKeys"_s)->geometry(), QRect(9, 9, 226, 277));
        seen = in<QPlainTextEdit>(d, u"txtKeys"_s)->toPlainText();
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
    const QString text = writeFile(dir.filePath(u"list.txt"_s), QStringLiteral("手机\n已有\n\n  \nPhone\r\n").toUtf8());
    const QString csv
        = writeFile(dir.filePath(u"export.csv"_s), QStringLiteral("id,关键词\n1,phone\n2,\"平板, 电脑\"\n").toUtf8());
    QStringEncoder gb18030("GB18030");
    const QString guessed = writeFile(dir.filePath(u"gb.txt"_s), gb18030.encode(u"火锅\n奶茶"_s));
    // Files of one column are asked about their header too; the program's own export is not asked about.
    const QString oneColumn = writeFile(dir.filePath(u"one.csv"_s), "keyword\nred, apple\nbanana\n");
    const QString own = writeFile(dir.filePath(u"own.csv"_s),
                                  QStringLiteral("\uFEFF关键词,ID,分类编码,分类,状态\r\n自有,1,,,未设置\r\n").toUtf8());
    const QString workbook = dir.filePath(u"one.xlsx"_s);
    {
        auto writer = Export::openWriter(workbook, Export::Format::Xlsx);
        QVERIFY_OK(writer);
        QVERIFY_OK((*writer)->row({u"关键词"_s}));
        QVERIFY_OK((*writer)->row({u"耳机"_s}));
        QVERIFY_OK((*writer)->finish());
    }
    QString typed;
    // Each question: the columns offered, and whether the header box was ticked.
    QStringList columns;
    Modal::setDriver([&](QDialog& d) {
        if (qobject_cast<frmColumn*>(&d)) {
            auto* box = in<QComboBox>(d, u"cboColumn"_s);
            QStringList offered;
            for (int i = 0; i < box->count(); ++i)
                offered << box->itemText(i);
            auto* header = in<QCheckBox>(d, u"chkHeader"_s);
            columns << offered.join(u'|') + (header->isChecked() ? u" ✓"_s : u""_s);
            box->setCurrentIndex(box->count() - 1);
            header->setChecked(true);
            clickIn(d, u"OKButton"_s);
            return;
        }
        auto* box = in<QPlainTextEdit>(d, u"txtKeys"_s);
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
        FileDialog::setNextFileNames({workbook, oneColumn, own});
        QTest::keyClick(box, Qt::Key_O, Qt::ControlModifier);
        typed = box->toPlainText();
        clickIn(d, u"cmdExit"_s);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(typed, u"typed"_s);
    QCOMPARE(columns, QStringList({u"第 1 列：id|第 2 列：关键词 ✓"_s, u"第 1 列：关键词"_s, u"第 1 列：keyword"_s}));
    const QStringList shown = messages();
    QCOMPARE(shown.size(), 5);
    // The same rules and the same report as for pasted text.
    QCOMPARE(shown.at(0), u"3个关键词增加成功！2个关键词因为重复未增加！"_s);
    QVERIFY2(shown.at(1).contains(u"GB18030"_s) && shown.at(1).contains(u"火锅"_s), qPrintable(shown.at(1)));
    QCOMPARE(shown.at(3), u"2个关键词增加成功！0个关键词因为重复未增加！"_s);
    QCOMPARE(shown.at(4), u"4个关键词增加成功！0个关键词因为重复未增加！"_s);
    QCOMPARE(keywords(),
             QStringList({u"已有"_s, u"手机"_s, u"Phone"_s, u"平板, 电脑"_s, u"火锅"_s, u"奶茶"_s, u"耳机"_s,
                          u"red, apple"_s, u"banana"_s, u"自有"_s}));
}

void TestIntake::readingAFileLeavesTheWindowsFree()
{
    open(true);
    QTemporaryDir dir;
    const QString big
        = writeFile(dir.filePath(u"big.txt"_s), QByteArray("关键词 一二三四五六七八九十\n").repeated(400000));
    bool windowsServed = false;
    Modal::setDriver([&](QDialog& d) {
        // Closing the dialog while the file is read stops the reading: nothing is added and nothing said.
        QTimer::singleShot(0, &d, [&] {
            windowsServed = true;
            d.close();
        });
        FileDialog::setNextFileNames({big});
        QTest::keyClick(in(d, u"txtKeys"_s), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(windowsServed);
        QVERIFY(d.isVisible());
        clickIn(d, u"cmdExit"_s);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(messages(), QStringList());
    QCOMPARE(keywords(), QStringList());
}

void TestIntake::workbookBeyondASheetOffersCsv()
{
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    QVERIFY_OK(m_store->insertKeywords({u"一"_s, u"二"_s}));
    open(true);
    type(u"11"_s);
    m_messages->take();
    // The class's count says it holds more keywords than a sheet has rows below its header.
    QVERIFY(m_raw->exec(u"UPDATE ClassCounts SET n = 1048576 WHERE classcode = '001'"_s));
    QTemporaryDir dir;
    for (const MessageBox::Answer answer : {MessageBox::Answer::No, MessageBox::Answer::Yes}) {
        m_messages->answer(answer);
        FileDialog::setNextFileName(dir.filePath(u"甲.xlsx"_s));
        click(u"lblExpert"_s);
        const auto asked = m_messages->take();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).buttons, MessageBox::Buttons::YesNo);
        QVERIFY2(asked.at(0).text.contains(u"1048576"_s) && asked.at(0).text.contains(u"CSV"_s),
                 qPrintable(asked.at(0).text));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 answer == MessageBox::Answer::No ? QStringList() : QStringList(u"甲.csv"_s));
    }
    QCOMPARE(ExportReader::csv(dir.filePath(u"甲.csv"_s)).size(), 3);
}

void TestIntake::messagesShowTextAsTyped()
{
    m_messages.reset();
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            box->accept();
        }
    });
    MessageBox::inform(nullptr, u"<b>x</b>"_s);
    QCOMPARE(format, Qt::PlainText);
}

void TestIntake::corpusGoesThroughEveryPath()
{
    const QStringList words = awkwardKeywords();
    QStringList stored = words;
    // Text with no stored form of its own is kept with the replacement character in its place.
    stored[stored.size() - 2].replace(QChar(0xD800), QChar::ReplacementCharacter);
    stored.replaceInStrings(QString(QChar(0xFFFF)), QString(QChar::ReplacementCharacter));
    stored.replaceInStrings(QString(QChar(0xFFFE)), QString(QChar::ReplacementCharacter));
    // A server's text holds no NUL either, nor U+FEFF at its start.
    if (TestEngine::onServer()) {
        stored.replaceInStrings(QString(QChar(0)), QString(QChar::ReplacementCharacter));
        stored.replaceInStrings(u"\ufeffbyte"_s, u"\ufffdbyte"_s);
    }

    open(true);
    const QString title = u"It's \"类\" \\ 100% _x0041_ 😀 \u200b"_s;
    answerClassEditor(title, u"😀"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(sql(u"SELECT title, qKey, path FROM KeyClass WHERE code = '001'"_s), title + u"|😀| > "_s + title);

    // In with duplicate exclusion, then again without: every line stored as typed, twice.
    addBatches({words.join(u"\r\n"_s)}, true);
    addBatches({words.join(u'\n')}, false);
    QCOMPARE(messages(), QStringList(2, u"%1个关键词增加成功！0个关键词因为重复未增加！"_s.arg(words.size())));
    QCOMPARE(keywords(), stored + stored);
    QCOMPARE(txtKey()->text(), stored.first());

    // Filed one by one with the emoji quick key: the grid shows each keyword and the title as stored.
    for (qsizetype i = 0; i < words.size(); ++i) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, u"😀"_s);
        QApplication::sendEvent(txtKey(), &press);
    }
    QCOMPARE(messages(), QStringList());
    ExportReader::Rows expected = {{u"ID"_s, u"分类"_s, u"关键词"_s}};
    QStringList rows;
    for (qsizetype i = words.size() - 1; i >= 0; --i) {
        expected << QStringList {QString::number(i + 1), title, stored.at(i)};
        rows << expected.last().join(u'|');
    }
    QCOMPARE(gridRows(*m_window->session().gridModel(), 0, int(words.size()) + 1), rows + QStringList(u"||"_s));

    // Exported and read back as a spreadsheet would, the CSV whole; a workbook cell cannot hold the longest.
    QTemporaryDir dir;
    FileDialog::setNextFileName(dir.filePath(u"corpus.csv"_s));
    click(u"lblExpert"_s);
    QCOMPARE(ExportReader::csv(dir.filePath(u"corpus.csv"_s)), expected);
    FileDialog::setNextFileName(dir.filePath(u"corpus.xlsx"_s));
    click(u"lblExpert"_s);
    QVERIFY(messages().value(0).contains(u"32767"_s));
    QVERIFY(!QFile::exists(dir.filePath(u"corpus.xlsx"_s)));
    // Without it (taken back), the workbook holds every other keyword exactly.
    takeBack(0);
    QCOMPARE(txtKey()->text(), stored.last());
    FileDialog::setNextFileName(dir.filePath(u"corpus.xlsx"_s));
    click(u"lblExpert"_s);
    expected.removeAt(1);
    QCOMPARE(ExportReader::xlsx(dir.filePath(u"corpus.xlsx"_s)), expected);
    QCOMPARE(messages(), QStringList());
}

void TestIntake::tenMegabytePaste()
{
    open(true);
    // Its last 50,000 lines repeat earlier ones, chunks apart.
    QString text;
    for (int i = 0; i < 400000; ++i)
        text += u"粘贴的关键词 %1"_s.arg(i % 350000, 7, 10, QChar(u'0'))
            + (i % 3 == 0       ? u"\r\n"_s
                   : i % 3 == 1 ? u"\n"_s
                                : u"\r"_s);
    QVERIFY(text.size() * 2 > 10'000'000);
    QApplication::clipboard()->setText(text);
    Modal::setDriver([&](QDialog& d) {
        // Pasted with Ctrl+V between two lines already typed: the box shows every line where it belongs.
        auto* box = in<QPlainTextEdit>(d, u"txtKeys"_s);
        box->setPlainText(u"before\nafter"_s);
        box->moveCursor(QTextCursor::Down);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        const QString shown = box->toPlainText();
        QVERIFY(shown.startsWith(u"before\n粘贴的关键词 0000000\n粘贴的关键词 0000001\n"_s));
        QVERIFY(shown.endsWith(u"粘贴的关键词 0049999\nafter"_s));
        QCOMPARE(shown.count(u'\n'), 400001);
        clickIn(d, u"cmdAdd"_s);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(messages(), QStringList(u"350002个关键词增加成功！50000个关键词因为重复未增加！"_s));
    QCOMPARE(sql(u"SELECT keywords FROM Korvels WHERE id = 350001"_s), u"粘贴的关键词 0349999"_s);
    QCOMPARE(sql(u"SELECT keywords FROM Korvels WHERE id = 350002"_s), u"after"_s);
    QCOMPARE(sql(u"SELECT count(DISTINCT keywords) FROM Korvels"_s), u"350002"_s);
}

QTEST_MAIN(TestIntake)
#include "TestIntake.moc"
