#include "TestSupport.h"
#include "store/ClassCode.h"

#include <QFile>

class TestStore : public QObject
{
    Q_OBJECT
private slots:
    void createMakesTablesIndexesAndRoot();
    void createRefusesAnExistingFile();
    void openRefuses_data();
    void openRefuses();
    void classCodesPathsAndCounters();
    void textIsStoredExactlyAsTyped();
    void keywordsServedInIdOrderBeyondSixteenBits();
    void subtreeGroupsByClassNewestFirst();
    void filingARowThatIsGone();
};

void TestStore::createMakesTablesIndexesAndRoot()
{
    TempStore s;
    RawDb raw(s.path);
    QCOMPARE(raw.rows(u"SELECT name FROM pragma_table_info('KeyClass')"_s),
             QStringList({u"id"_s, u"code"_s, u"title"_s, u"qKey"_s, u"maxnext"_s, u"path"_s}));
    QCOMPARE(
        raw.rows(u"SELECT name FROM pragma_table_info('Korvels')"_s),
        QStringList({u"id"_s, u"keywords"_s, u"isSet"_s, u"statue"_s, u"statue1"_s, u"classcode"_s, u"classname"_s}));
    // No column takes a Null.
    QCOMPARE(raw.value(u"SELECT count(*) FROM pragma_table_info('Korvels') WHERE \"notnull\" = 0 AND pk = 0"_s),
             u"0"_s);
    QCOMPARE(raw.value(u"SELECT count(*) FROM pragma_table_info('KeyClass') WHERE \"notnull\" = 0 AND pk = 0"_s),
             u"0"_s);
    QCOMPARE(raw.rows(u"SELECT code, maxnext, path FROM KeyClass"_s), QStringList(u"|0|"_s));
    QCOMPARE(raw.value(u"PRAGMA user_version"_s), QString::number(Store::SchemaVersion));

    // A fresh keyword row gets empty class code and name, not Null.
    QVERIFY(raw.exec(u"INSERT INTO Korvels(keywords) VALUES ('x')"_s));
    QCOMPARE(raw.value(u"SELECT classcode IS NULL, classname IS NULL, classcode, classname, isSet FROM Korvels"_s),
             u"0|0|||0"_s);

    Store store;
    QVERIFY(store.open(s.path).ok());
}

void TestStore::createRefusesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"notes.txt"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    const Status created = Store::create(path);
    QVERIFY(!created.ok());
    QVERIFY(created.error().contains(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestStore::openRefuses_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QString() << u"unable to open database file"_s;
    QTest::newRow("text file") << u"text"_s << u"file is not a database"_s;
    QTest::newRow("no root row") << u"DELETE FROM KeyClass WHERE code = ''"_s << u"根行"_s;
    QTest::newRow("no keyword table") << u"DROP TABLE Korvels"_s << u"Korvels"_s;
    QTest::newRow("missing column") << u"ALTER TABLE KeyClass DROP COLUMN maxnext"_s << u"maxnext"_s;
    QTest::newRow("newer schema") << u"PRAGMA user_version = 99"_s << u"99"_s;
}

void TestStore::openRefuses()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.db"_s);
    if (setup == u"text"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'k'));
    } else if (!setup.isEmpty()) {
        QVERIFY(Store::create(path).ok());
        RawDb raw(path);
        QVERIFY(raw.exec(setup));
    }

    Store store;
    const Status opened = store.open(path);
    QVERIFY(!opened.ok());
    QVERIFY2(opened.error().contains(message), qPrintable(opened.error()));
    // Opening never creates the file it was asked for.
    QCOMPARE(QFile::exists(path), !setup.isEmpty());
}

void TestStore::classCodesPathsAndCounters()
{
    TempStore s;
    Store store;
    QVERIFY(store.open(s.path).ok());

    QCOMPARE(*store.addClass({}, u"数码"_s, u"1"_s), u"001"_s);
    QCOMPARE(*store.addClass({}, u"汽车"_s, u"2"_s), u"002"_s);
    QCOMPARE(*store.addClass(u"002"_s, u"轿车"_s, u"a"_s), u"002001"_s);
    QCOMPARE(*store.addClass(u"002001"_s, u"紧凑型"_s, u"x"_s), u"002001001"_s);

    const auto top = store.classesUnder({});
    QVERIFY(top.ok());
    QCOMPARE(top->size(), 2);
    QCOMPARE(top->at(0).code, u"001"_s);
    QCOMPARE(top->at(0).path, u" > 数码"_s);
    QCOMPARE(top->at(1).maxnext, qint64(1));
    const auto deep = store.classesUnder(u"002001"_s);
    QCOMPARE(deep->size(), 1);
    QCOMPARE(deep->at(0).path, u" > 汽车 > 轿车 > 紧凑型"_s);
    QCOMPARE(store.classByCode({})->value().maxnext, qint64(2));
    QVERIFY(store.classesUnder(u"001"_s)->isEmpty());

    // A parent that has handed out its last number refuses, and nothing is written.
    RawDb raw(s.path);
    QVERIFY(raw.exec(u"UPDATE KeyClass SET maxnext = 999 WHERE code = '001'"_s));
    const auto refused = store.addClass(u"001"_s, u"多余"_s, u"z"_s);
    QVERIFY(!refused.ok());
    QVERIFY(!refused.error().isEmpty());
    QCOMPARE(raw.value(u"SELECT count(*) FROM KeyClass"_s), u"5"_s);
    QCOMPARE(raw.value(u"SELECT maxnext FROM KeyClass WHERE code = '001'"_s), u"999"_s);
    QVERIFY(!store.addClass(u"777"_s, u"无父"_s, u"q"_s).ok());
}

