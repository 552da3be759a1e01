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
    void subtreeAsARange();
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
    // Found by fuzzing: a null code lies under the root like any other.
    QVERIFY(ClassCode::isInSubtree(QString(), u""_s));
    QVERIFY(ClassCode::isChildOf(u"001"_s, u""_s));
}

void TestClassCode::keysRoundTrip()
{
    QCOMPARE(ClassCode::itemKey(u"001002"_s), u"S001002"_s);
    QCOMPARE(KeyToCode(u"S001002"_s), u"001002"_s);
    QCOMPARE(KeyToCode(ClassCode::itemKey(QString())), QString());
    // Every capital S goes, lower-case s stays.
    QCOMPARE(KeyToCode(u"SaSbs"_s), u"abs"_s);
}

void TestClassCode::subtreeAsARange()
{
    QCOMPARE(ClassCode::subtreeEnd(u"001"_s), u"002"_s);
    QCOMPARE(ClassCode::subtreeEnd(u"009"_s), u"00:"_s);
    QCOMPARE(ClassCode::subtreeEnd(QString()), QString());
    // Found by fuzzing: the end after U+FEFE is U+FEFF, which is no byte-order mark here.
    QCOMPARE(ClassCode::subtreeEnd(u"\uFEFE"_s), u"\uFEFF"_s);
    // The range holds exactly the texts that begin with the code, compared as the store compares (UTF-8 bytes).
    const QString codes[] = {u"001"_s, u"a\uD7FF"_s, u"b\U0010FFFF"_s, u"\U0010FFFF"_s, u"手机"_s};
    const QString others[]
        = {u"001"_s,     u"0010"_s,         u"001002"_s, u"002"_s,      u"00"_s, u"a\uD7FF"_s,    u"a\uD7FFx"_s,
           u"a\uE000"_s, u"b\U0010FFFF!"_s, u"c"_s,      u"手机价格"_s, u"手"_s, u"\U0010FFFF"_s, QString()};
    for (const QString& code : codes) {
        const QByteArray lo = code.toUtf8();
        const QByteArray hi = ClassCode::subtreeEnd(code).toUtf8();
        for (const QString& other : others) {
            const QByteArray x = other.toUtf8();
            const bool inRange = lo <= x && (hi.isEmpty() || x < hi);
            QVERIFY2(inRange == other.startsWith(code), qPrintable(code + u" / "_s + other));
        }
    }
}

QTEST_APPLESS_MAIN(TestClassCode)
#include "TestClassCode.moc"
