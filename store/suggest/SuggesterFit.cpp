#include "Features.h"
#include "Suggester.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Rounds of guessing the unsorted keywords' classes and counting them so; the second still gains, later ones little.
constexpr int Rounds = 2;
// A class less likely than this for an unsorted keyword gets none of it.
constexpr double LeastShare = 0.01;
// Fewer held-out answers than this measure nothing worth showing.
constexpr qsizetype LeastSample = 20;

} // namespace

void Suggester::fit(const QStringList& unsorted, const std::atomic<bool>* stop)
{
    m_counts.compact();
    learnUnsorted(unsorted, stop);
    calibrate(stop);
    m_counts.compact();
    m_learnt.settle();
}

void Suggester::learnUnsorted(const QStringList& given, const std::atomic<bool>* stop)
{
    // Each keyword once, for its guess is taken back by its text.
    QStringList unsorted;
    QSet<quint64> seen;
    for (const QString& keyword : given) {
        const quint64 print = LearntKeywords::print({}, keyword);
        if (!seen.contains(print) && !m_guessed.contains(print)) {
            seen.insert(print);
            unsorted << keyword;
        }
    }
    if (unsorted.isEmpty() || m_keywords <= 0)
        return;
    // Together the unsorted keywords weigh at most as much as the filed ones, each at most as one filed keyword:
    // a few filed keywords must not be drowned by guesses.
    const double weight = std::min(1.0, double(m_keywords) / double(unsorted.size()));
    using Shares = std::vector<std::pair<int, float>>;
    std::vector<Shares> counted(size_t(unsorted.size()));
    std::vector<quint32> fs;
    std::vector<double> score;
    for (int round = 0; round < Rounds; ++round) {
        // Each keyword's likely classes under the model as it stands, then counted so in place of the last round's.
        std::vector<Shares> guessed(counted.size());
        for (qsizetype i = 0; i < unsorted.size(); ++i) {
            if (stop && *stop)
                return;
            Features::of(unsorted.at(i), fs);
            scores(fs, &counted[size_t(i)], score);
            const double top = *std::max_element(score.begin(), score.end());
            if (top == Impossible)
                continue;
            double sum = 0;
            for (const double s : score)
                sum += std::exp(s - top);
            for (size_t c = 0; c < score.size(); ++c) {
                const double share = std::exp(score[c] - top) / sum;
                if (share >= LeastShare)
                    guessed[size_t(i)].push_back({int(c), float(weight * share)});
            }
        }
        for (qsizetype i = 0; i < unsorted.size(); ++i) {
            Features::of(unsorted.at(i), fs);
            for (const auto& [c, w] : counted[size_t(i)])
                count(c, fs, -w, false);
            for (const auto& [c, w] : guessed[size_t(i)])
                count(c, fs, w, false);
        }
        counted.swap(guessed);
    }
    for (qsizetype i = 0; i < unsorted.size(); ++i) {
        if (!counted[size_t(i)].empty())
            m_guessed.insert(LearntKeywords::print({}, unsorted.at(i)), std::move(counted[size_t(i)]));
    }
}

void Suggester::calibrate(const std::atomic<bool>* stop)
{
    // Each sampled filed keyword is taken out of the counts, suggested for, and put back: its best class and the
    // runner-up, each with its log odds and whether it was the keyword's class.
    QList<std::pair<double, bool>> outcomes;
    std::vector<quint32> fs;
    std::vector<double> score;
    for (const auto& [code, keyword] : std::as_const(m_sample)) {
        if (stop && *stop)
            return;
        const int index = m_index.value(code, -1);
        if (index < 0)
            continue;
        Features::of(keyword, fs);
        count(index, fs, -1, true);
        scores(fs, nullptr, score);
        count(index, fs, +1, true);
        std::vector<size_t> order(score.size());
        for (size_t c = 0; c < order.size(); ++c)
            order[c] = c;
        const size_t ranked = std::min<size_t>(2, order.size());
        std::partial_sort(order.begin(), order.begin() + qsizetype(ranked), order.end(),
                          [&](size_t a, size_t b) { return score[a] > score[b]; });
        std::vector<char> chosen(score.size(), 0);
        for (size_t r = 0; r < ranked && score[order[r]] != Impossible; ++r) {
            chosen.assign(score.size(), 0);
            chosen[order[r]] = 1;
            outcomes.append({logOdds(score, chosen), int(order[r]) == index});
        }
    }
    m_calibration = {};
    if (outcomes.size() >= LeastSample)
        m_calibration.fit(outcomes);
}
