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
    void forgettingWhatWasNeverLearntChangesNothing();
    void confidenceIsTheShareRight_data();
    void confidenceIsTheShareRight();
    void countsKeepEveryClassOfAFeature();
    void learntPairsAreCounted();
    void calibrationRisesBetweenItsPoints();
    void radicals();
};

void TestSuggest::learnAndForget()
{
    Suggester suggester;
    QCOMPARE(suggester.suggest(u"火锅"_s), QStringList());
    QCOMPARE(suggester.best(u"火锅"_s).code, QString());
    suggester.learn(u"001"_s, u"iphone 15"_s);
    for (const QString& food : {u"火锅"_s, u"奶茶"_s, u"蛋糕"_s})
        suggester.learn(u"002"_s, food);
    // What was learnt outweighs the larger class; letters count without case.
    QCOMPARE(suggester.suggest(u"IPHONE壳"_s, 2), QStringList({u"001"_s, u"002"_s}));
    QCOMPARE(suggester.suggest(u"麻辣火锅"_s), QStringList(u"002"_s));
    // Nothing measured yet: no confidence.
    QVERIFY(!suggester.isCalibrated());
    QCOMPARE(suggester.best(u"麻辣火锅"_s).confidence, 0.0);
    // A class whose keywords are all forgotten is suggested no more.
    suggester.forget(u"001"_s, u"iphone 15"_s);
    QCOMPARE(suggester.suggest(u"IPHONE壳"_s, 2), QStringList(u"002"_s));
    QCOMPARE(suggester.keywords(), 3);
}

void TestSuggest::forgettingWhatWasNeverLearntChangesNothing()
{
    // The window learns only the newest filings; a take-back of an older one reaches a model that never had it.
    Suggester suggester;
    suggester.learn(u"001"_s, u"火锅"_s);
    suggester.learn(u"002"_s, u"手机壳"_s);
    suggester.learn(u"002"_s, u"手机膜"_s);
    for (int i = 0; i < 50; ++i)
        suggester.forget(u"001"_s, u"火锅店%1"_s.arg(i));
    suggester.forget(u"002"_s, u"火锅"_s); // learnt, but under another class
    suggester.forget(u"003"_s, u"火锅"_s); // a class never learnt
    QCOMPARE(suggester.keywords(), 3);
    QCOMPARE(suggester.suggest(u"麻辣火锅"_s), QStringList(u"001"_s));
    // Taken back twice, it is forgotten once; learnt again, it is back.
    suggester.forget(u"002"_s, u"手机壳"_s);
    suggester.forget(u"002"_s, u"手机壳"_s);
    QCOMPARE(suggester.keywords(), 2);
    QCOMPARE(suggester.suggest(u"手机"_s), QStringList(u"002"_s));
    suggester.forget(u"002"_s, u"手机膜"_s);
    QCOMPARE(suggester.suggest(u"手机"_s), QStringList(u"001"_s));
    suggester.learn(u"002"_s, u"手机膜"_s);
    QCOMPARE(suggester.suggest(u"手机"_s), QStringList(u"002"_s));
}

void TestSuggest::confidenceIsTheShareRight_data()
{
    // Keywords are a letter that carries the class and digits that carry nothing. Under 001 the letter is drawn
    // so that a keyword lies in 001001 with a known chance; 002 has its own letters.
    QTest::addColumn<QChar>("letter");
    QTest::addColumn<double>("inFirst"); // the chance that a keyword with this letter lies in 001001
    QTest::addColumn<QString>("subtree");
    QTest::addColumn<double>("inSubtree");
    QTest::newRow("only 001001") << QChar(u'a') << 1.0 << u"001"_s << 1.0;
    QTest::newRow("nine in ten") << QChar(u'b') << 0.9 << u"001"_s << 1.0;
    QTest::newRow("even") << QChar(u'c') << 0.5 << u"001"_s << 1.0;
    QTest::newRow("one in five") << QChar(u'd') << 0.2 << u"001002"_s << 0.8;
    QTest::newRow("the other tree") << QChar(u'e') << 0.0 << u"001"_s << 0.0;
}

void TestSuggest::confidenceIsTheShareRight()
{
    QFETCH(QChar, letter);
    QFETCH(double, inFirst);
    QFETCH(QString, subtree);
    QFETCH(double, inSubtree);
    const QString letters = u"abcdefg"_s;
    const QList<double> first = {1.0, 0.9, 0.5, 0.2};
    QRandomGenerator random(5);
    const auto draw = [&](qsizetype l) -> std::pair<QString, QString> {
        const QString keyword = letters.at(l) + QString::number(random.bounded(100000));
        if (l >= first.size())
            return {u"002"_s, keyword};
        return {random.generateDouble() < first.at(l) ? u"001001"_s : u"001002"_s, keyword};
    };
    Suggester suggester;
    for (int i = 0; i < 3000; ++i) {
        const auto [code, keyword] = draw(random.bounded(int(letters.size())));
        suggester.learn(code, keyword);
    }
    // The unsorted keywords, of every letter, sharpen the model; those of this row's letter are asked.
    QList<std::pair<QString, QString>> asked;
    QStringList unsorted;
    for (int i = 0; i < 2800; ++i) {
        const auto [code, keyword] = draw(i % letters.size());
        unsorted << keyword;
        if (keyword.at(0) == letter)
            asked.append({code, keyword});
    }
    suggester.fit(unsorted);
    QVERIFY(suggester.isCalibrated());
    // The best class is right as often as its confidence says, and so is a subtree.
    double confidence = 0;
    double right = 0;
    double subtreeConfidence = 0;
    for (const auto& [code, keyword] : std::as_const(asked)) {
        const Suggestion best = suggester.best(keyword);
        confidence += best.confidence / double(asked.size());
        right += (best.code == code ? 1.0 : 0.0) / double(asked.size());
        subtreeConfidence += suggester.confidence(keyword, subtree) / double(asked.size());
    }
    const double truth = qMax(inFirst, 1 - inFirst);
    QVERIFY2(qAbs(confidence - truth) < 0.08, qPrintable(u"confidence %1, truth %2"_s.arg(confidence).arg(truth)));
    QVERIFY2(qAbs(right - truth) < 0.08, qPrintable(u"right %1, truth %2"_s.arg(right).arg(truth)));
    QVERIFY2(qAbs(subtreeConfidence - inSubtree) < 0.08,
             qPrintable(u"subtree %1, truth %2"_s.arg(subtreeConfidence).arg(inSubtree)));
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
