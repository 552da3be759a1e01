#include "TestSupport.h"
#include "store/ClassCode.h"

#include <QFile>

class TestStore : public QObject
{
    Q_OBJECT
private slots:
    void createMakesTablesIndexesAndRoot();
    void createRefusesAnExistingFile();
    void keywordsServedInIdOrderBeyondSixteenBits();
    void subtreeGroupsByClassNewestFirst();
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
        QCOMPARE(store.fileKeyword((*next)->id, u"001"_s, u"t"_s)->value().classcode, u"001"_s);
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

QTEST_GUILESS_MAIN(TestStore)
#include "TestStore.moc"
