#include "ExportReader.h"
#include "TestSupport.h"
#include "ui/Modal.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include "ui/FileDialog.h"

#include <QTableView>

// Awkward text, end to end: whatever goes in comes out exactly as it went in.
class TestBadInput : public WindowTest
{
    Q_OBJECT
private slots:
    void corpusGoesThroughEveryPath();
    void tenMegabytePaste();

};

void TestBadInput::corpusGoesThroughEveryPath()
{
    const QStringList words = awkwardKeywords();
    QStringList stored = words;
    // Text with no stored form of its own is kept with the replacement character in its place.
    stored[stored.size() - 2].replace(QChar(0xD800), QChar::ReplacementCharacter);
    stored.replaceInStrings(QString(QChar(0xFFFF)), QString(QChar::ReplacementCharacter));
    // A server's text holds no NUL either, nor U+FEFF at its start.
    if (TestEngine::onServer()) {
        stored.replaceInStrings(QString(QChar(0)), QString(QChar::ReplacementCharacter));
        stored.replaceInStrings(u"\ufeffbyte"_s, u"\ufffdbyte"_s);
    }

    open(true);
    const QString title = u"It's \"类\" \\ 100% _x0041_ 😀 \u200b"_s;
    answerClassEditor(title, u"😀"_s);
    click(u"cmdAdd"_s);
    answerClassEditor(u"'; DELETE FROM KeyClass; --"_s, u"'"_s);
    click(u"cmdAdd"_s);
    QCOMPARE(
        m_raw->rows(u"SELECT title, qKey, path FROM KeyClass WHERE code <> '' ORDER BY id"_s),
        QStringList({title + u"|😀| > "_s + title, u"'; DELETE FROM KeyClass; --|'| > '; DELETE FROM KeyClass; --"_s}));
    messages();

    // In with duplicate exclusion, then again without: every line stored as typed, twice.
    addBatches({words.join(u"\r\n"_s)}, true);
    QCOMPARE(messages().value(0), u"%1个关键词增加成功！0个关键词因为重复未增加！"_s.arg(words.size()));
    addBatches({words.join(u'\n')}, false);
    const QStringList rows = m_raw->rows(u"SELECT keywords FROM Korvels ORDER BY id"_s);
    QCOMPARE(rows.size(), 2 * words.size());
    for (qsizetype i = 0; i < words.size(); ++i) {
        QCOMPARE(rows.at(i), stored.at(i));
        QCOMPARE(rows.at(i + words.size()), stored.at(i));
    }
    QCOMPARE(txtKey()->text(), stored.first());

    // The pending view lists them as stored.
    QString pending;
    Modal::setDriver(
        [&](QDialog& d) { pending = d.findChild<QPlainTextEdit*>(u"txtKeys"_s)->document()->toRawText(); });
    QTest::mouseDClick(txtKey(), Qt::LeftButton);
    QVERIFY(pending.replace(QChar::ParagraphSeparator, u'\n').startsWith(stored.join(u'\n') + u'\n'));
    messages();

    // Filed one by one with the emoji quick key: the grid shows each keyword and the title as stored.
    for (qsizetype i = 0; i < words.size(); ++i) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, u"😀"_s);
        QApplication::sendEvent(txtKey(), &press);
    }
    QCOMPARE(messages(), QStringList());
    const KeywordGridModel* grid = m_window->gridModel();
    QCOMPARE(grid->dataRowCount(), words.size());
    for (int row = 0; row < grid->dataRowCount(); ++row) {
        QCOMPARE(grid->index(row, 2).data().toString(), stored.at(words.size() - 1 - row));
        QCOMPARE(grid->index(row, 1).data().toString(), title);
    }

    // Take back the longest: it is current again, exactly.
    auto* view = m_window->findChild<QTableView*>(u"Grid1"_s);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, view->visualRect(grid->index(0, 2)).center());
    QCOMPARE(txtKey()->text(), stored.last());
    QCOMPARE(m_raw->value(u"SELECT isSet FROM Korvels WHERE id = ?"_s, {m_window->keyId()}), u"0"_s);

    // Exported and read back as a spreadsheet would.
    ExportReader::Rows expected = {{u"ID"_s, u"分类"_s, u"关键词"_s}};
    for (int row = 0; row < grid->dataRowCount(); ++row)
        expected << QStringList {grid->index(row, 0).data().toString(), title, grid->index(row, 2).data().toString()};
    QTemporaryDir dir;
    for (const QString& name : {u"corpus.csv"_s, u"corpus.xlsx"_s}) {
        FileDialog::setNextFileName(dir.filePath(name));
        click(u"lblExpert"_s);
        const auto back
            = name.endsWith(u".csv"_s) ? ExportReader::csv(dir.filePath(name)) : ExportReader::xlsx(dir.filePath(name));
        QCOMPARE(back.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(back.at(i), expected.at(i));
    }
    QCOMPARE(messages(), QStringList());

    // A cell too long for a workbook: refused with the reason, and the CSV still takes it.
    QTest::keyClick(txtKey(), Qt::Key_Escape);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, u"😀"_s);
    QApplication::sendEvent(txtKey(), &press);
    FileDialog::setNextFileName(dir.filePath(u"long.xlsx"_s));
    click(u"lblExpert"_s);
    QVERIFY(messages().value(0).contains(u"32767"_s));
    QVERIFY(!QFile::exists(dir.filePath(u"long.xlsx"_s)));
    FileDialog::setNextFileName(dir.filePath(u"long.csv"_s));
    click(u"lblExpert"_s);
    QCOMPARE(ExportReader::csv(dir.filePath(u"long.csv"_s)).value(1).value(2), stored.last());
}

void TestBadInput::tenMegabytePaste()
{
    open(true);
    QString text;
    for (int i = 0; i < 400000; ++i)
        text += u"粘贴的关键词 %1"_s.arg(i, 7, 10, QChar(u'0')) + (i % 3 == 0 ? u"\r\n"_s : i % 3 == 1 ? u"\n"_s : u"\r"_s);
    QVERIFY(text.size() * 2 > 10'000'000);
    QApplication::clipboard()->setText(text);
    Modal::setDriver([&](QDialog& d) {
        // Pasted with Ctrl+V between two lines already typed: the box shows every line where it belongs.
        auto* box = d.findChild<QPlainTextEdit*>(u"txtKeys"_s);
        box->setPlainText(u"before\nafter"_s);
        box->moveCursor(QTextCursor::Down);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        const QString shown = box->toPlainText();
        QVERIFY(shown.startsWith(u"before\n粘贴的关键词 0000000\n粘贴的关键词 0000001\n"_s));
        QVERIFY(shown.endsWith(u"粘贴的关键词 0399999\nafter"_s));
        QCOMPARE(shown.count(u'\n'), 400001);
        QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
    });
    click(u"lblAddWords"_s);
    QCOMPARE(messages(), QStringList(u"400002个关键词增加成功！0个关键词因为重复未增加！"_s));
    QCOMPARE(m_raw->value(u"SELECT keywords FROM Korvels WHERE id = 400001"_s), u"粘贴的关键词 0399999"_s);
    QCOMPARE(m_raw->value(u"SELECT keywords FROM Korvels WHERE id = 400002"_s), u"after"_s);
    QCOMPARE(m_raw->value(u"SELECT count(DISTINCT keywords) FROM Korvels"_s), u"400002"_s);
}

QTEST_MAIN(TestBadInput)
#include "TestBadInput.moc"
