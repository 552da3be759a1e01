#include "ExportReader.h"
#include "TestSupport.h"
#include "store/RawColumns.h"
#include "store/export/Export.h"
#include "store/intake/KeywordFile.h"
#include "store/intake/Numbers.h"
#include "store/intake/Table.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Keyword tools' exports read with their numbers, the numbers kept in the store beside the keywords, and handed on
// by the exports and the counts.
class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_store = std::make_unique<TempStore>(); }
    void numbersAsToolsWriteThem_data();
    void numbersAsToolsWriteThem();
    void utf16ReadInPlace_data();
    void utf16ReadInPlace();
    void rawCellsAsWritten_data();
    void rawCellsAsWritten();
    void exportsReadBackExactly_data();
    void exportsReadBackExactly();
    void storedWithTheirKeywords();
    void olderStoreGetsNumbers();
    void aWideFileKeepsEveryColumn();
    void exportsComeBack_data();
    void exportsComeBack();
    void volumesByClass();

private:
    static QString shown(const std::optional<double>& v) { return v ? QString::number(*v, 'g', 15) : QString(); }
    // A keyword and its numbers, as "keyword|volume|volumeHigh|competition|bidLow|bidHigh".
    static QString shown(const QString& keyword, const KeywordMetrics& m)
    {
        const auto whole = [](const std::optional<qint64>& v) { return v ? QString::number(*v) : QString(); };
        return QStringList {keyword,         whole(m.volume), whole(m.volumeHigh), shown(m.competition),
                            shown(m.bidLow), shown(m.bidHigh)}
            .join(u'|');
    }
    // A keyword's raw columns that hold something, as "name=cell; ...", in the file's order or by name.
    static QString rawShown(const KeywordMetrics& m, bool byName = false)
    {
        const QStringList names = RawColumns::split(m.rawNames);
        const QStringList cells = RawColumns::split(m.raw);
        QStringList out;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!cells.value(i).isEmpty())
                out << names.at(i) + u'=' + cells.at(i);
        }
        if (byName)
            out.sort();
        return out.join(u"; "_s);
    }
    // Every keyword of the store (the test's own unless named) by id, with its numbers and, if asked, raw columns.
    QStringList stored(const QString& location = {}, bool raw = false);
    ProgramRun korvel(const QStringList& arguments)
    {
        return runProgram(QString::fromUtf8(KORVEL_SHIPPED), QStringList {u"--db"_s, m_store->path} + arguments);
    }
    std::unique_ptr<TempStore> m_store;
    QTemporaryDir m_dir;
};

