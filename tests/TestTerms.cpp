#include "TestSupport.h"
#include "store/terms/TermCounter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The terms of the unsorted keywords: Chinese words by ICU's dictionary, the counts, and a table that follows
// filings, take-backs, deletions and batches as a full recount would see them.
class TestTerms : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void breaking_data();
    void breaking();
    void countsAndTitles();
    void followsTheStoreAsARecountWould();
    void termsCommand();

private:
    // A recount from nothing.
    QHash<QString, qint64> recount();
};

// Words whose segmentation by ICU's dictionary is known: 苹果|手机|壳, 北京|旅游|攻略, 儿童|运动|鞋, 蓝牙|耳机.
const QStringList Keywords = {u"苹果手机壳"_s,         u"北京旅游攻略"_s,   u"儿童运动鞋"_s,    u"蓝牙耳机"_s,
                              u"iPhone 14 苹果手机"_s, u"儿童手机，儿童"_s, u"北京 iphone 壳"_s};

void TestTerms::init()
{
    qRegisterMetaType<QList<KeywordRow>>();
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    QVERIFY_OK(m_store->addClass({}, u"手机"_s, u"1"_s));
    QVERIFY_OK(m_store->addClass({}, u"iPhone"_s, u"2"_s));
    QVERIFY_OK(m_store->insertKeywords(Keywords));
}

QHash<QString, qint64> TestTerms::recount()
{
    TermTable table;
    const std::atomic<bool> cancel {false};
    const Status counted = TermCounter::count(*m_store, table, cancel, {});
    if (!counted)
        qWarning() << counted.error();
    return table.counts();
}

void TestTerms::breaking_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<bool>("phrases");
    QTest::addColumn<QStringList>("terms");
    QTest::newRow("Chinese words") << u"苹果手机壳"_s << false << QStringList {u"苹果"_s, u"手机"_s, u"壳"_s};
    QTest::newRow("Latin words and numbers, ASCII folded")
        << u"iPhone 14 Pro 手机壳"_s << false << QStringList {u"iphone"_s, u"14"_s, u"pro"_s, u"手机"_s, u"壳"_s};
    QTest::newRow("each once, punctuation none")
        << u"儿童运动鞋，儿童!"_s << false << QStringList {u"儿童"_s, u"运动"_s, u"鞋"_s};
    QTest::newRow("no single ASCII character") << u"a 1 北京 Ü"_s << false << QStringList {u"北京"_s, u"Ü"_s};
    QTest::newRow("other letters keep their case")
        << u"ÉCLAIR éclair"_s << false << QStringList {u"Éclair"_s, u"éclair"_s};
    QTest::newRow("phrases") << u"蓝牙耳机 iPhone  Pro，北京"_s << true
                             << QStringList {u"蓝牙"_s,        u"耳机"_s, u"蓝牙耳机"_s,   u"iphone"_s,
                                             u"耳机 iphone"_s, u"pro"_s,  u"iphone pro"_s, u"北京"_s};
    QTest::newRow("no phrase across a dropped term") << u"北京 a 旅游"_s << true << QStringList {u"北京"_s, u"旅游"_s};
}

void TestTerms::breaking()
{
    QFETCH(QString, keyword);
    QFETCH(bool, phrases);
    QFETCH(QStringList, terms);
    TermBreaker breaker(phrases);
    QVERIFY_OK(breaker.ready());
    QCOMPARE(breaker.terms(keyword), terms);
}

