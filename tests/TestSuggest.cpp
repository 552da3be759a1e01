#include "store/ClassCode.h"
#include "store/suggest/Calibration.h"
#include "store/suggest/FeatureCounts.h"
#include "store/suggest/LearntKeywords.h"
#include "store/suggest/Radicals.h"
#include "store/suggest/Suggester.h"

#include <QRandomGenerator>
#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

// The class suggestions without a window: what they learn and forget, and whether their confidence means what it
// says on keywords whose right answer is known.
class TestSuggest : public QObject
{
    Q_OBJECT
private slots:
    void learnAndForget();
    void initTestCase();
    void confidenceIsTheShareRight();
    void subtreeConfidence_data();
    void subtreeConfidence();
    void countsKeepEveryClassOfAFeature();
    void learntPairsAreCounted();
    void calibrationRisesBetweenItsPoints();
    void radicals();

private:
    // A model of a synthetic tree where the chance of every answer is known, and the unsorted keywords it saw.
    Suggester m_model;
    QStringList m_asked;
};

void TestSuggest::learnAndForget()
{
    Suggester suggester;
    QCOMPARE(suggester.suggest(u"火锅"_s), QStringList());
    QCOMPARE(suggester.best(u"火锅"_s).code, QString());
    suggester.learn(u"001"_s, u"iphone 15 pro max 256g"_s);
    for (const QString& food : {u"火锅"_s, u"奶茶"_s, u"蛋糕"_s})
        suggester.learn(u"002"_s, food);
    // What was learnt outweighs the larger class; letters count without case.
    QCOMPARE(suggester.suggest(u"IPHONE壳"_s, 2), QStringList({u"001"_s, u"002"_s}));
    // Unsorted keywords count towards their likely class, but only while a keyword learnt holds it.
    suggester.fit({u"iphone 16"_s, u"苹果 iphone"_s, u"火锅底料"_s});
    QCOMPARE(suggester.suggest(u"麻辣火锅"_s), QStringList(u"002"_s));
    // Nothing measured yet: no confidence.
    QVERIFY(!suggester.isCalibrated());
    QCOMPARE(suggester.best(u"麻辣火锅"_s).confidence, 0.0);
    // A class whose keywords are all forgotten is suggested no more.
    suggester.forget(u"001"_s, u"iphone 15 pro max 256g"_s);
    QCOMPARE(suggester.suggest(u"IPHONE壳"_s, 2), QStringList(u"002"_s));
    QCOMPARE(suggester.keywords(), 3);

    // The window learns only the newest filings; a take-back of an older one reaches a model that never had it.
    Suggester newest;
    newest.learn(u"001"_s, u"火锅"_s);
    newest.learn(u"002"_s, u"手机壳"_s);
    newest.learn(u"002"_s, u"手机膜"_s);
    for (int i = 0; i < 50; ++i)
        newest.forget(u"001"_s, u"火锅店%1"_s.arg(i));
    newest.forget(u"002"_s, u"火锅"_s); // learnt, but under another class
    newest.forget(u"003"_s, u"火锅"_s); // a class never learnt
    QCOMPARE(newest.keywords(), 3);
    QCOMPARE(newest.suggest(u"麻辣火锅"_s), QStringList(u"001"_s));
    // Taken back twice, it is forgotten once; learnt again, it is back.
    newest.forget(u"002"_s, u"手机壳"_s);
    newest.forget(u"002"_s, u"手机壳"_s);
    QCOMPARE(newest.keywords(), 2);
    QCOMPARE(newest.suggest(u"手机"_s), QStringList(u"002"_s));
    newest.forget(u"002"_s, u"手机膜"_s);
    QCOMPARE(newest.suggest(u"手机"_s), QStringList(u"001"_s));
    newest.learn(u"002"_s, u"手机膜"_s);
    QCOMPARE(newest.suggest(u"手机"_s), QStringList(u"002"_s));
}

