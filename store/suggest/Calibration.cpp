#include "Calibration.h"

#include <algorithm>

void Calibration::fit(QList<std::pair<double, bool>> outcomes)
{
    m_scores.clear();
    m_shares.clear();
    if (outcomes.isEmpty())
        return;
    std::sort(outcomes.begin(), outcomes.end());
    // Pool adjacent blocks while a block is not more often right than the one below it.
    struct Block
    {
        double right = 0;
        double n = 0;
        double scoreSum = 0;
    };
    QList<Block> blocks;
    for (const auto& [score, right] : std::as_const(outcomes)) {
        blocks.append({right ? 1.0 : 0.0, 1, score});
        while (blocks.size() > 1) {
            const Block& last = blocks.last();
            Block& before = blocks[blocks.size() - 2];
            if (before.right * last.n < last.right * before.n)
                break;
            before.right += last.right;
            before.n += last.n;
            before.scoreSum += last.scoreSum;
            blocks.removeLast();
        }
    }
    // A block of a few answers all right is not proof of certainty: each share is pulled towards one half by one
    // answer's weight, and kept rising.
    double floor = 0;
    for (const Block& b : std::as_const(blocks)) {
        floor = std::max(floor, (b.right + 0.5) / (b.n + 1));
        m_scores.append(b.scoreSum / b.n);
        m_shares.append(floor);
    }
}

double Calibration::at(double score) const
{
    if (m_scores.isEmpty())
        return 0;
    if (score <= m_scores.first())
        return m_shares.first();
    if (score >= m_scores.last())
        return m_shares.last();
    const qsizetype i = std::upper_bound(m_scores.begin(), m_scores.end(), score) - m_scores.begin();
    const double t = (score - m_scores[i - 1]) / (m_scores[i] - m_scores[i - 1]);
    return m_shares[i - 1] + t * (m_shares[i] - m_shares[i - 1]);
}
