#pragma once

#include <QtGlobal>

#include <span>
#include <vector>

// For each feature, how much it came with each class that has it: the table behind the suggestions, kept small
// for a million learnt keywords. Features are found by open addressing; each feature's classes lie together in
// one pool, and a list that outgrows its room moves to the pool's end until compact() closes the gaps.
class FeatureCounts
{
public:
    struct Entry
    {
        quint32 classIndex;
        float count;
    };

    // Adds by to the feature's count for the class; a count never falls below 0.
    void add(quint32 feature, quint32 classIndex, float by);
    // The classes the feature came with, each with its count (0 where all was taken back).
    std::span<const Entry> classesOf(quint32 feature) const;
    qsizetype features() const { return m_used; }
    // Frees the room that moved lists left behind.
    void compact();
    size_t bytes() const;

private:
    // A list's first entry is its header: classIndex holds its length, count (as bits) its room.
    static constexpr quint32 NoList = 0xFFFFFFFF;
    qsizetype slotOf(quint32 feature) const;
    void grow();
    quint32 newList(quint32 room);

    std::vector<quint32> m_keys; // 0: a free slot
    std::vector<quint32> m_lists; // where each slot's list starts in the pool
    std::vector<Entry> m_pool;
    qsizetype m_used = 0;
    size_t m_garbage = 0;
};
