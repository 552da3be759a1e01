#include "TestSupport.h"
#include "store/export/Export.h"
#include "store/intake/KeywordFile.h"

#include <QFile>
#include <QStringEncoder>

#include <zip.h>

// Keyword files read back exactly: text in every encoding the program tells apart, CSV with its quoting and
// columns, and workbooks, including the program's own exports.
class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void textInEveryEncoding_data();
    void textInEveryEncoding();
    void csvColumnsAndQuoting();
    void workbooks();
    void filesThatCannotBeRead();

private:
    // Every line a file gives, cut as a batch cuts them.
    static QStringList linesOf(KeywordFile& file);
    QString write(const QString& name, const QByteArray& bytes);
    // The awkward keywords a file can hold: no lone surrogate, no non-character, none longer than a cell.
    static QStringList fileKeywords();
    QTemporaryDir m_dir;
};

QStringList TestFiles::linesOf(KeywordFile& file)
{
    QList<QString> lines;
    while (true) {
        const auto more = file.read(lines, 7);
        if (!more || !*more)
            break;
    }
    return lines;
}

QString TestFiles::write(const QString& name, const QByteArray& bytes)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

QStringList TestFiles::fileKeywords()
{
    QStringList words = awkwardKeywords();
    words.removeIf([](const QString& w) { return w.contains(QChar(0xD800)) || w.contains(QChar(0xFFFF)) || w.size() > 1000; });
    return words;
}

void TestFiles::textInEveryEncoding_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<QString>("stated");
    QTest::addColumn<QString>("read");
    QTest::addColumn<bool>("sure");
    QTest::newRow("UTF-8") << u"UTF-8"_s << QByteArray() << QString() << u"UTF-8"_s << true;
    QTest::newRow("UTF-8 with its mark") << u"UTF-8"_s << QByteArray("\xEF\xBB\xBF") << QString() << u"UTF-8"_s << true;
    QTest::newRow("UTF-16LE with its mark") << u"UTF-16LE"_s << QByteArray("\xFF\xFE") << QString() << u"UTF-16LE"_s
                                            << true;
    QTest::newRow("UTF-16BE with its mark") << u"UTF-16BE"_s << QByteArray("\xFE\xFF") << QString() << u"UTF-16BE"_s
                                            << true;
    QTest::newRow("GB18030, guessed") << u"GB18030"_s << QByteArray() << QString() << u"GB18030"_s << false;
    QTest::newRow("GB18030, stated") << u"GB18030"_s << QByteArray() << u"GB18030"_s << u"GB18030"_s << true;
    QTest::newRow("UTF-16LE without its mark") << u"UTF-16LE"_s << QByteArray() << QString() << u"UTF-16LE"_s << false;
}

void TestFiles::textInEveryEncoding()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mark);
    QFETCH(QString, stated);
    QFETCH(QString, read);
    QFETCH(bool, sure);
    // The ASCII keywords first, as in a keyword planner's export, so that a guess has something to go by.
    QStringList words = fileKeywords();
    std::stable_partition(words.begin(), words.end(), [](const QString& w) {
        return std::all_of(w.begin(), w.end(), [](QChar c) { return c.unicode() < 128 && c.unicode() >= 32; });
    });
    QStringEncoder encoder(qPrintable(encoding));
    const QByteArray bytes = mark + QByteArray(encoder.encode(words.join(u"\r\n"_s) + u"\n"_s));
    auto file = KeywordFile::open(write(u"keywords.txt"_s, bytes), {stated});
    QVERIFY_OK(file);
    QCOMPARE((*file)->kind(), KeywordFile::Kind::Text);
    QCOMPARE((*file)->encoding(), read);
    QCOMPARE((*file)->encodingSure(), sure);
    QCOMPARE(linesOf(**file), words << QString());
}

void TestFiles::csvColumnsAndQuoting()
{
    // An export with a header row: the keyword in the second column, quoted where it must be.
    QStringList words = fileKeywords();
    words << u"two\nlines"_s;
    QString csv = u"id,关键词,volume\r\n"_s;
    for (qsizetype i = 0; i < words.size(); ++i) {
        QString field = words.at(i);
        if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n'))
            field = u'"' + field.replace(u"\""_s, u"\"\""_s) + u'"';
        csv += QString::number(i) + u',' + field + u",12\r\n"_s;
    }
    auto file = KeywordFile::open(write(u"export.csv"_s, csv.toUtf8()));
    QVERIFY_OK(file);
    QCOMPARE((*file)->kind(), KeywordFile::Kind::Csv);
    QCOMPARE((*file)->firstRow(), QStringList({u"id"_s, u"关键词"_s, u"volume"_s}));
    (*file)->chooseColumn(1, true);
    QStringList expected = words;
    expected.removeLast();
    // A field with a line break gives a keyword a line, as pasted text would.
    expected << u"two"_s << u"lines"_s;
    QCOMPARE(linesOf(**file), expected);

    // A keyword planner's export: UTF-16 with its mark, separated by tabs; without a choice, the first column.
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    const QByteArray planner
        = "\xFF\xFE" + QByteArray(utf16.encode(u"Keyword\tAvg. monthly searches\r\n手机,价格\t100\r\n\"say \"\"hi\"\"\"\t5\r\n"_s));
    auto tabs = KeywordFile::open(write(u"planner.csv"_s, planner));
    QVERIFY_OK(tabs);
    QCOMPARE(linesOf(**tabs), QStringList({u"Keyword"_s, u"手机,价格"_s, u"say \"hi\""_s}));
}

