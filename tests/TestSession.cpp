#include "SessionScript.h"
#include "session/KeywordGridModel.h"

#include <QRandomGenerator>
#include <QSignalSpy>

#include <numeric>
#include <random>

// The sorting loop without a window, as operator scripts: each line an action and the state after it.
class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void scripts_data();
    void scripts();
    // A large subtree, read a page at a time: every row right wherever reading starts, and each filing or
    // take-back one row more or less, in its place.
    void aLargeSubtree();

private:
    std::unique_ptr<TempStore> m_temp;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<RawDb> m_raw;
};

void TestSession::initTestCase()
{
    if (const QString missing = TestEngine::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestSession::init()
{
    m_temp = std::make_unique<TempStore>();
    QVERIFY_OK(m_temp->created);
    auto opened = openStore(m_temp->path);
    QVERIFY_OK(opened);
    m_store = std::move(opened).value();
    m_raw = std::make_unique<RawDb>(m_temp->ownerPath);
}

void TestSession::cleanup()
{
    m_store.reset();
    m_raw.reset();
    m_temp.reset();
}

void TestSession::scripts_data()
{
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QStringList>("script");

    QTest::newRow("served by id, taken back, filed again")
        << QStringList {u"2:two@002"_s, u"3:kw3"_s, u"7:kw7"_s, u"9:kw9"_s}
        << QStringList {u"start => key=3 kw=kw3 parent= sel=001 list=数码,汽车,美食,健康,旅游 keys=1,2,a,2,5 grid="_s,
                        u"click 002 => sel=002 grid=2"_s, u"file => key=7 kw=kw7 grid=3,2 row3=1|002|汽车"_s,
                        u"back 1 => key=2 kw=two grid=3 row2=0||"_s, u"file => key=7 grid=3,2 row2=1|002|汽车"_s,
                        u"delete => key=9 row7=-"_s,
                        // The grid follows only after the operator has closed the message.
                        u"file => key=0 kw= grid=9,3,2 msg=所有关键词已设置完毕！ shownWith=2"_s,
                        u"file => msg=没有需要设定的关键词！ grid=9,3,2"_s,
                        u"key 2 => took=1 sel=002 msg=没有需要设定的关键词！"_s};

    QTest::newRow("quick keys go down and file")
        << QStringList {u"1:华为手机"_s, u"2:火锅"_s, u"3:三亚"_s, u"4:牛排"_s}
        << QStringList {
               u"start => key=1"_s,
               // One level only: the class below 电脑 is not listed with its parent.
               u"key 1 => took=1 parent=001 list=手机,电脑 sel=001001 kw=华为手机 row1=0||"_s,
               u"key a => took=1 sel=001001 key=2 row1=1|001001|手机 grid=1"_s, u"key A => took=0 key=2 filed=1"_s,
               // 电脑 has a class below it: its key goes down, and files nothing.
               u"key b => parent=001002 list=笔记本 sel=001002001 key=2 filed=1"_s,
               u"key n => key=3 row2=1|001002001|笔记本 grid=2"_s, u"up => parent=001 sel=001001 grid=1"_s,
               u"up => parent= sel=001 grid=1,2"_s,
               // Two classes share the key 2: the first of them takes the keyword.
               u"key 2 => sel=002 key=4 row3=1|002|汽车 grid=3"_s,
               // 旅游 once had a child: its key goes down into an empty level and files nothing.
               u"key 5 => parent=005 list= keys= sel= key=4 grid=3"_s, u"file => msg=请选择关键词分类！ row4=0||"_s,
               u"up => parent= sel=001"_s, u"up => parent= sel=001"_s};

    QTest::newRow("changed elsewhere, refused by the store")
        << QStringList {u"1:gone"_s, u"2:next"_s, u"3:after"_s}
        << QStringList {u"start => key=1"_s,
                        u"click 002 => sel=002"_s,
                        u"sql DELETE FROM Korvels WHERE id = 1"_s,
                        u"file => msg=当前关键词已不在数据库中，没有设置。 key=2 kw=next grid= filed=0"_s,
                        u"refuse Korvels UPDATE"_s,
                        u"file => msg~=disk-says-no key=2 kw=next sel=002 filed=0"_s,
                        u"allow Korvels"_s,
                        u"file => key=3 grid=2"_s,
                        u"sql UPDATE Korvels SET classcode = '003', classname = '美食' WHERE id = 2"_s,
                        u"back 0 => msg=这个关键词已不在这个分类中。 key=3 grid="_s};

    QTest::newRow("deleting one and all")
        << QStringList {u"2:back@001"_s, u"3:first"_s, u"4:first"_s, u"5:last"_s}
        << QStringList {u"start => key=3 sel=001 grid=2"_s,
                        // Exactly the current row, not its twin.
                        u"delete => key=4 rows=3 row3=-"_s, u"back 0 => key=2 kw=back grid="_s,
                        u"delete => key=4 row2=- rows=2"_s, u"delete => key=5"_s,
                        u"delete => key=0 kw= msg=所有关键词已设置完毕！ rows=0"_s, u"add late => key=0"_s,
                        // With no current keyword nothing is removed; the loop says what is next.
                        u"delete => kw=late rows=1"_s, u"add b,c => kw=late"_s, u"file => kw=b filed=1 gridRows=1"_s,
                        u"refuse Korvels DELETE"_s, u"deleteall => msg~=disk-says-no rows=3 kw=b filed=1 gridRows=1"_s,
                        u"allow Korvels"_s, u"deleteall => key=0 kw= grid= rows=0"_s,
                        u"file => msg=没有需要设定的关键词！"_s};

    QTest::newRow("undo and redo")
        << QStringList {u"1:华为手机"_s, u"2:火锅"_s, u"3:蛋糕"_s, u"4:奶茶"_s}
        << QStringList {u"start => key=1"_s, u"key 1"_s, u"key a => key=2 row1=1|001001|手机"_s, u"up"_s,
                        u"key 2 => key=3 row2=1|002|汽车"_s, u"file => key=4 row3=1|002|汽车 grid=3,2"_s,
                        // Back through the filings, newest first: each keyword unsorted again and current.
                        u"undo => key=3 kw=蛋糕 row3=0|| grid=2"_s, u"undo => key=2 kw=火锅 row2=0|| grid="_s,
                        u"undo => key=1 kw=华为手机 row1=0||"_s,
                        // Forward again into the same classes; each Ctrl+Y leaves the rest to come.
                        u"redo => row1=1|001001|手机 key=2"_s, u"redo => row2=1|002|汽车 key=3 grid=2"_s,
                        u"redo => row3=1|002|汽车 key=4 grid=3,2"_s, u"redo => key=4 filed=3"_s,
                        u"undo => key=3 row3=0||"_s,
                        // A row changed since is not taken back.
                        u"sql UPDATE Korvels SET isSet = 0, classcode = '', classname = '' WHERE id = 2"_s,
                        u"undo => msg=不能撤销：关键词“火锅”在此后已被删除或改动。 key=3 row2=0||"_s,
                        // A new filing ends what Ctrl+Y can bring back.
                        u"file => row3=1|002|汽车 key=2"_s, u"redo => key=2 filed=2"_s};

    QTest::newRow("redo never files a keyword the operator did not see")
        << QStringList {u"1:old"_s, u"2:top"_s}
        << QStringList {u"start => key=1"_s, u"click 002"_s, u"file => key=2"_s,
                        u"file => key=0 msg=所有关键词已设置完毕！ filed=2"_s, u"undo => key=2 kw=top row2=0||"_s,
                        u"delete => row2=- key=0 msg=所有关键词已设置完毕！"_s,
                        // A store file may give a new keyword the id of the deleted one.
                        u"add new"_s, u"next => kw=new"_s, u"redo => kw=new filed=1"_s,
                        u"file => filed=2 msg=所有关键词已设置完毕！"_s, u"undo => kw=new filed=1"_s,
                        // Deleted by another program, and its id perhaps given to another keyword.
                        u"sql DELETE FROM Korvels WHERE keywords = 'new'"_s, u"add other"_s,
                        u"redo => msg=不能恢复：关键词“new”已不在数据库中。 filed=1"_s, u"deleteall => rows=0"_s,
                        u"add solo"_s, u"next => kw=solo"_s, u"file => filed=1 msg=所有关键词已设置完毕！"_s,
                        u"undo => kw=solo filed=0"_s, u"deleteall => rows=0"_s, u"add fresh"_s, u"next => kw=fresh"_s,
                        u"redo => kw=fresh filed=0"_s};

    QTest::newRow("filing many at once is one step")
        << QStringList {u"1:a"_s, u"2:b"_s, u"3:c"_s, u"4:d@002"_s, u"5:e"_s}
        << QStringList {u"start => key=1 sel=001"_s, u"click 002 => grid=4"_s,
                        // The current keyword is among them: the loop moves on. One was filed already.
                        u"many 002:1,2,4;003:5 => bulk=3/0/1 key=3 grid=4,2,1 row5=1|003|美食"_s,
                        u"file => key=0 filed=5 msg=所有关键词已设置完毕！"_s, u"undo => key=3 filed=4"_s,
                        u"undo => key=3 filed=1 grid=4 row1=0|| row2=0|| row5=0||"_s,
                        u"redo => key=3 filed=4 grid=4,2,1"_s, u"undo => filed=1"_s,
                        // Changed since by another program: left out, and said so.
                        u"sql UPDATE Korvels SET isSet = 1, classcode = '004', classname = '健康' WHERE id = 2"_s,
                        u"redo => msg~=个关键词在此后已被删除、改动或正由另一个窗口设置，没有恢复。 filed=4 grid=4,1"_s,
                        u"many 009:3 => bulk=0/0/1 key=3"_s};

    QTest::newRow("several filed elsewhere before the grid syncs")
        << QStringList {u"1:a"_s, u"2:b"_s, u"3:c@001001"_s}
        << QStringList {u"start => sel=001 grid=3"_s, u"elsewhere 1:001001,2:001002 => grid=3"_s,
                        u"sync => grid=3,1,2"_s};

    QTest::newRow("a team's server out of reach and back")
        << QStringList {u"1:a"_s, u"2:b"_s, u"3:c"_s}
        << QStringList {u"start => key=1"_s,
                        u"offline down => msg=down"_s,
                        u"refuse Korvels UPDATE"_s,
                        u"file => key=1 filed=0"_s,
                        u"online"_s,
                        u"file => msg~=disk-says-no"_s,
                        u"allow Korvels"_s,
                        u"lost 2 => key=1"_s,
                        u"lost 1 => msg=关键词“a”已由另一个窗口设置或删除，换到下一个关键词。"_s};

    QTest::newRow("found keywords") << QStringList {u"1:华为手机@001001"_s, u"2:壳"_s, u"3:孤儿@009"_s,
                                                    u"4:笔记本@001002001"_s, u"5:配件"_s}
                                    << QStringList {
                                           u"start => key=2"_s,
                                           u"find 1 => parent=001 sel=001001 grid=1 found=0"_s,
                                           u"find 5 => key=5 kw=配件"_s,
                                           u"key a => row5=1|001001|手机 key=2 grid=5,1"_s,
                                           u"find 4 => parent=001002 sel=001002001 found=0"_s,
                                           u"find 3 => msg=关键词“孤儿”所在的分类已不在分类列表中。 parent= sel=001"_s};

    QTest::newRow("suggestions")
        << QStringList {u"1:华为手机@001001"_s, u"2:小米手机@001001"_s, u"3:笔记本电脑@001002001"_s,
                        u"4:麻辣火锅@003"_s,    u"5:苹果手机"_s,        u"6:火锅底料"_s}
        << QStringList {u"start => key=5"_s,
                        u"accept => msg=还没有建议的分类：已设置的关键词太少。 key=5"_s,
                        u"wait => sugg=001001"_s,
                        u"accept => row5=1|001001|手机 key=6 sugg=003"_s,
                        u"accept => row6=1|003|美食 key=0 msg=所有关键词已设置完毕！ sugg="_s,
                        u"accept => msg=没有需要设定的关键词！"_s};

    QTest::newRow("deleting classes")
        << QStringList {u"1:k@001002001"_s}
        << QStringList {u"start => sel=001 msg=所有关键词已设置完毕！"_s,
                        u"delclass => msg=分类不为空，不能删除！ codes=001,001001,001002,001002001,002,003,004,005"_s,
                        u"click 005 => sel=005"_s,
                        u"delclass => list=数码,汽车,美食,健康 sel=001 codes=001,001001,001002,001002001,002,003,004"_s,
                        u"sql DELETE FROM Korvels"_s,
                        // The classes below stay, out of reach.
                        u"delclass => list=汽车,美食,健康 sel=002 codes=001001,001002,001002001,002,003,004"_s};
}

void TestSession::scripts()
{
    QFETCH(QStringList, keywords);
    QFETCH(QStringList, script);
    QVERIFY(fillScriptStore(*m_store, *m_raw, keywords));
    SortingSession session(*m_store);
    QVERIFY(SessionScript(*m_store, *m_raw, session).run(script));
}

void TestSession::aLargeSubtree()
{
    // Class sizes that put group boundaries inside pages, ids shuffled across the classes, and a few keywords
    // left unsorted. A code that is no whole level (0010) still sorts by code among the others.
    const QList<std::pair<QString, int>> sizes = {{u"001"_s, 700},       {u"001001"_s, 301}, {u"0010"_s, 3},
                                                  {u"001001001"_s, 555}, {u"002"_s, 200},    {QString(), 20}};
    QList<KeywordRow> rows;
    for (const auto& [code, n] : sizes) {
        for (int i = 0; i < n; ++i)
            rows.append({0, code + u'-' + QString::number(i), code, u"c"_s + code, code.isEmpty() ? 0 : 1, 0, 0});
    }
    QList<qint64> ids(rows.size());
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), *QRandomGenerator::global());
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].id = ids.at(i);
    QVERIFY_OK(m_store->addClass({}, u"甲"_s, u"1"_s));
    QVERIFY_OK(m_store->importRows(rows));
    SortingSession session(*m_store);
    SessionScript script(*m_store, *m_raw, session);
    QVERIFY(script.run({u"start"_s}));
    KeywordGridModel* model = session.gridModel();
    const auto shown = [&](int from, int to) { return gridRows(*model, from, to); };
    const auto expected = [&] {
        return m_raw->rows(u"SELECT id, classname, keywords FROM Korvels WHERE classcode >= '001' AND classcode < '002'"
                           u" ORDER BY classcode, id DESC"_s);
    };
    const QStringList all = expected();
    QCOMPARE(model->dataRowCount(), 1559);
    // Read from the middle first, then every row from the top, then backwards across every page boundary.
    QCOMPARE(shown(760, 840), all.mid(760, 80));
    QCOMPARE(shown(0, 1559), all);
    QVERIFY_OK(model->load(u"001"_s));
    for (int r = 1558; r >= 0; r -= 7)
        QCOMPARE(shown(r, r + 1), all.mid(r, 1));

    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    for (const int at : {1000, 3, 1555, 701, 257}) {
        (void)shown(std::max(0, at - 20), std::min(1559, at + 20));
        // Take back the keyword at that row: it leaves, the rows after it move up.
        const QString taken = shown(at, at + 1).first();
        session.TakeBack(at);
        QCOMPARE(session.keyword(), taken.section(u'|', 2));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.takeFirst().at(1).toInt(), at);
        QCOMPARE(shown(0, model->dataRowCount()), expected());
        // Filed again under 甲: it comes in at the place of its id in that class.
        QVERIFY(script.run({u"file"_s}));
        QCOMPARE(inserted.size(), 1);
        inserted.clear();
        QCOMPARE(shown(0, model->dataRowCount()), expected());
    }
    QCOMPARE(reset.size(), 0);
    // Several changes before the grid looks again (another writer's, then this session's): all of them shown.
    for (const QString& id : m_raw->rows(u"SELECT id FROM Korvels WHERE isSet = 0 ORDER BY id DESC LIMIT 2"_s))
        QVERIFY_OK(m_store->fileKeyword(id.toLongLong(), u"001001"_s, u"手机"_s));
    QVERIFY(script.run({u"file"_s}));
    QCOMPARE(shown(0, model->dataRowCount()), expected());
}

QTEST_GUILESS_MAIN(TestSession)
#include "TestSession.moc"
