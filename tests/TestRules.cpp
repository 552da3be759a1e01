#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// Filing by rule: which keywords a rule matches, filing and taking back in bulk (held keywords left alone on a
// server), saved rules on a new batch, and the `rule` command.
class TestRules : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void matching_data();
    void matching();
    void bulkFilingAndTakingBack();
    void heldKeywordsAreLeftAlone();
    void savedRulesFileANewBatch();
    void olderStoreGetsSavedRules();
    void ruleCommand_data();
    void ruleCommand();

private:
    QStringList unsortedIn(const QList<qint64>& ids);
    QStringList texts(const QList<KeywordRow>& rows);
    ProgramRun korvel(const QStringList& arguments)
    {
        return runProgram(QString::fromUtf8(KORVEL_SHIPPED), QStringList {u"--db"_s, m_temp->path} + arguments);
    }
    qint64 filedCount() { return sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s).toLongLong(); }
};

const QStringList Keywords = {u"iPhone 14 手机壳"_s, u"IPHONE充电器"_s, u"华为手机"_s,    u"小米手机 price"_s,
                              u"50%_off 手机"_s,     u"手机"_s,         u"Éclair 手机"_s, u"éclair"_s,
                              u"苹果 手机壳 case"_s, u"a\\b"_s,         u"😀手机"_s};

void TestRules::init()
{
    qRegisterMetaType<QList<KeywordRow>>();
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    QVERIFY_OK(m_store->addClass({}, u"数码"_s, u"1"_s));
    QVERIFY_OK(m_store->addClass({}, u"美食"_s, u"2"_s));
}

QStringList TestRules::texts(const QList<KeywordRow>& rows)
{
    QStringList out;
    for (const KeywordRow& row : rows)
        out << row.keywords;
    return out;
}

void TestRules::matching_data()
{
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<QStringList>("expected");
    const auto rule = [](QStringList all, QStringList any = {}, QStringList none = {}, QString regex = {}) {
        return Rule {all, any, none, regex, {}, {}};
    };
    QTest::newRow("ASCII letters without case") << rule({u"iphone"_s}) << QStringList {Keywords[0], Keywords[1]};
    QTest::newRow("every word") << rule({u"手机"_s, u"CASE"_s}) << QStringList {Keywords[8]};
    QTest::newRow("one of") << rule({}, {u"华为"_s, u"PRICE"_s}) << QStringList {Keywords[2], Keywords[3]};
    QTest::newRow("none of") << rule({u"手机"_s}, {}, {u"iphone"_s, u"壳"_s, u"😀"_s})
                             << QStringList {Keywords[2], Keywords[3], Keywords[4], Keywords[5], Keywords[6]};
    QTest::newRow("other letters exactly") << rule({u"Éclair"_s}) << QStringList {Keywords[6]};
    QTest::newRow("wildcards are characters") << rule({u"%_"_s}) << QStringList {Keywords[4]};
    QTest::newRow("an underscore alone") << rule({}, {u"_"_s, u"\\"_s}) << QStringList {Keywords[4], Keywords[9]};
    QTest::newRow("empty words left out") << rule({u""_s}, {u""_s, u"充电"_s}) << QStringList {Keywords[1]};
    QTest::newRow("regex") << rule({}, {}, {}, u"手机$"_s)
                           << QStringList {Keywords[2], Keywords[4], Keywords[5], Keywords[6], Keywords[10]};
    QTest::newRow("regex keeps case") << rule({}, {}, {}, u"^iP"_s) << QStringList {Keywords[0]};
    QTest::newRow("regex with words") << rule({u"手机"_s}, {}, {}, u"\\d+"_s) << QStringList {Keywords[0], Keywords[4]};
    QTest::newRow("regex knows Chinese letters") << rule({}, {}, {}, u"^\\w{2}手机$"_s) << QStringList {Keywords[2]};
    Rule lengths = rule({u"手机"_s});
    lengths.minLength = 2;
    lengths.maxLength = 3;
    // 😀手机 is three characters, though four UTF-16 units.
    QTest::newRow("lengths") << lengths << QStringList {Keywords[5], Keywords[10]};
    Rule longest;
    longest.maxLength = 2;
    QTest::newRow("length alone") << longest << QStringList {Keywords[5]};
}

