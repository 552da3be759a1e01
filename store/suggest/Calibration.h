#pragma once

#include <QList>

#include <utility>

// Turns a model's score into the share of answers that were right at that score: an isotonic (never decreasing)
// fit of outcomes on scores, read between the fitted points by straight lines.
class Calibration
{
public:
    // Each pair: a score, and whether the answer given at that score was right.
    void fit(QList<std::pair<double, bool>> outcomes);
    bool isFitted() const { return !m_scores.isEmpty(); }
    // The share right at this score; 0 when nothing was fitted.
    double at(double score) const;

private:
    QList<double> m_scores;
    QList<double> m_shares;
};