void TestNumbers::initTestCase()
{
    if (const QString missing = TestEngine::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

QStringList TestNumbers::stored(const QString& location, bool raw)
{
    auto store = openStore(location.isEmpty() ? m_store->path : location);
    if (!store)
        return {store.error()};
    const auto rows = (*store)->keywordsAfter(0, 1000);
    QList<qint64> ids;
    for (const KeywordRow& k : rows.value())
        ids << k.id;
    const auto metrics = (*store)->metricsOf(ids);
    if (!metrics)
        return {metrics.error()};
    QStringList out;
    for (const KeywordRow& k : rows.value())
        out << shown(k.keywords, metrics->value(k.id))
                + (raw ? u" / "_s + rawShown(metrics->value(k.id), true) : QString());
    return out;
}

void TestNumbers::numbersAsToolsWriteThem_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("decimalComma");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"12100"_s << false << u"12100|"_s;
    QTest::newRow("grouped by commas") << u"1,234,567"_s << false << u"1234567|"_s;
    QTest::newRow("a comma in a file of decimal commas") << u"0,45 €"_s << true << u"0.45|"_s;
    QTest::newRow("grouped by points, decimal comma") << u"1.234,5"_s << false << u"1234.5|"_s;
    QTest::newRow("a point that groups thousands") << u"1.234"_s << true << u"1234|"_s;
    QTest::newRow("a decimal point") << u"1.234"_s << false << u"1.234|"_s;
    QTest::newRow("no-break spaces") << u"12\u00a0100"_s << true << u"12100|"_s;
    QTest::newRow("a currency sign") << u"US$1.10"_s << false << u"1.1|"_s;
    QTest::newRow("a range with an en dash") << u"1K – 10K"_s << false << u"1000|10000"_s;
    QTest::newRow("a range with a hyphen") << u"100-1k"_s << false << u"100|1000"_s;
    QTest::newRow("millions") << u"1M – 10M"_s << false << u"1000000|10000000"_s;
    QTest::newRow("ten thousands") << u"2.5万"_s << false << u"25000|"_s;
    QTest::newRow("a dash alone") << u"-"_s << false << u"|"_s;
    QTest::newRow("words") << u"Low"_s << false << u"|"_s;
}

void TestNumbers::numbersAsToolsWriteThem()
{
    QFETCH(QString, field);
    QFETCH(bool, decimalComma);
    QFETCH(QString, expected);
    const Numbers::Range range = Numbers::parse(field, decimalComma);
    QCOMPARE(shown(range.low) + u'|' + shown(range.high), expected);
}

void TestNumbers::utf16ReadInPlace_data()
{
    // A UTF-16 file is read a piece of 4 MB at a time; a pair of surrogates may straddle two pieces.
    QTest::addColumn<qsizetype>("before");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("valid");
    const qsizetype pieceEnd = (4 << 20) / 2 - 1;
    const QString high(QChar(0xD83D));
    QTest::newRow("a pair") << qsizetype(3) << u"\U0001F600"_s << u"b"_s << true;
    QTest::newRow("a lone low surrogate") << qsizetype(3) << QString(QChar(0xDC00)) << u"b"_s << false;
    QTest::newRow("a high surrogate at the end") << qsizetype(3) << high << QString() << false;
    QTest::newRow("a pair across two pieces") << pieceEnd << u"\U0001F600"_s << u"b"_s << true;
    QTest::newRow("a high surrogate ending a piece, alone") << pieceEnd << high << u"b"_s << false;
}

void TestNumbers::utf16ReadInPlace()
{
    QFETCH(qsizetype, before);
    QFETCH(QString, units);
    QFETCH(QString, after);
    QFETCH(bool, valid);
    const QString text = QString(before, u'a') + units + after;
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const auto opened = KeywordFile::open(writeFile(m_dir.filePath(u"u.txt"_s), bytes));
    QCOMPARE(opened.ok(), valid);
    if (valid)
        QCOMPARE((*opened)->preview(1).value(0), text.first(std::min<qsizetype>(text.size(), 4096)));
}

void TestNumbers::rawCellsAsWritten_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QChar>("delimiter");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("cells");
    const QChar tab(u'\t');
    QTest::newRow("tabs, the keyword first") << u"kw\t1\t\t3"_s << tab << u"0111"_s << QStringList {u"1"_s, {}, u"3"_s};
    QTest::newRow("tabs, the keyword between")
        << u"a\tb\tkw\tc\td"_s << tab << u"11011"_s << QStringList {u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("tabs, a blank first") << u"\tkw\tx"_s << tab << u"101"_s << QStringList {{}, u"x"_s};
    QTest::newRow("commas") << u"kw,a\\b,,c"_s << QChar(u',') << u"0111"_s << QStringList {u"a\\b"_s, {}, u"c"_s};
    QTest::newRow("a tab inside a comma field")
        << u"kw,a\tb,c"_s << QChar(u',') << u"011"_s << QStringList {u"a\tb"_s, u"c"_s};
    QTest::newRow("quoted") << u"kw;\"x;\"\"y\"\"\";z"_s << QChar(u';') << u"011"_s
                            << QStringList {u"x;\"y\""_s, u"z"_s};
    QTest::newRow("fewer fields than columns") << u"kw,1"_s << QChar(u',') << u"0111"_s << QStringList {u"1"_s};
}

void TestNumbers::rawCellsAsWritten()
{
    QFETCH(QString, line);
    QFETCH(QChar, delimiter);
    QFETCH(QString, kept);
    QFETCH(QStringList, cells);
    QList<bool> mask;
    for (const QChar c : kept)
        mask << (c == u'1');
    QCOMPARE(RawColumns::split(Table::rawCells(line, delimiter, mask)), cells);
}

void TestNumbers::exportsReadBackExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    // The first keyword's raw columns, every other column of the file as written.
    QTest::addColumn<QString>("firstRaw");
    QTest::newRow("Keyword Planner") << u"planner.csv"_s
                                     << QStringList {u"running shoes|10000||100|0.85|2.64"_s,
                                                     u"trail running shoes|1000||52|1.07|3.1"_s,
                                                     u"running shoes, women|100||7||"_s, u"barefoot shoes|||||"_s}
                                     << u"Currency=USD; Avg. monthly searches=10000; Three month change=0%; "
                                        u"YoY change=-18%; Competition=High; Competition (indexed value)=100; "
                                        u"Top of page bid (low range)=0.85; Top of page bid (high range)=2.64; "
                                        u"Searches: Jan 2024=9900; Searches: Feb 2024=12100"_s;
    QTest::newRow("Keyword Planner, ranges")
        << u"planner-ranges.csv"_s
        << QStringList {u"running shoes|10000|100000|100|0.85|2.64"_s, u"shoe stretcher|1000|10000|12|0.31|1.2"_s,
                        u"heel grips|100|1000|||"_s, u"lace locks|0|10|||"_s}
        << u"Currency=USD; Avg. monthly searches=10K – 100K; Competition=High; Competition (indexed value)=100; "
           u"Top of page bid (low range)=0.85; Top of page bid (high range)=2.64; Searches: Jan 2024=10K – 100K"_s;
    QTest::newRow("Keyword Planner, French")
        << u"planner-fr.csv"_s
        << QStringList {u"chaussures de course|12100||100|0.85|2.64"_s, u"chaussures trail|1000|10000|52|1.07|3.1"_s,
                        u"semelles|1000||7|0.3|"_s}
        << u"Devise=EUR; Moyenne des recherches mensuelles=12\u00a0100; Concurrence=Élevée; "
           u"Concurrence (valeur indexée)=100; Enchère en haut de page (plage basse)=0,85; "
           u"Enchère en haut de page (plage haute)=2,64"_s;
    QTest::newRow("Baidu, daily made monthly")
        << u"baidu.csv"_s
        << QStringList {u"鲜花速递|3600||75|3.5|3.5"_s, u"同城送花|240||40|1.2|1.2"_s, u"花店|0||||"_s}
        << u"整体日均搜索量=120; 移动日均搜索量=100; 计算机日均搜索量=20; 竞争激烈程度=75; 左侧（上方）准入价=3.50"_s;
    QTest::newRow("Semrush") << u"semrush.csv"_s
                             << QStringList {u"running shoes|90500||100|0.95|0.95"_s,
                                             u"shoes, running|880||61|1.63|1.63"_s,
                                             u"best running shoes 2024|40||33||"_s}
                             << u"Intent=Commercial; Volume=90500; Trend=0.81,1.00,0.81; Keyword Difficulty=100; "
                                u"CPC=0.95; Competitive Density=1.00; Number of Results=1200000000"_s;
    QTest::newRow("Ahrefs-style, semicolons")
        << u"ahrefs.csv"_s
        << QStringList {u"running shoes|70000||89|1.1|1.1"_s, u"running shoes for flat feet|4400||12|0.7|0.7"_s}
        << u"#=1; KD=89; Search Volume=70000; CPC=$1.10; Parent Keyword=running shoes"_s;
}