void TestRules::matching()
{
    QFETCH(Rule, rule);
    QFETCH(QStringList, expected);
    QVERIFY_OK(m_store->insertKeywords(Keywords));
    QVERIFY_OK(m_store->insertKeywords({u"filed 手机 iphone"_s}));
    QVERIFY(m_raw->exec(u"UPDATE Korvels SET isSet = 1, classcode = '001' WHERE keywords LIKE 'filed%'"_s));
    RuleScan scan;
    scan.ids = true;
    const auto found = m_store->matchRule(rule, scan);
    QVERIFY_OK(found);
    QCOMPARE(texts(found->first), expected);
    QCOMPARE(found->count, expected.size());
    QCOMPARE(found->ids.size(), expected.size());
    // The program's own test agrees with the engine's SQL.
    const auto matcher = RuleMatcher::make(rule);
    QVERIFY_OK(matcher);
    QStringList matched;
    for (const QString& k : Keywords) {
        if (matcher->matches(k))
            matched << k;
    }
    QCOMPARE(matched, expected);
    // Only the first ones are listed, all are counted; and only those after an id.
    scan = {};
    scan.listLimit = 1;
    scan.afterId = found->ids.last() - 1;
    const auto after = m_store->matchRule(rule, scan);
    QVERIFY_OK(after);
    QCOMPARE(texts(after->first), QStringList {expected.last()});
    QCOMPARE(after->count, 1);
}

void TestRules::bulkFilingAndTakingBack()
{
    // More than one chunk on either engine.
    QStringList many;
    for (int i = 0; i < 10050; ++i)
        many << u"关键词 %1"_s.arg(i);
    QVERIFY_OK(m_store->insertKeywords(many));
    QVERIFY_OK(m_store->fileKeyword(3, u"002"_s, u"美食"_s));
    QVERIFY_OK(m_store->deleteKeyword(4));
    QList<qint64> ids;
    for (qint64 id = 1; id <= 10052; ++id)
        ids << id;
    QSignalSpy filedSignal(m_store.get(), &Store::keywordsFiled);
    auto filed = m_store->fileKeywords(ids, u"001"_s, u"数码"_s);
    QVERIFY_OK(filed);
    // 3 was filed, 4 deleted, 10051 and 10052 never were.
    QCOMPARE(filed->filed.size(), 10048);
    QCOMPARE(filed->gone, 4);
    QCOMPARE(filed->held, 0);
    QCOMPARE(filedSignal.size(), 1);
    const auto rows = filedSignal.at(0).at(0).value<QList<KeywordRow>>();
    QCOMPARE(rows.size(), 10048);
    QCOMPARE(rows.first().classcode, u"001"_s);
    QCOMPARE(rows.first().classname, u"数码"_s);
    QCOMPARE(rows.first().isSet, 1);
    QCOMPARE(m_raw->rows(u"SELECT classcode, n FROM ClassCounts WHERE n > 0 ORDER BY classcode"_s),
             QStringList({u"001|10048"_s, u"002|1"_s}));
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1 AND classname = '数码'"_s), u"10048"_s);

    // Taken back: only what is still filed under that class.
    QSignalSpy unfiledSignal(m_store.get(), &Store::keywordsUnfiled);
    const auto back = m_store->unfileKeywords(ids, u"001"_s);
    QVERIFY_OK(back);
    QCOMPARE(back->size(), 10048);
    QVERIFY(!back->contains(3));
    QCOMPARE(unfiledSignal.size(), 1);
    QCOMPARE(unfiledSignal.at(0).at(0).value<QList<KeywordRow>>().first().classcode, u"001"_s);
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 0 AND classcode = '' AND classname = ''"_s), u"10048"_s);
    QCOMPARE(m_raw->rows(u"SELECT classcode, n FROM ClassCounts WHERE n > 0"_s), QStringList(u"002|1"_s));

    // Stopped after the first chunk: what was committed stays, and is announced.
    int chunks = 0;
    filed = m_store->fileKeywords(ids, u"001"_s, u"数码"_s, [&](qint64 done, qint64 total) {
        ++chunks;
        return done < 0 || total < 0;
    });
    QVERIFY_OK(filed);
    QCOMPARE(chunks, 1);
    QVERIFY(filed->filed.size() > 0 && filed->filed.size() < 10048);
    QCOMPARE(filedCount(), filed->filed.size() + 1);
    QCOMPARE(filedSignal.size(), 2);
}

