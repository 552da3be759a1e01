#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <unordered_map>
#include <vector>

// Which class a keyword most likely belongs to, learnt from the keywords filed so far: a naive Bayes model over
// the keyword's characters and pairs of neighbouring characters, which suits Chinese, where a word's
// characters say much about its subject. It learns and forgets one keyword at a time.
class Suggester
{
public:
    void learn(const QString& classCode, const QString& keyword) { count(classCode, keyword, +1); }
    void forget(const QString& classCode, const QString& keyword) { count(classCode, keyword, -1); }
    // The classes a keyword most likely belongs to, the likeliest first; none before anything is learnt.
    QStringList suggest(const QString& keyword, int howMany = 1) const;
    qint64 keywords() const { return m_keywords; }

private:
    struct ClassStats
    {
        qint64 keywords = 0;
        qint64 features = 0;
    };
    struct Count
    {
        int classIndex;
        int count;
    };
    static void features(const QString& keyword, std::vector<quint32>& out);
    void count(const QString& classCode, const QString& keyword, int by);

    QStringList m_codes;
    QHash<QString, int> m_index;
    QList<ClassStats> m_classes;
    // For each feature, how often it came with each class that has it.
    std::unordered_map<quint32, std::vector<Count>> m_counts;
    qint64 m_keywords = 0;
};