void TestNumbers::exportsReadBackExactly()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QFETCH(QString, firstRaw);
    auto opened = KeywordFile::open(QString::fromUtf8(KORVEL_TEST_DATA) + u"/exports/"_s + file);
    QVERIFY_OK(opened);
    KeywordFile& f = **opened;
    QVERIFY(f.encodingSure());
    QVERIFY(f.ownExport());
    QStringList read;
    QList<QString> lines;
    QList<KeywordMetrics> metrics;
    while (true) {
        lines.clear();
        const auto more = f.read(lines, 2);
        QVERIFY_OK(more);
        if (!*more)
            break;
        QVERIFY(f.takeMetrics(metrics));
        QCOMPARE(metrics.size(), lines.size());
        if (read.isEmpty())
            QCOMPARE(rawShown(metrics.first()), firstRaw);
        for (qsizetype i = 0; i < lines.size(); ++i)
            read << shown(lines.at(i), metrics.at(i));
    }
    QCOMPARE(read, expected);
}

void TestNumbers::storedWithTheirKeywords()
{
    // The first line of a keyword keeps its numbers; a duplicate's are dropped, in the file and across batches.
    const QString first = writeFile(m_dir.filePath(u"first.csv"_s),
                                    "Keyword,Volume,KD,CPC\nshoes,100,10,1.5\nboots,,20,\nshoes,999,99,9.9\n");
    const QString second
        = writeFile(m_dir.filePath(u"second.csv"_s), "Keyword,Volume,KD,CPC\nBOOTS,50,,\nsocks,70,,0.2\n");
    ProgramRun run = korvel({u"import"_s, first});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(u"2 keywords kept their numbers (a duplicate keeps those of its first line)"_s),
             qPrintable(run.out));
    run = korvel({u"import"_s, second});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QStringList expected {u"shoes|100||10|1.5|1.5"_s, u"boots|||20||"_s, u"socks|70|||0.2|0.2"_s};
    QCOMPARE(stored(), expected);
    // A copy of the store keeps them.
    const QString copy = m_dir.filePath(u"copy.db"_s);
    QVERIFY2(runProgram(QString::fromUtf8(KORVEL_SHIPPED), {u"--copy"_s, m_store->path, copy}).status == 0, "no copy");
    QCOMPARE(stored(copy), expected);
    QCOMPARE(stored(copy, true), stored({}, true));
    // Numbers go with their keyword, one at a time or all at once; they never reach the keywords' own table.
    QCOMPARE(RawDb(m_store->path).value(u"SELECT count(*) FROM Korvels WHERE keywords LIKE '%1%'"_s), u"0"_s);
    auto store = openStore(m_store->path);
    QVERIFY_OK(store);
    const auto rows = (*store)->keywordsAfter(0, 10);
    QVERIFY_OK(rows);
    QVERIFY_OK((*store)->deleteKeyword(rows->first().id));
    QCOMPARE(RawDb(m_store->path).value(u"SELECT count(*) FROM KeywordMetrics"_s), u"2"_s);
    QVERIFY_OK((*store)->deleteAllKeywords());
    QCOMPARE(RawDb(m_store->path).value(u"SELECT count(*) FROM KeywordMetrics"_s), u"0"_s);
}

