#pragma once

#include <QHash>
#include <QString>

#include <vector>

// Which (class, keyword) pairs a model has learnt and not forgotten, as 64-bit prints: forgetting a pair that was
// never learnt must change nothing, for a model learns only the newest of the filed keywords. The bulk learnt
// before the model settles (or first forgets) is one sorted array; what changes after it is kept beside it.
class LearntKeywords
{
public:
    static quint64 print(const QString& classCode, const QString& keyword);
    void add(quint64 print);
    // False, and nothing removed, when the pair is not learnt.
    bool remove(quint64 print);
    // Sorts the bulk now, on a worker thread, rather than at the first forgetting.
    void settle() { (void)inBulk(0); }
    size_t bytes() const;

private:
    qsizetype inBulk(quint64 print);

    std::vector<quint64> m_bulk;
    bool m_sorted = true;
    bool m_settled = false;
    QHash<quint64, qint64> m_changes;
};