void TestFiles::workbooks()
{
    // A workbook as Excel writes one: shared strings with runs and phonetic guides, inline strings, numbers,
    // booleans, escapes, an empty row and other columns.
    const QByteArray sheet
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
          "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
          "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>"
          "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c></row>"
          "<row r=\"3\"><c r=\"B3\"><v>7</v></c></row>"
          "<row r=\"4\"><c r=\"A4\"><v>12345</v></c></row>"
          "<row r=\"5\"><c r=\"A5\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> 内联 _x005F_x0041_ </t></is></c></row>"
          "<row r=\"6\"><c r=\"A6\" t=\"b\"><v>1</v></c></row>"
          "<row r=\"7\"><c r=\"A7\" t=\"str\"><f>A1</f><v>公式_x000D_结果</v></c></row>"
          "</sheetData></worksheet>";
    const QByteArray strings
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
          "<si><t>手机价格</t></si>"
          "<si><r><t>东京</t></r><r><t xml:space=\"preserve\"> 旅游</t></r><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>"
          "</sst>";
    const QByteArray workbook
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
          "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
          "<sheet name=\"关键词\" sheetId=\"3\" r:id=\"rId7\"/><sheet name=\"其他\" sheetId=\"1\" r:id=\"rId1\"/>"
          "</sheets></workbook>";
    const QByteArray rels
        = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
          "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>"
          "<Relationship Id=\"rId7\" Target=\"/xl/worksheets/sheet3.xml\"/></Relationships>";
    const QString path = m_dir.filePath(u"book.xlsx"_s);
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    QVERIFY(zip);
    for (const auto& [name, bytes] : {std::pair {"xl/workbook.xml", &workbook},
                                      {"xl/_rels/workbook.xml.rels", &rels},
                                      {"xl/sharedStrings.xml", &strings},
                                      {"xl/worksheets/sheet3.xml", &sheet},
                                      {"xl/worksheets/sheet1.xml", &workbook}}) {
        zip_source_t* source = zip_source_buffer(zip, bytes->constData(), zip_uint64_t(bytes->size()), 0);
        QVERIFY(zip_file_add(zip, name, source, ZIP_FL_ENC_UTF_8) >= 0);
    }
    QVERIFY(zip_close(zip) == 0);
    auto file = KeywordFile::open(path);
    QVERIFY_OK(file);
    QCOMPARE((*file)->kind(), KeywordFile::Kind::Workbook);
    QCOMPARE(linesOf(**file), QStringList({u"手机价格"_s, u"东京 旅游"_s, u"12345"_s, u" 内联 _x0041_ "_s, u"TRUE"_s,
                                          u"公式"_s, u"结果"_s}));

    // The program's own export, written as it goes (strings inline), read back: its first column, the ids.
    TempStore store;
    QVERIFY_OK(store.created);
    auto opened = openStore(store.path);
    QVERIFY_OK(opened);
    QVERIFY_OK((*opened)->addClass({}, u"甲"_s, {}));
    QList<KeywordRow> rows;
    const QStringList words = fileKeywords();
    for (const QString& w : words)
        rows.append({0, w, u"001"_s, w, 1, 0, 0});
    QVERIFY_OK((*opened)->importRows(rows));
    const QString exported = m_dir.filePath(u"export.xlsx"_s);
    QVERIFY_OK(Export::writeSubtree(**opened, u"001"_s, exported, Export::Format::Xlsx));
    auto back = KeywordFile::open(exported);
    QVERIFY_OK(back);
    QStringList expected {u"ID"_s};
    for (qsizetype i = words.size(); i >= 1; --i)
        expected << QString::number(i);
    QCOMPARE(linesOf(**back), expected);
}

void TestFiles::filesThatCannotBeRead()
{
    const auto refused = [](const Result<std::unique_ptr<KeywordFile>>& file, const QString& says) {
        return !file.ok() && file.error().contains(says);
    };
    QVERIFY(refused(KeywordFile::open(m_dir.filePath(u"missing.txt"_s)), u"无法打开文件"_s));
    QVERIFY(refused(KeywordFile::open(write(u"old.xls"_s, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest"))), u"xls"_s));
    QVERIFY(refused(KeywordFile::open(write(u"broken.xlsx"_s, QByteArray("PK\x03\x04 not really a zip"))),
                    u"无法读取工作簿"_s));
    QVERIFY(refused(KeywordFile::open(write(u"latin.txt"_s, QByteArray("caf\xE9")), {u"UTF-8"_s}), u"UTF-8"_s));
    QVERIFY(refused(KeywordFile::open(write(u"x.txt"_s, QByteArray("x")), {u"no-such-encoding"_s}), u"不认识的编码"_s));
}

QTEST_GUILESS_MAIN(TestFiles)
#include "TestFiles.moc"