void TestTerms::countsAndTitles()
{
    TermTable table;
    const std::atomic<bool> cancel {false};
    QList<std::pair<qint64, qint64>> reports;
    QVERIFY_OK(TermCounter::count(*m_store, table, cancel, [&](qint64 done, qint64 total) {
        reports.append({done, total});
    }));
    QCOMPARE(reports.last(), (std::pair<qint64, qint64> {7, 7}));
    QCOMPARE(table.keywords(), 7);
    // 儿童 twice in one keyword counts once; iPhone and iphone are one term; a tie goes by the term.
    QCOMPARE(table.top(6, {u"手机"_s, u"IPHONE"_s, u"鞋"_s}),
             (QList<TermCount> {{u"手机"_s, 3, true},
                                {u"iphone"_s, 2, true},
                                {u"儿童"_s, 2, false},
                                {u"北京"_s, 2, false},
                                {u"壳"_s, 2, false},
                                {u"苹果"_s, 2, false}}));
    QCOMPARE(table.count(u"蓝牙"_s), 1);
    QCOMPARE(table.count(u"14"_s), 1);
}

void TestTerms::followsTheStoreAsARecountWould()
{
    TermCounter counter;
    counter.follow(*m_store);
    QSignalSpy finished(&counter, &TermCounter::finished);
    // What each step does to the store; the table must then be what a recount finds.
    const QList<std::pair<const char*, std::function<void()>>> steps = {
        {"a count",
         [&] {
             counter.start(m_temp->path);
             QVERIFY(finished.wait(10000));
             QVERIFY_OK(counter.status());
         }},
        {"a filing", [&] { QVERIFY_OK(m_store->fileKeyword(1, u"001"_s, u"手机"_s)); }},
        {"a take-back", [&] { QVERIFY_OK(m_store->unfileKeyword(1, u"001"_s)); }},
        {"a deletion", [&] { QVERIFY_OK(m_store->deleteKeyword(2)); }},
        {"a bulk filing",
         [&] {
             QVERIFY_OK(m_store->fileKeywords({3, 5, 6, 7}, u"002"_s, u"iPhone"_s));
         }},
        {"a bulk take-back",
         [&] {
             QVERIFY_OK(m_store->unfileKeywords({5, 6}, u"002"_s));
         }},
        {"a batch",
         [&] {
             QVERIFY_OK(m_store->insertKeywords({u"蓝牙耳机 北京"_s, u"儿童手机"_s}));
             QVERIFY_OK(counter.addAfter(*m_store, 7));
         }},
        {"changes while counting",
         [&] {
             counter.start(m_temp->path);
             QVERIFY_OK(m_store->fileKeywords({1, 8}, u"001"_s, u"手机"_s));
             QVERIFY_OK(m_store->unfileKeyword(7, u"002"_s));
             QVERIFY_OK(m_store->unfileKeyword(1, u"001"_s));
             QVERIFY(finished.wait(10000));
         }},
        {"every keyword deleted", [&] { QVERIFY_OK(m_store->deleteAllKeywords()); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        QVERIFY2(!QTest::currentTestFailed(), name);
        QVERIFY2(counter.table().counts() == recount(), name);
    }
    QVERIFY(!counter.stale());
}

void TestTerms::termsCommand()
{
    m_store.reset();
    const QString program = QString::fromUtf8(KORVEL_SHIPPED);
    const ProgramRun json = runProgram(program, {u"--db"_s, m_temp->path, u"terms"_s, u"--json"_s, u"--top"_s, u"2"_s});
    QCOMPARE(json.status, 0);
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array(),
             (QJsonArray {QJsonObject {{u"term"_s, u"手机"_s}, {u"count"_s, 3}},
                          QJsonObject {{u"term"_s, u"iphone"_s}, {u"count"_s, 2}}}));
    const ProgramRun text = runProgram(program, {u"--db"_s, m_temp->path, u"terms"_s, u"--phrases"_s});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.contains(u"         2  苹果手机\n"_s), qPrintable(text.out));
    const ProgramRun bad = runProgram(program, {u"--db"_s, m_temp->path, u"terms"_s, u"--top"_s, u"0"_s});
    QCOMPARE(bad.status, 2);
    QCOMPARE(bad.err, u"korvel: --top takes a number from 1\n"_s);
}

QTEST_MAIN(TestTerms)
#include "TestTerms.moc"