void TestRules::heldKeywordsAreLeftAlone()
{
    if (!TestEngine::onServer())
        QSKIP("only a team's windows hold keywords");
    QVERIFY_OK(m_store->insertKeywords({u"一"_s, u"二"_s, u"三"_s, u"四"_s}));
    auto other = openStore(m_temp->path);
    QVERIFY_OK(other);
    // This window holds 一, the other 二.
    QCOMPARE(m_store->nextUnsorted()->value().id, 1);
    QCOMPARE((*other)->nextUnsorted()->value().id, 2);
    const auto filed = m_store->fileKeywords({1, 2, 3}, u"001"_s, u"数码"_s);
    QVERIFY_OK(filed);
    QList<qint64> ids = filed->filed;
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, QList<qint64>({1, 3}));
    QCOMPARE(filed->held, 1);
    QCOMPARE(filed->gone, 0);
    QCOMPARE(sql(u"SELECT string_agg(keywords, ',' ORDER BY id) FROM Korvels WHERE isSet = 0"_s), u"二,四"_s);
    // The other window files its own keyword as ever; this one lets go of what it filed and is served 四.
    QCOMPARE(*(*other)->fileKeyword(2, u"002"_s, u"美食"_s), Store::Change::Done);
    QCOMPARE(m_store->nextUnsorted()->value().id, 4);
    QVERIFY(!(*other)->holdKeyword(4).value());
}

void TestRules::savedRulesFileANewBatch()
{
    const Rule phones {{u"手机"_s}, {}, {u"壳"_s}, {}, {}, {}};
    Rule food {{}, {u"火锅"_s, u"奶茶"_s}, {}, u"^\\S+$"_s, 2, 10};
    QVERIFY_OK(m_store->saveRule(phones, u"001"_s));
    QVERIFY_OK(m_store->saveRule(food, u"002"_s));
    // A rule for a class that goes away, and one for a class that never was.
    const auto code = m_store->addClass({}, u"临时"_s, u"3"_s);
    QVERIFY_OK(code);
    QVERIFY_OK(m_store->saveRule(Rule {{u"手机"_s}, {}, {}, {}, {}, {}}, *code));
    QVERIFY(!m_store->saveRule(phones, u"009"_s).ok());
    QVERIFY(!m_store->saveRule(Rule {}, u"001"_s).ok());
    QCOMPARE(*m_store->deleteClassIfEmpty(*code), Store::ClassDeletion::Deleted);
    const auto saved = m_store->savedRules();
    QVERIFY_OK(saved);
    QCOMPARE(saved->size(), 3);
    QCOMPARE(saved->at(1).rule, food);
    QCOMPARE(saved->at(1).classCode, u"002"_s);

    QVERIFY_OK(m_store->insertKeywords({u"旧的手机"_s, u"旧的火锅"_s}));
    const qint64 before = sql(u"SELECT max(id) FROM Korvels"_s).toLongLong();
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"手机壳"_s, u"火锅手机"_s, u"重庆火锅"_s, u"火锅 奶茶"_s}));
    const auto applied = m_store->applySavedRules(before);
    QVERIFY_OK(applied);
    QCOMPARE(applied->filed, 3);
    QCOMPARE(applied->withoutClass, 1);
    // The older rule wins a keyword both match; the batch before is left alone.
    QCOMPARE(m_raw->rows(u"SELECT keywords || '|' || classcode FROM Korvels ORDER BY id"_s),
             QStringList({u"旧的手机|"_s, u"旧的火锅|"_s, u"华为手机|001"_s, u"手机壳|"_s, u"火锅手机|001"_s,
                          u"重庆火锅|002"_s, u"火锅 奶茶|"_s}));
    QVERIFY(*m_store->deleteSavedRule(saved->at(0).id));
    QVERIFY(!*m_store->deleteSavedRule(saved->at(0).id));
    QCOMPARE(m_store->savedRules()->size(), 2);
}