void TestStore::textIsStoredExactlyAsTyped()
{
    TempStore s;
    Store store;
    QVERIFY(store.open(s.path).ok());
    const QString nasty = u"O'Brien \"quoted\" back\\slash 100% _x_ '; DROP TABLE Korvels; --"_s;
    const auto code = store.addClass({}, nasty, u"'"_s);
    QVERIFY(code.ok());
    const auto listed = store.classesUnder({});
    QCOMPARE(listed->at(0).title, nasty);
    QCOMPARE(listed->at(0).qKey, u"'"_s);

    QCOMPARE(*store.insertKeywords({nasty, u"  spaced  "_s}), 2);
    QCOMPARE(store.nextUnsorted()->value().keywords, nasty);
    QVERIFY(*store.fileKeyword(store.nextUnsorted()->value().id, *code, nasty));
    QCOMPARE(store.classPage(*code, 1, 1)->at(0).classname, nasty);
    QCOMPARE(store.nextUnsorted()->value().keywords, u"  spaced  "_s);
}

void TestStore::keywordsServedInIdOrderBeyondSixteenBits()
{
    TempStore s;
    {
        RawDb raw(s.path);
        for (qint64 id : {qint64(3000000000), qint64(40000), qint64(7), qint64(9)})
            QVERIFY(raw.exec(u"INSERT INTO Korvels(id, keywords) VALUES (?, ?)"_s, {id, QString::number(id)}));
        QVERIFY(raw.exec(u"INSERT INTO Korvels(id, keywords, isSet, classcode) VALUES (3, 'filed', 1, '001')"_s));
    }
    Store store;
    QVERIFY(store.open(s.path).ok());
    QList<qint64> served;
    while (true) {
        const auto next = store.nextUnsorted();
        QVERIFY(next.ok());
        if (!next->has_value())
            break;
        served << (*next)->id;
        QVERIFY(*store.fileKeyword((*next)->id, u"001"_s, u"t"_s));
    }
    QCOMPARE(served, QList<qint64>({7, 9, 40000, 3000000000}));

    // Taking one back puts it first in the queue again; a new row's id is above every id there is.
    QVERIFY(*store.unfileKeyword(40000));
    QCOMPARE(store.nextUnsorted()->value().id, qint64(40000));
    QVERIFY(store.insertKeywords({u"new"_s}).ok());
    RawDb raw(s.path);
    QCOMPARE(raw.value(u"SELECT max(id) FROM Korvels"_s), u"3000000001"_s);
    QCOMPARE(raw.value(u"SELECT isSet, classcode, classname FROM Korvels WHERE id = 40000"_s), u"0||"_s);
}

void TestStore::subtreeGroupsByClassNewestFirst()
{
    TempStore s;
    {
        RawDb raw(s.path);
        const QList<std::pair<int, QString>> rows = {
            {1, u"001002005"_s}, {2, u"001"_s},  {3, u"002"_s}, {4, u"001002"_s},
            {5, u"001"_s},       {6, u"0010"_s}, {7, u""_s},    {8, u"001002"_s},
        };
        for (const auto& [id, code] : rows) {
            QVERIFY(raw.exec(u"INSERT INTO Korvels(id, keywords, isSet, classcode, classname) VALUES (?, ?, 1, ?, ?)"_s,
                             {id, QString(u"k"_s + QString::number(id)), code, QString(u"c"_s + code)}));
        }
    }
    Store store;
    QVERIFY(store.open(s.path).ok());
    QList<qint64> ids;
    QList<QString> codes;
    QVERIFY(store.subtreeKeys(u"001"_s, ids, codes).ok());
    QCOMPARE(ids, QList<qint64>({5, 2, 6, 8, 4, 1}));
    QCOMPARE(codes, QList<QString>({u"001"_s, u"001"_s, u"0010"_s, u"001002"_s, u"001002"_s, u"001002005"_s}));
    QVERIFY(store.subtreeKeys(u"001002005"_s, ids, codes).ok());
    QCOMPARE(ids, QList<qint64>({1}));
    QVERIFY(store.subtreeKeys(u"003"_s, ids, codes).ok());
    QVERIFY(ids.isEmpty());

    // A page of one class, from an id downwards.
    const auto page = store.classPage(u"001"_s, 4, 10);
    QVERIFY(page.ok());
    QCOMPARE(page->size(), 1);
    QCOMPARE(page->at(0).keywords, u"k2"_s);
    QCOMPARE(page->at(0).classname, u"c001"_s);
}

void TestStore::filingARowThatIsGone()
{
    TempStore s;
    Store store;
    QVERIFY(store.open(s.path).ok());
    QVERIFY(store.insertKeywords({u"a"_s}).ok());
    const qint64 id = store.nextUnsorted()->value().id;
    RawDb(s.path).exec(u"DELETE FROM Korvels"_s);
    const auto filed = store.fileKeyword(id, u"001"_s, u"x"_s);
    QVERIFY(filed.ok());
    QVERIFY(!*filed);
    QVERIFY(!*store.unfileKeyword(id));
}

QTEST_GUILESS_MAIN(TestStore)
#include "TestStore.moc"