void TestNumbers::olderStoreGetsNumbers()
{
    // A store from before numbers: its owner's first opening adds their table, and the operator may use it.
    const bool server = TestEngine::onServer();
    {
        RawDb owner(m_store->ownerPath);
        QVERIFY(owner.exec(u"DROP TABLE KeywordMetrics"_s));
        QVERIFY(server || owner.exec(u"DROP TRIGGER Korvels_metrics_delete"_s));
        QVERIFY(owner.exec(server ? u"UPDATE KorvelSchema SET version = 5"_s : u"PRAGMA user_version = 4"_s));
    }
    QVERIFY_OK(openStore(m_store->ownerPath));
    QCOMPARE(RawDb(m_store->ownerPath).value(server ? u"SELECT version FROM KorvelSchema"_s : u"PRAGMA user_version"_s),
             server ? u"7"_s : u"6"_s);
    const QString file = writeFile(m_dir.filePath(u"kw.csv"_s), "Keyword,Volume\nshoes,100\n");
    const ProgramRun run = korvel({u"import"_s, file});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(stored(), QStringList(u"shoes|100||||"_s));
    auto store = openStore(m_store->path);
    QVERIFY_OK(store);
    QVERIFY_OK((*store)->deleteAllKeywords());
    QCOMPARE(RawDb(m_store->ownerPath).value(u"SELECT count(*) FROM KeywordMetrics"_s), u"0"_s);
}

void TestNumbers::aWideFileKeepsEveryColumn()
{
    // Three hundred column names that do not compress: more than a server's index would hold in one entry.
    QByteArray header = "Keyword,Volume";
    QByteArray row = "shoes,100";
    for (int i = 0; i < 300; ++i) {
        header += ",column " + QCryptographicHash::hash(QByteArray::number(i), QCryptographicHash::Md5).toHex();
        row += "," + QByteArray::number(i);
    }
    const QString file = writeFile(m_dir.filePath(u"wide.csv"_s), header + '\n' + row);
    const ProgramRun run = korvel({u"import"_s, file});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QString stored = this->stored({}, true).value(0);
    QVERIFY2(stored.startsWith(u"shoes|100||||"_s), qPrintable(stored));
    QVERIFY2(stored.contains(u"; column "_s
                             + QString::fromLatin1(QCryptographicHash::hash("299", QCryptographicHash::Md5).toHex())
                             + u"=299"_s),
             qPrintable(stored));
}

void TestNumbers::exportsComeBack_data()
{
    // The program's own export of two planner files, or one of the test data's: the program's export of
    // planner-ranges.csv opened in LibreOffice Calc 7.4 and saved by it as xlsx, as CSV (its own quoting, no
    // byte-order mark), and the CSV export opened and saved as xlsx (its text turned numbers).
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("resaved");
    QTest::newRow("CSV") << u"list.csv"_s << false;
    QTest::newRow("workbook") << u"list.xlsx"_s << false;
    QTest::newRow("CSV saved again: semicolons, every field quoted, decimal commas") << u"list.csv"_s << true;
    QTest::newRow("Calc's xlsx") << u"calc-resaved.xlsx"_s << false;
    QTest::newRow("Calc's CSV") << u"calc-resaved.csv"_s << false;
    QTest::newRow("Calc's CSV saved as xlsx") << u"calc-from-csv.xlsx"_s << false;
}

