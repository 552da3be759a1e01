#include "Suggester.h"

#include "Features.h"
#include "store/ClassCode.h"

#include <algorithm>
#include <cmath>

namespace {

// How much a feature never seen with a class counts: small, so that what was seen decides.
constexpr double Smoothing = 1.0;
// How many filed pairs are kept to measure the confidence on.
constexpr qsizetype SampleSize = 20000;

quint64 mixed(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

} // namespace

void Suggester::count(int classIndex, const std::vector<quint32>& features, double by, bool learnt)
{
    ClassStats& stats = m_classes[classIndex];
    stats.keywords = std::max(0.0, stats.keywords + by);
    stats.features = std::max(0.0, stats.features + by * double(features.size()));
    if (learnt)
        stats.learnt += by > 0 ? 1 : -1;
    for (const quint32 f : features)
        m_counts.add(f, quint32(classIndex), float(by));
}

void Suggester::learn(const QString& classCode, const QString& keyword)
{
    if (classCode.isEmpty())
        return;
    int index = m_index.value(classCode, -1);
    if (index < 0) {
        index = int(m_codes.size());
        m_index.insert(classCode, index);
        m_codes.append(classCode);
        m_classes.append(ClassStats {});
    }
    std::vector<quint32> fs;
    Features::of(keyword, fs);
    // Filed: what was guessed for it gives way to where it was put.
    if (const auto guessed = m_guessed.constFind(LearntKeywords::print({}, keyword)); guessed != m_guessed.constEnd()) {
        for (const auto& [c, w] : guessed.value())
            count(c, fs, -w, false);
        m_guessed.erase(guessed);
    }
    count(index, fs, +1, true);
    m_learnt.add(LearntKeywords::print(classCode, keyword));
    ++m_keywords;
    // Reservoir sampling: every pair learnt so far is in the sample with the same chance.
    ++m_seen;
    if (m_sample.size() < SampleSize)
        m_sample.append({classCode, keyword});
    else if (const auto at = qsizetype(mixed(quint64(m_seen)) % quint64(m_seen)); at < SampleSize)
        m_sample[at] = {classCode, keyword};
}

void Suggester::forget(const QString& classCode, const QString& keyword)
{
    const int index = m_index.value(classCode, -1);
    if (index < 0 || !m_learnt.remove(LearntKeywords::print(classCode, keyword)))
        return;
    std::vector<quint32> fs;
    Features::of(keyword, fs);
    count(index, fs, -1, true);
    --m_keywords;
    const auto sampled = std::find(m_sample.begin(), m_sample.end(), std::pair {classCode, keyword});
    if (sampled != m_sample.end())
        m_sample.erase(sampled);
}

void Suggester::scores(const QString& keyword, std::vector<double>& out) const
{
    std::vector<quint32> fs;
    Features::of(keyword, fs);
    const auto guessed = m_guessed.constFind(LearntKeywords::print({}, keyword));
    scores(fs, guessed == m_guessed.constEnd() ? nullptr : &guessed.value(), out);
}

void Suggester::scores(const std::vector<quint32>& features, const Shares* own, std::vector<double>& out) const
{
    out.assign(size_t(m_classes.size()), Impossible);
    const double m = double(features.size());
    const double vocabulary = double(m_counts.features()) + 1;
    const auto ownShare = [own](quint32 c) -> double {
        if (own) {
            for (const auto& [index, weight] : *own) {
                if (quint32(index) == c)
                    return weight;
            }
        }
        return 0;
    };
    // Every class starts from what it scores when none of the keyword's features came with it; a feature that
    // did raises its score by the difference.
    for (qsizetype c = 0; c < m_classes.size(); ++c) {
        const ClassStats& s = m_classes.at(c);
        const double share = ownShare(quint32(c));
        if (s.learnt > 0 && s.keywords - share > 0) {
            out[size_t(c)] = std::log(s.keywords - share) + m * std::log(Smoothing)
                - m * std::log(std::max(0.0, s.features - share * m) + Smoothing * vocabulary);
        }
    }
    for (const quint32 f : features) {
        for (const FeatureCounts::Entry& e : m_counts.classesOf(f)) {
            const double n = double(e.count) - ownShare(e.classIndex);
            if (n > 1e-6 && out[e.classIndex] != Impossible)
                out[e.classIndex] += std::log(n + Smoothing) - std::log(Smoothing);
        }
    }
}

double Suggester::logOdds(const std::vector<double>& scores, const std::vector<char>& chosen)
{
    // Log-sum-exp of each side, from the highest score so that nothing overflows.
    double top = Impossible;
    for (const double s : scores)
        top = std::max(top, s);
    if (top == Impossible)
        return 0;
    double in = 0;
    double out = 0;
    for (size_t c = 0; c < scores.size(); ++c)
        (chosen[c] ? in : out) += std::exp(scores[c] - top);
    // Bounded, so that a calibration point never lies at infinity.
    constexpr double Bound = 50;
    if (in <= 0)
        return -Bound;
    if (out <= 0)
        return Bound;
    return std::clamp(std::log(in) - std::log(out), -Bound, Bound);
}

double Suggester::confidenceOf(double logOdds) const
{
    return m_calibration.at(logOdds);
}

QStringList Suggester::suggest(const QString& keyword, int howMany) const
{
    std::vector<double> score;
    scores(keyword, score);
    std::vector<int> order(score.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    const auto last = order.begin() + std::clamp<qsizetype>(howMany, 0, qsizetype(order.size()));
    std::partial_sort(order.begin(), last, order.end(),
                      [&](int a, int b) { return score[size_t(a)] > score[size_t(b)]; });
    QStringList codes;
    for (auto it = order.begin(); it != last && score[size_t(*it)] != Impossible; ++it)
        codes << m_codes.at(*it);
    return codes;
}

Suggestion Suggester::best(const QString& keyword) const
{
    std::vector<double> score;
    scores(keyword, score);
    const auto top = std::max_element(score.begin(), score.end());
    if (top == score.end() || *top == Impossible)
        return {};
    std::vector<char> chosen(score.size(), 0);
    chosen[size_t(top - score.begin())] = 1;
    return {m_codes.at(top - score.begin()), confidenceOf(logOdds(score, chosen))};
}

bool Suggester::choose(const QString& root, const std::vector<double>& score, std::vector<char>& chosen) const
{
    bool any = false;
    for (size_t c = 0; c < score.size(); ++c) {
        chosen[c] = ClassCode::isInSubtree(m_codes.at(qsizetype(c)), root) ? 1 : 0;
        any = any || (chosen[c] && score[c] != Impossible);
    }
    return any;
}

QList<double> Suggester::confidences(const QString& keyword, const QStringList& subtrees) const
{
    std::vector<double> score;
    scores(keyword, score);
    QList<double> result;
    std::vector<char> chosen(score.size());
    for (const QString& root : subtrees) {
        // No class learnt there: nothing says the keyword belongs there.
        result << (choose(root, score, chosen) ? confidenceOf(logOdds(score, chosen)) : 0.0);
    }
    return result;
}

Suggestion Suggester::bestAmong(const QString& keyword, const QStringList& subtrees) const
{
    std::vector<double> score;
    scores(keyword, score);
    // The likeliest subtree by its log odds: calibrated confidences may tie where the fit is flat.
    Suggestion best;
    double bestOdds = Impossible;
    std::vector<char> chosen(score.size());
    for (const QString& root : subtrees) {
        if (!choose(root, score, chosen))
            continue;
        if (const double odds = logOdds(score, chosen); odds > bestOdds) {
            bestOdds = odds;
            best.code = root;
        }
    }
    if (bestOdds != Impossible)
        best.confidence = confidenceOf(bestOdds);
    return best;
}

double Suggester::confidence(const QString& keyword, const QString& subtree) const
{
    return confidences(keyword, {subtree}).value(0);
}

size_t Suggester::bytes() const
{
    size_t sample = 0;
    for (const auto& [code, keyword] : m_sample)
        sample += 2 * sizeof(QString) + size_t(code.size() + keyword.size()) * 2 + 48;
    return m_counts.bytes() + m_learnt.bytes() + sample + size_t(m_codes.size()) * 120;
}