namespace {

// Keywords are a letter that carries the class and three Chinese characters that carry nothing. A keyword with
// letter a, b, c or d lies under 001, in 001001 with the chance given here and in 001002 otherwise; e, f and g
// lie in 002. So the chance that any answer is right is known.
const QString Letters = u"abcdefg"_s;
const QList<double> InFirst = {1.0, 0.9, 0.5, 0.2};

double chanceIn(const QString& subtree, QChar letter)
{
    const qsizetype l = Letters.indexOf(letter);
    const double first = l < InFirst.size() ? InFirst.at(l) : -1;
    const QList<std::pair<QString, double>> leaves
        = {{u"001001"_s, qMax(0.0, first)}, {u"001002"_s, first < 0 ? 0 : 1 - first}, {u"002"_s, first < 0 ? 1 : 0}};
    double chance = 0;
    for (const auto& [leaf, p] : leaves)
        chance += ClassCode::isInSubtree(leaf, subtree) ? p : 0;
    return chance;
}

} // namespace

void TestSuggest::initTestCase()
{
    QRandomGenerator random(5);
    const auto draw = [&](qsizetype l) -> std::pair<QString, QString> {
        QString keyword = Letters.at(l);
        for (int i = 0; i < 3; ++i)
            keyword += QChar(char16_t(0x4E00 + random.bounded(5000)));
        if (l >= InFirst.size())
            return {u"002"_s, keyword};
        return {random.generateDouble() < InFirst.at(l) ? u"001001"_s : u"001002"_s, keyword};
    };
    for (int i = 0; i < 3000; ++i) {
        const auto [code, keyword] = draw(random.bounded(int(Letters.size())));
        m_model.learn(code, keyword);
    }
    QStringList unsorted;
    for (int i = 0; i < 2800; ++i)
        unsorted << draw(i % Letters.size()).second;
    m_model.fit(unsorted);
    m_asked = unsorted;
}

void TestSuggest::confidenceIsTheShareRight()
{
    // In each band of confidence, the best classes are right as often as the confidence says on average.
    QVERIFY(m_model.isCalibrated());
    struct Band
    {
        double from;
        double to;
        double n = 0;
        double confidence = 0;
        double chance = 0;
    };
    QList<Band> bands = {{0, 0.7}, {0.7, 0.85}, {0.85, 0.95}, {0.95, 1.01}};
    for (const QString& keyword : std::as_const(m_asked)) {
        const Suggestion best = m_model.best(keyword);
        for (Band& b : bands) {
            if (best.confidence >= b.from && best.confidence < b.to) {
                ++b.n;
                b.confidence += best.confidence;
                b.chance += chanceIn(best.code, keyword.at(0));
            }
        }
    }
    for (const Band& b : std::as_const(bands)) {
        QVERIFY2(b.n >= 100, qPrintable(u"%1 in [%2, %3)"_s.arg(b.n).arg(b.from).arg(b.to)));
        QVERIFY2(qAbs(b.confidence - b.chance) / b.n < 0.06,
                 qPrintable(u"[%1, %2): confidence %3, right %4"_s.arg(b.from)
                                .arg(b.to)
                                .arg(b.confidence / b.n)
                                .arg(b.chance / b.n)));
    }
}

void TestSuggest::subtreeConfidence_data()
{
    QTest::addColumn<QChar>("letter");
    QTest::addColumn<QString>("subtree");
    QTest::newRow("always there") << QChar(u'a') << u"001"_s;
    QTest::newRow("its parent") << QChar(u'c') << u"001"_s;
    QTest::newRow("four in five") << QChar(u'd') << u"001002"_s;
    QTest::newRow("nine in ten") << QChar(u'b') << u"001001"_s;
    QTest::newRow("the other tree") << QChar(u'e') << u"001"_s;
    QTest::newRow("everything") << QChar(u'f') << QString();
}