void TestNumbers::exportsComeBack()
{
    QFETCH(QString, name);
    QFETCH(bool, resaved);
    const QString exports = QString::fromUtf8(KORVEL_TEST_DATA) + u"/exports/"_s;
    const bool calc = name.startsWith(u"calc"_s);
    QString path = calc ? exports + name : m_dir.filePath(name);
    // Two layouts that share most of their column names: one export column a name.
    QStringList arguments {u"import"_s, exports + u"planner-ranges.csv"_s};
    if (!calc)
        arguments << exports + u"planner.csv"_s;
    ProgramRun run = korvel(arguments);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    // A keyword with raw columns and no number (barefoot shoes) is not counted as one with numbers.
    QVERIFY2(calc || run.out.contains(u"7 keywords, 1 duplicates left out; 6 keywords kept their numbers"_s),
             qPrintable(run.out));
    // The raw columns come back as written, unless a spreadsheet rewrote their points as commas.
    const QStringList before = stored({}, !resaved);
    QVERIFY(resaved || before.first().contains(u"Searches: Jan 2024=10K – 100K"_s));
    if (!calc) {
        run = korvel({u"export"_s, path});
        QVERIFY2(run.status == 0, qPrintable(run.err));
    }
    if (!calc && name.endsWith(u".csv"_s)) {
        const QStringList header = ExportReader::csv(path).value(0);
        QCOMPARE(QSet<QString>(header.cbegin(), header.cend()).size(), header.size());
        // The list's own five columns, the five numbers, and the twelve raw names of the two layouts.
        QCOMPARE(header.size(), 5 + 5 + 12);
    }
    if (resaved) {
        // As a spreadsheet in a French locale writes it back.
        QStringList lines;
        for (const QStringList& row : ExportReader::csv(path)) {
            QStringList fields;
            for (const QString& field : row)
                fields << u'"' + QString(field).replace(u'.', u',') + u'"';
            lines << fields.join(u';');
        }
        path = writeFile(m_dir.filePath(u"resaved.csv"_s), lines.join(u"\r\n"_s).toUtf8());
    }
    m_store = std::make_unique<TempStore>();
    run = korvel({u"import"_s, path});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(stored({}, !resaved), before);
}

void TestNumbers::volumesByClass()
{
    const QString file = writeFile(m_dir.filePath(u"kw.csv"_s), "Keyword,Volume\na,100\nb,20\nc,3\nd,\n");
    QVERIFY2(korvel({u"import"_s, file}).out.contains(u"3 keywords kept their numbers"_s), "not imported");
    {
        auto store = openStore(m_store->path);
        QVERIFY_OK(store);
        Store& s = **store;
        QVERIFY_OK(s.addClass({}, u"鞋"_s, {}));
        QVERIFY_OK(s.addClass(u"001"_s, u"跑鞋"_s, {}));
        QVERIFY_OK(s.addClass({}, u"袜"_s, {}));
        QVERIFY_OK(s.fileKeyword(1, u"001"_s, u"鞋"_s));
        QVERIFY_OK(s.fileKeyword(2, u"001001"_s, u"跑鞋"_s));
        QVERIFY_OK(s.fileKeyword(4, u"002"_s, u"袜"_s));
        const auto totals = s.volumeTotals();
        QVERIFY_OK(totals);
        QCOMPARE(std::pair(totals->total, totals->filed), std::pair(qint64(123), qint64(120)));
    }
    const ProgramRun run = korvel({u"stats"_s, u"--json"_s});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    const QJsonObject all = QJsonDocument::fromJson(run.out.toUtf8()).object();
    QCOMPARE(all.value(u"volume"_s).toInteger(), qint64(123));
    QCOMPARE(all.value(u"filedVolume"_s).toInteger(), qint64(120));
    QStringList classes;
    for (const QJsonValue c : all.value(u"classes"_s).toArray())
        classes << u"%1 %2 %3"_s.arg(c[u"code"_s].toString())
                       .arg(c[u"volume"_s].toInteger())
                       .arg(c[u"subtreeVolume"_s].toInteger());
    QCOMPARE(classes, (QStringList {u"001 100 120"_s, u"001001 20 20"_s, u"002 0 0"_s}));
}

QTEST_GUILESS_MAIN(TestNumbers)
#include "TestNumbers.moc"
