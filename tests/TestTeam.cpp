#include "SessionScript.h"
#include "TestSupport.h"

#include <QSignalSpy>

// Several windows on one server: each is served a keyword of its own, nothing is filed twice or lost, and each
// sees what the others change.
class TestTeam : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void windowsAreServedDifferentKeywords();
    void writesCheckWhatTheOthersDid();
    void makingAFilingAgainKeepsTheKeywordShown();
    void classesAddedAtOnce();
    void deletingAllWaitsForAnotherReaderOnlyAWhile();
    void windowsSeeTheOthersChanges();

private:
    std::unique_ptr<Store> another();
};

void TestTeam::init()
{
    if (!TestEngine::onServer())
        QSKIP("a team works on a PostgreSQL server");
    WindowTest::init();
}

std::unique_ptr<Store> TestTeam::another()
{
    auto store = openStore(m_temp->path);
    return store ? std::move(store).value() : nullptr;
}

void TestTeam::windowsAreServedDifferentKeywords()
{
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
    addClasses({{{}, u"甲"_s, u"1"_s}});
    auto other = another();
    QVERIFY(other);
    QCOMPARE(m_store->nextUnsorted()->value().keywords, u"a"_s);
    QCOMPARE(other->nextUnsorted()->value().keywords, u"b"_s);
    // Asking again keeps what each holds.
    QCOMPARE(m_store->nextUnsorted()->value().keywords, u"a"_s);
    // Filing moves on past what the other holds; what the other held is free once it has moved on.
    QCOMPARE(m_store->fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    QCOMPARE(m_store->nextUnsorted()->value().keywords, u"c"_s);
    QCOMPARE(other->holdKeyword(3).value(), false);
    QCOMPARE(other->holdKeyword(4).value(), true);
    QCOMPARE(m_store->holdKeyword(2).value(), true);
    // Holding nothing lets go of what was held.
    QCOMPARE(m_store->holdKeyword(0).value(), true);
    QCOMPARE(another()->holdKeyword(2).value(), true);
    QTRY_VERIFY_WITH_TIMEOUT(m_store->holdKeyword(2).value(), 10000);
    // A keyword read as unsorted a moment ago but filed (or deleted) since is not held, and what was held stays.
    QCOMPARE(other->fileKeyword(4, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    QCOMPARE(m_store->holdKeyword(4).value(), false);
    QCOMPARE(m_store->holdKeyword(99).value(), false);
    QCOMPARE(other->holdKeyword(2).value(), false);
    QVERIFY_OK(other->unfileKeyword(4, u"001"_s));
    // A window that goes lets go of its keyword, as soon as the server has seen its session end.
    other.reset();
    QTRY_VERIFY_WITH_TIMEOUT(m_store->holdKeyword(4).value(), 10000);
    auto third = another();
    QCOMPARE(third->nextUnsorted()->value().keywords, u"b"_s);
    // Another store in the same database has keywords of its own, with the same ids.
    TempStore elsewhere;
    auto separate = openStore(elsewhere.path);
    QVERIFY_OK(separate);
    QVERIFY_OK((*separate)->insertKeywords({u"x"_s, u"y"_s}));
    QCOMPARE((*separate)->nextUnsorted()->value().keywords, u"x"_s);
    QCOMPARE((*separate)->holdKeyword(2).value(), true);
}

void TestTeam::writesCheckWhatTheOthersDid()
{
    addClasses({{{}, u"甲"_s, u"1"_s}});
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s}));
    auto other = another();
    QCOMPARE(m_store->nextUnsorted()->value().id, 1);
    QCOMPARE(other->nextUnsorted()->value().id, 2);
    QCOMPARE(other->fileKeyword(2, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    // Both grids list keyword 2; one window takes it back, and then it is that window's.
    QCOMPARE(m_store->unfileKeyword(2, u"001"_s).value(), Store::Change::Done);
    QCOMPARE(other->unfileKeyword(2, u"001"_s).value(), Store::Change::Moved);
    QCOMPARE(other->nextUnsorted()->value().id, 1);
    // Everything deleted elsewhere: the keyword held is gone.
    QVERIFY_OK(other->deleteAllKeywords());
    QCOMPARE(m_store->fileKeyword(2, u"001"_s, u"甲"_s).value(), Store::Change::Gone);
}

void TestTeam::makingAFilingAgainKeepsTheKeywordShown()
{
    QVERIFY(fillScriptStore(*m_store, *m_raw, {u"1:a"_s, u"2:b"_s, u"3:c"_s}));
    SortingSession session(*m_store);
    // a filed and taken back, then b found and shown: Ctrl+Y holds a to file it, and then b again.
    QVERIFY(SessionScript(*m_store, *m_raw, session)
                .run({u"start => key=1"_s, u"key 2 => key=2"_s, u"undo => key=1"_s, u"find 2 => key=2 kw=b"_s,
                      u"redo => row1=1|002|汽车 kw=b"_s}));
    QCOMPARE(another()->nextUnsorted()->value().keywords, u"c"_s);
}

void TestTeam::classesAddedAtOnce()
{
    // Four operators add classes under one parent at the same moment: every code is different, and the
    // counter has advanced once for each.
    QCOMPARE(together(m_temp->path, 4,
                      [](Store& store, int who) {
                          for (int i = 0; i < 15; ++i) {
                              if (const auto added = store.addClass({}, u"类%1-%2"_s.arg(who).arg(i), {}); !added)
                                  return added.error();
                          }
                          return QString();
                      }),
             QStringList());
    QCOMPARE(m_raw->value(u"SELECT count(DISTINCT code) FROM KeyClass WHERE code <> ''"_s), u"60"_s);
    QCOMPARE(m_raw->value(u"SELECT maxnext FROM KeyClass WHERE code = ''"_s), u"60"_s);
}

void TestTeam::deletingAllWaitsForAnotherReaderOnlyAWhile()
{
    QVERIFY_OK(m_store->insertKeywords({u"a"_s}));
    // Another operator's batch is reading the whole list.
    RawDb reader(m_temp->path);
    QVERIFY(reader.exec(u"BEGIN"_s));
    QCOMPARE(reader.rows(u"SELECT keywords FROM Korvels"_s), QStringList(u"a"_s));
    const Status refused = m_store->deleteAllKeywords();
    QVERIFY2(!refused.ok() && refused.error().contains(u"请稍后再试"_s), qPrintable(refused.error()));
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels"_s), u"1"_s);
    QVERIFY(reader.exec(u"COMMIT"_s));
    QVERIFY_OK(m_store->deleteAllKeywords());
    QCOMPARE(m_raw->value(u"SELECT count(*) FROM Korvels"_s), u"0"_s);
}

void TestTeam::windowsSeeTheOthersChanges()
{
    QVERIFY(fillScriptStore(*m_store, *m_raw, {u"1:mine"_s, u"2:theirs"_s}));
    SortingSession session(*m_store);
    SessionScript script(*m_store, *m_raw, session);
    QVERIFY(script.run({u"start => kw=mine"_s, u"click 002 => sel=002 grid="_s}));
    // Another operator adds a class and files a keyword into the class selected here.
    auto other = another();
    QVERIFY_OK(other->addClass({}, u"丙"_s, u"3"_s));
    QCOMPARE(other->nextUnsorted()->value().keywords, u"theirs"_s);
    QVERIFY_OK(other->fileKeyword(2, u"002"_s, u"汽车"_s));
    // Within a second or so; the wait allows for a machine under load.
    QTRY_COMPARE_WITH_TIMEOUT(session.classes().size(), 6, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(session.gridModel()->dataRowCount(), 1, 10000);
    // The selection and the current keyword stay where the operator left them.
    QVERIFY(script.run({u" => keys=1,2,a,2,5,3 sel=002 grid=2 kw=mine"_s}));
}

QTEST_MAIN(TestTeam)
#include "TestTeam.moc"