void TestSuggest::subtreeConfidence()
{
    // The confidence that a keyword lies in a subtree, on average over its keywords, is the chance that it does.
    QFETCH(QChar, letter);
    QFETCH(QString, subtree);
    double confidence = 0;
    double n = 0;
    for (const QString& keyword : std::as_const(m_asked)) {
        if (keyword.at(0) == letter) {
            confidence += m_model.confidences(keyword, {u"009"_s, subtree}).value(1);
            ++n;
        }
    }
    const double chance = chanceIn(subtree, letter);
    QVERIFY2(qAbs(confidence / n - chance) < 0.08,
             qPrintable(u"confidence %1, chance %2"_s.arg(confidence / n).arg(chance)));
    QCOMPARE(m_model.confidence(m_asked.first(), u"009"_s), 0.0);
}

void TestSuggest::countsKeepEveryClassOfAFeature()
{
    // Against a plain map: many features, some with hundreds of classes in any order, their lists moved and
    // compacted on the way; counts never below 0.
    FeatureCounts counts;
    std::map<std::pair<quint32, quint32>, float> expected;
    QRandomGenerator random(9);
    for (int i = 0; i < 200000; ++i) {
        const quint32 feature = 1 + (i % 3 == 0 ? random.bounded(20u) : random.bounded(50000u));
        const quint32 c = random.bounded(700u);
        const float by = random.bounded(5) == 0 ? -1.0f : 1.0f;
        counts.add(feature, c, by);
        const auto [it, added] = expected.try_emplace({feature, c}, 0.0f);
        if (added && by < 0)
            expected.erase(it);
        else
            it->second = qMax(0.0f, it->second + by);
        if (i == 150000)
            counts.compact();
    }
    std::map<std::pair<quint32, quint32>, float> found;
    for (quint32 f = 1; f <= 50000; ++f) {
        quint32 previous = 0;
        for (const FeatureCounts::Entry& e : counts.classesOf(f)) {
            QVERIFY(found.empty() || e.classIndex >= previous);
            previous = e.classIndex;
            found[{f, e.classIndex}] = e.count;
        }
    }
    QVERIFY(found == expected);
    QCOMPARE(counts.classesOf(60000).size(), size_t(0));
}

void TestSuggest::learntPairsAreCounted()
{
    LearntKeywords learnt;
    const quint64 a = LearntKeywords::print(u"001"_s, u"火锅"_s);
    const quint64 b = LearntKeywords::print(u"002"_s, u"火锅"_s);
    QVERIFY(a != b);
    learnt.add(a);
    learnt.add(a);
    QVERIFY(!learnt.remove(b));
    QVERIFY(learnt.remove(a));
    learnt.add(b); // after a removal: beside the bulk
    QVERIFY(learnt.remove(a));
    QVERIFY(!learnt.remove(a));
    QVERIFY(learnt.remove(b));
    QVERIFY(!learnt.remove(b));
}

void TestSuggest::calibrationRisesBetweenItsPoints()
{
    Calibration calibration;
    QCOMPARE(calibration.at(3), 0.0);
    // Below 0 mostly wrong, above mostly right, with one wrong answer high up that must not make it fall.
    QList<std::pair<double, bool>> outcomes;
    for (int i = -50; i < 50; ++i)
        outcomes.append({i / 10.0, i >= 0 ? i != 40 : i % 5 == 0});
    calibration.fit(outcomes);
    double previous = 0;
    for (double score = -6; score <= 6; score += 0.25) {
        QVERIFY(calibration.at(score) >= previous);
        previous = calibration.at(score);
    }
    QVERIFY(calibration.at(-6) < 0.25);
    QVERIFY(calibration.at(6) > 0.95 && calibration.at(6) < 1);
    QVERIFY(calibration.at(-0.05) < calibration.at(0.05));
}

void TestSuggest::radicals()
{
    const QList<std::pair<char32_t, int>> cases = {
        {U'一', 1}, {U'病', 104}, {U'鲨', 195}, {U'鱼', 195}, {U'车', 159}, {U'\u3400', 1}, {U'a', 0}, {U'\uFF21', 0},
    };
    for (const auto& [c, radical] : cases)
        QCOMPARE(Radicals::of(c), radical);
}

QTEST_GUILESS_MAIN(TestSuggest)
#include "TestSuggest.moc"