void TestRules::olderStoreGetsSavedRules()
{
    QVERIFY_OK(m_store->saveRule(Rule {{u"x"_s}, {}, {}, {}, {}, {}}, u"001"_s));
    m_store.reset();
    const bool server = TestEngine::onServer();
    QVERIFY(m_raw->exec(u"DROP TABLE SavedRules"_s));
    QVERIFY(m_raw->exec(server ? u"UPDATE KorvelSchema SET version = 3"_s : u"PRAGMA user_version = 2"_s));
    // The owner brings a store up to date; an operator is told to have it done.
    auto opened = openStore(m_temp->ownerPath);
    QVERIFY_OK(opened);
    QCOMPARE(sql(server ? u"SELECT version FROM KorvelSchema"_s : u"PRAGMA user_version"_s), server ? u"7"_s : u"6"_s);
    QVERIFY_OK((*opened)->saveRule(Rule {{u"y"_s}, {}, {}, {}, {}, {}}, u"002"_s));
    QCOMPARE((*opened)->savedRules()->size(), 1);
}

void TestRules::ruleCommand_data()
{
    commandColumns();
    commandRow("dry run", u"rule --class 001 --all 手机 --dry-run"_s, 0, u"3 unsorted keywords match\n"_s, 0);
    commandRow("filing", u"rule --class 001 --any 手机 --none 壳 --max-length 4"_s, 0,
               u"filed 2 keywords into 001 数码\n"_s, 2);
    commandRow("regex", u"rule --class 002 --regex ^火锅"_s, 0, u"filed 1 keywords into 002 美食\n"_s, 1);
    commandRow("bad regex", u"rule --class 001 --regex (手机"_s, 2,
               u"korvel: bad --regex at character 4: missing closing parenthesis\n"_s, 0);
    commandRow("no such class", u"rule --class 009 --all 手机"_s, 2, u"korvel: there is no class with the code 009\n"_s,
               0);
    commandRow("no condition", u"rule --class 001"_s, 2, u"korvel: a rule needs at least one of"_s, 0);
    commandRow("no class", u"rule --all 手机"_s, 2, u"korvel: rule needs --class CODE"_s, 0);
    commandRow("a length that is no number", u"rule --class 001 --min-length two"_s, 2,
               u"korvel: --min-length takes a number from 0\n"_s, 0);
    commandRow("an option of another command", u"terms --all 手机"_s, 2, u"korvel: --all goes with rule"_s, 0);
}

void TestRules::ruleCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(int, filed);
    QVERIFY_OK(m_store->insertKeywords({u"华为手机"_s, u"手机壳"_s, u"火锅底料"_s, u"小米手机"_s, u"锅"_s}));
    m_store.reset();
    const ProgramRun run = korvel(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2((status == 0 ? run.out : run.err).startsWith(says), qPrintable(run.out + run.err));
    if (status != 0)
        QCOMPARE(run.err.count(u'\n'), 1);
    QCOMPARE(filedCount(), filed);
}

QTEST_MAIN(TestRules)
#include "TestRules.moc"
