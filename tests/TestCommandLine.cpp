#include "ExportReader.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>

// The commands of the command line, run as a script runs them: their output, their exit status, and the
// store afterwards.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void importsFilesOfEveryKind();
    void badInputWritesNothing_data();
    void badInputWritesNothing();
    void exportsStatsAndChecks();

private:
    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };
    Run korvel(const QStringList& arguments);
    QString file(const QString& name, const QByteArray& bytes);
    QStringList keywords() { return RawDb(m_store->path).rows(u"SELECT keywords FROM Korvels ORDER BY id"_s); }
    std::unique_ptr<TempStore> m_store;
};

void TestCommandLine::init()
{
    m_store = std::make_unique<TempStore>();
    QVERIFY_OK(m_store->created);
}

TestCommandLine::Run TestCommandLine::korvel(const QStringList& arguments)
{
    QProcess process;
    process.start(QString::fromUtf8(KORVEL_SHIPPED), QStringList {u"--db"_s, m_store->path} + arguments);
    Run run;
    if (process.waitForFinished(30000)) {
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
    }
    return run;
}

QString TestCommandLine::file(const QString& name, const QByteArray& bytes)
{
    QFile out(m_store->dir.filePath(name));
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(bytes);
    return out.fileName();
}

void TestCommandLine::importsFilesOfEveryKind()
{
    QStringEncoder gb18030("GB18030");
    const QString text = file(u"list.txt"_s, "手机\n\n电脑\r\nPhone\n");
    const QString csv = file(u"planner.csv"_s, "id,keyword\n1,PHONE\n2,\"平板, 电脑\"\n");
    const QString guessed = file(u"gb.txt"_s, gb18030.encode(u"火锅\n手机"_s));
    Run run = korvel({u"import"_s, text, csv, u"--column"_s, u"2"_s, u"--skip-header"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, u"added 4 keywords, 1 duplicates left out\n"_s);
    // An encoding a file does not tell is given; duplicates kept when asked.
    run = korvel({u"import"_s, guessed, u"--encoding"_s, u"GB18030"_s, u"--keep-duplicates"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(keywords(), QStringList({u"手机"_s, u"电脑"_s, u"Phone"_s, u"平板, 电脑"_s, u"火锅"_s, u"手机"_s}));
    // A workbook: the program's own export, keywords first, goes back in as it is.
    QVERIFY(korvel({u"export"_s, m_store->dir.filePath(u"all.xlsx"_s)}).status == 0);
    TempStore other;
    QVERIFY_OK(other.created);
    QProcess again;
    again.start(QString::fromUtf8(KORVEL_SHIPPED), {u"--db"_s, other.path, u"import"_s, m_store->dir.filePath(u"all.xlsx"_s)});
    QVERIFY(again.waitForFinished(30000) && again.exitCode() == 0);
    QCOMPARE(RawDb(other.path).rows(u"SELECT keywords FROM Korvels ORDER BY id"_s),
             QStringList({u"关键词"_s, u"手机"_s, u"电脑"_s, u"Phone"_s, u"平板, 电脑"_s, u"火锅"_s}));
}

void TestCommandLine::badInputWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("a missing file after a good one") << QStringList {u"import"_s, u"good.txt"_s, u"missing.txt"_s}
                                                     << u"missing.txt"_s;
    QTest::newRow("an encoding it cannot tell") << QStringList {u"import"_s, u"good.txt"_s, u"latin.txt"_s}
                                                << u"--encoding"_s;
    QTest::newRow("a column the file lacks") << QStringList {u"import"_s, u"two.csv"_s, u"--column"_s, u"3"_s}
                                             << u"2 columns"_s;
    QTest::newRow("no file") << QStringList {u"import"_s} << u"at least one file"_s;
    QTest::newRow("an option of another command") << QStringList {u"import"_s, u"good.txt"_s, u"--json"_s}
                                                  << u"--json goes with stats"_s;
    QTest::newRow("an export to another format") << QStringList {u"export"_s, u"out.txt"_s} << u"FILE.xlsx"_s;
    QTest::newRow("an export of a class not there") << QStringList {u"export"_s, u"--class"_s, u"009"_s, u"out.csv"_s}
                                                    << u"no class"_s;
    QTest::newRow("an unknown command") << QStringList {u"sort"_s} << u"no command sort"_s;
    QTest::newRow("an unknown option") << QStringList {u"--fast"_s} << u"fast"_s;
}

void TestCommandLine::badInputWritesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    file(u"good.txt"_s, "one\ntwo\n");
    file(u"latin.txt"_s, "caf\xE9\n");
    file(u"two.csv"_s, "a,b\n");
    QDir::setCurrent(m_store->dir.path());
    const Run run = korvel(arguments);
    QCOMPARE(run.status, 2);
    // One clear line, and nothing written.
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY2(run.err.startsWith(u"korvel: "_s) && run.err.contains(says), qPrintable(run.err));
    QCOMPARE(keywords(), QStringList());
    QVERIFY(!QFile::exists(m_store->dir.filePath(u"out.csv"_s)));
}

void TestCommandLine::exportsStatsAndChecks()
{
    {
        auto opened = openStore(m_store->path);
        QVERIFY_OK(opened);
        Store& store = **opened;
        QVERIFY_OK(store.addClass({}, u"数码"_s, u"1"_s));
        QVERIFY_OK(store.addClass(u"001"_s, u"手机"_s, u"a"_s));
        QVERIFY_OK(store.importRows({{0, u"华为手机"_s, u"001001"_s, u"手机"_s, 1, 0, 0},
                                     {0, u"数码相机"_s, u"001"_s, u"数码"_s, 1, 0, 0},
                                     {0, u"火锅"_s, {}, {}, 0, 0, 0}}));
    }
    // The whole store, and one class's subtree, with code, path and state.
    QCOMPARE(korvel({u"export"_s, m_store->dir.filePath(u"all.csv"_s)}).status, 0);
    QCOMPARE(ExportReader::csv(m_store->dir.filePath(u"all.csv"_s)),
             (ExportReader::Rows {{u"关键词"_s, u"ID"_s, u"分类编码"_s, u"分类"_s, u"状态"_s},
                                  {u"华为手机"_s, u"1"_s, u"001001"_s, u"数码 > 手机"_s, u"已设置"_s},
                                  {u"数码相机"_s, u"2"_s, u"001"_s, u"数码"_s, u"已设置"_s},
                                  {u"火锅"_s, u"3"_s, QString(), QString(), u"未设置"_s}}));
    QCOMPARE(korvel({u"export"_s, u"--class"_s, u"001001"_s, m_store->dir.filePath(u"one.xlsx"_s)}).status, 0);
    QCOMPARE(ExportReader::xlsx(m_store->dir.filePath(u"one.xlsx"_s)).value(1),
             QStringList({u"华为手机"_s, u"1"_s, u"001001"_s, u"数码 > 手机"_s, u"已设置"_s}));

    const Run stats = korvel({u"stats"_s, u"--json"_s});
    QCOMPARE(stats.status, 0);
    const QJsonObject all = QJsonDocument::fromJson(stats.out.toUtf8()).object();
    QCOMPARE(all.value(u"keywords"_s).toInt(), 3);
    QCOMPARE(all.value(u"unsorted"_s).toInt(), 1);
    const QJsonObject top = all.value(u"classes"_s).toArray().at(0).toObject();
    QCOMPARE(top.value(u"code"_s).toString(), u"001"_s);
    QCOMPARE(top.value(u"keywords"_s).toInt(), 1);
    QCOMPARE(top.value(u"subtree"_s).toInt(), 2);
    QVERIFY(korvel({u"stats"_s}).out.contains(u"001001                      1          1  数码 > 手机"_s));

    QCOMPARE(korvel({u"check"_s}).out, u"ok\n"_s);
    // Rows another program broke: each said, and the status says so.
    RawDb raw(m_store->path);
    QVERIFY(raw.exec(u"UPDATE Korvels SET classcode = '009' WHERE keywords = '火锅'"_s));
    QVERIFY(raw.exec(u"UPDATE KeyClass SET maxnext = 0 WHERE code = '001'"_s));
    const Run check = korvel({u"check"_s});
    QCOMPARE(check.status, 1);
    QCOMPARE(check.out.count(u'\n'), 3);
    QVERIFY2(check.out.contains(u"已不存在的分类"_s) && check.out.contains(u"设置状态与分类不符"_s)
                 && check.out.contains(u"重复这个编号"_s),
             qPrintable(check.out));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
