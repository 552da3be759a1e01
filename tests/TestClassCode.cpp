#include "store/ClassCode.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestClassCode : public QObject
{
    Q_OBJECT
private slots:
    void segments_data();
    void segments();
    void parentsChildrenAndSubtrees();
    void keysRoundTrip();
};

void TestClassCode::segments_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("code");
    QTest::newRow("first top-level class") << QString() << qint64(1) << u"001"_s;
    QTest::newRow("two digits") << QString() << qint64(42) << u"042"_s;
    QTest::newRow("9 to 10") << u"004"_s << qint64(10) << u"004010"_s;
    QTest::newRow("99 to 100") << u"004"_s << qint64(100) << u"004100"_s;
    QTest::newRow("three digits deep") << u"002003"_s << qint64(345) << u"002003345"_s;
    QTest::newRow("the last number") << u"002"_s << qint64(999) << u"002999"_s;
}

void TestClassCode::segments()
{
    QFETCH(QString, parent);
    QFETCH(qint64, number);
    QFETCH(QString, code);
    QCOMPARE(ClassCode::childCode(parent, number), code);
    QCOMPARE(ClassCode::parentCode(code), parent);
    QVERIFY(ClassCode::isChildOf(code, parent));
}

void TestClassCode::parentsChildrenAndSubtrees()
{
    QCOMPARE(ClassCode::parentCode(u"001002"_s), u"001"_s);
    QCOMPARE(ClassCode::parentCode(u"001"_s), QString());
    QCOMPARE(ClassCode::parentCode(QString()), QString());
    // Anything of one to three characters belongs to the root.
    QCOMPARE(ClassCode::parentCode(u"12"_s), QString());

    QVERIFY(ClassCode::isChildOf(u"001"_s, QString()));
    QVERIFY(!ClassCode::isChildOf(u"001002"_s, QString()));
    QVERIFY(!ClassCode::isChildOf(u"001002005"_s, u"001"_s));
    QVERIFY(!ClassCode::isChildOf(u"002001"_s, u"001"_s));

    // A keyword filed under 002003 lies in the subtrees of 002 and 002003 only.
    QVERIFY(ClassCode::isInSubtree(u"002003"_s, u"002"_s));
    QVERIFY(ClassCode::isInSubtree(u"002003"_s, u"002003"_s));
    QVERIFY(!ClassCode::isInSubtree(u"002003"_s, u"003"_s));
    QVERIFY(!ClassCode::isInSubtree(u"002003"_s, u"001"_s));
    QVERIFY(!ClassCode::isInSubtree(u"002"_s, u"002003"_s));
}

void TestClassCode::keysRoundTrip()
{
    QCOMPARE(ClassCode::itemKey(u"001002"_s), u"S001002"_s);
    QCOMPARE(KeyToCode(u"S001002"_s), u"001002"_s);
    QCOMPARE(KeyToCode(ClassCode::itemKey(QString())), QString());
    // Every capital S goes, lower-case s stays.
    QCOMPARE(KeyToCode(u"SaSbs"_s), u"abs"_s);
}

QTEST_APPLESS_MAIN(TestClassCode)
#include "TestClassCode.moc"
