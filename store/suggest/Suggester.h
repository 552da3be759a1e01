#pragma once

#include "Calibration.h"
#include "FeatureCounts.h"
#include "LearntKeywords.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <limits>
#include <vector>

// A class suggested for a keyword, and how sure: the share of suggestions made at this confidence that were right
// on filed keywords the model was not shown. 0 until fit() could measure it.
struct Suggestion
{
    QString code;
    double confidence = 0;
};

// Which class a keyword most likely belongs to, learnt from the keywords filed so far: a naive Bayes model over the
// keyword's characters, character pairs, first and last characters and radicals (Features), made sharper by the
// unsorted keywords themselves, whose likely classes count a little as if filed (expectation maximisation), and
// calibrated by holding filed keywords out one at a time.
//
// Build it on a worker thread: learn() every filed pair, then fit() with a sample of unsorted keywords. Hand it to
// the window's thread, which from then on learns each filing and forgets each take-back as it happens; those show at
// once, while what fit() measured stays until the next model is built. Not safe to use from two threads at once.
class Suggester
{
public:
    void learn(const QString& classCode, const QString& keyword);
    // Takes back a filing learnt before; a pair never learnt (filed before the newest that were read) changes nothing.
    void forget(const QString& classCode, const QString& keyword);
    // The heavy part, for a worker thread: learns from the unsorted keywords and calibrates the confidence. With
    // stop set it ends early, leaving a model only fit to be thrown away.
    void fit(const QStringList& unsorted = {}, const std::atomic<bool>* stop = nullptr);

    // The classes a keyword most likely belongs to, the likeliest first; none before anything is learnt.
    QStringList suggest(const QString& keyword, int howMany = 1) const;
    // The likeliest class and the confidence that it is right; an empty code before anything is learnt.
    Suggestion best(const QString& keyword) const;
    // The subtree (a class code, its descendants included) the keyword most likely lies in, and the confidence that
    // it does; an empty code when no class of any of them has learnt anything.
    Suggestion bestAmong(const QString& keyword, const QStringList& subtrees) const;
    // The confidence that the keyword belongs somewhere in each subtree.
    QList<double> confidences(const QString& keyword, const QStringList& subtrees) const;
    double confidence(const QString& keyword, const QString& subtree) const;

    bool isCalibrated() const { return m_calibration.isFitted(); }
    qint64 keywords() const { return m_keywords; }
    // The memory the model holds.
    size_t bytes() const;

private:
    struct ClassStats
    {
        qint64 learnt = 0;
        // Keywords and features, counting the unsorted keywords' shares.
        double keywords = 0;
        double features = 0;
    };
    static constexpr double Impossible = -std::numeric_limits<double>::infinity();
    // An unsorted keyword's likely classes, each with the weight it was counted with.
    using Shares = std::vector<std::pair<int, float>>;

    void count(int classIndex, const std::vector<quint32>& features, double by, bool learnt);
    // The log of each class's likelihood for the keyword; Impossible for classes with nothing learnt. An unsorted
    // keyword's own shares are left out: a guess must not vouch for itself.
    void scores(const QString& keyword, std::vector<double>& out) const;
    void scores(const std::vector<quint32>& features, const Shares* own, std::vector<double>& out) const;
    // How much likelier the keyword lies among the chosen classes than elsewhere, as a log ratio.
    // Marks the classes of a subtree; false when none of them has been learnt.
    bool choose(const QString& root, const std::vector<double>& score, std::vector<char>& chosen) const;
    static double logOdds(const std::vector<double>& scores, const std::vector<char>& chosen);
    double confidenceOf(double logOdds) const;
    void learnUnsorted(const QStringList& given, const std::atomic<bool>* stop);
    void calibrate(const std::atomic<bool>* stop);

    QStringList m_codes;
    QHash<QString, int> m_index;
    QList<ClassStats> m_classes;
    FeatureCounts m_counts;
    LearntKeywords m_learnt;
    // The unsorted keywords counted by their shares, by their prints.
    QHash<quint64, Shares> m_guessed;
    // Filed pairs held out one at a time to measure the confidence: a uniform sample of what was learnt.
    QList<std::pair<QString, QString>> m_sample;
    qint64 m_seen = 0;
    Calibration m_calibration;
    qint64 m_keywords = 0;
};
