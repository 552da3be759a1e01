#include "FeatureCounts.h"

#include <algorithm>
#include <bit>

namespace {

quint32 roomOf(const FeatureCounts::Entry& header)
{
    return std::bit_cast<quint32>(header.count);
}

FeatureCounts::Entry header(quint32 length, quint32 room)
{
    return {length, std::bit_cast<float>(room)};
}

} // namespace

qsizetype FeatureCounts::slotOf(quint32 feature) const
{
    // Features are hashes already; the low bits spread well enough.
    const size_t mask = m_keys.size() - 1;
    size_t slot = (feature * 0x9E3779B1u) & mask;
    while (m_keys[slot] != 0 && m_keys[slot] != feature)
        slot = (slot + 1) & mask;
    return qsizetype(slot);
}

void FeatureCounts::grow()
{
    std::vector<quint32> keys(std::max<size_t>(1024, m_keys.size() * 2), 0);
    std::vector<quint32> lists(keys.size(), NoList);
    keys.swap(m_keys);
    lists.swap(m_lists);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == 0)
            continue;
        const qsizetype slot = slotOf(keys[i]);
        m_keys[size_t(slot)] = keys[i];
        m_lists[size_t(slot)] = lists[i];
    }
}

quint32 FeatureCounts::newList(quint32 room)
{
    const auto start = quint32(m_pool.size());
    m_pool.resize(m_pool.size() + room + 1);
    m_pool[start] = header(0, room);
    return start;
}

void FeatureCounts::add(quint32 feature, quint32 classIndex, float by)
{
    // At most 70% of the slots in use, so that a search ends soon.
    if (10 * (m_used + 1) > 7 * qsizetype(m_keys.size()))
        grow();
    const auto slot = size_t(slotOf(feature));
    if (m_keys[slot] == 0) {
        if (by <= 0)
            return;
        m_keys[slot] = feature;
        m_lists[slot] = newList(1);
        ++m_used;
    }
    quint32 start = m_lists[slot];
    const quint32 length = m_pool[start].classIndex;
    // A list is in class order, so that a feature every class has is searched in a few steps.
    const auto byClass = [](const Entry& e, quint32 c) { return e.classIndex < c; };
    const Entry* first = &m_pool[start + 1];
    const auto at = quint32(std::lower_bound(first, first + length, classIndex, byClass) - first);
    if (at < length && first[at].classIndex == classIndex) {
        Entry& found = m_pool[start + 1 + at];
        found.count = std::max(0.0f, found.count + by);
        return;
    }
    if (by <= 0)
        return;
    const quint32 room = roomOf(m_pool[start]);
    if (length == room) {
        const quint32 moved = newList(room * 2);
        std::copy_n(m_pool.begin() + start + 1, length, m_pool.begin() + moved + 1);
        m_garbage += room + 1;
        m_lists[slot] = start = moved;
    }
    const auto list = m_pool.begin() + start + 1;
    std::move_backward(list + at, list + length, list + length + 1);
    list[at] = {classIndex, by};
    m_pool[start].classIndex = length + 1;
    if (m_garbage > m_pool.size() / 2)
        compact();
}

std::span<const FeatureCounts::Entry> FeatureCounts::classesOf(quint32 feature) const
{
    if (m_keys.empty())
        return {};
    const auto slot = size_t(slotOf(feature));
    if (m_keys[slot] == 0)
        return {};
    const quint32 start = m_lists[slot];
    return {m_pool.data() + start + 1, m_pool[start].classIndex};
}

void FeatureCounts::compact()
{
    // Room to grow by a quarter before the pool must be copied whole, which at a million keywords takes a while.
    std::vector<Entry> pool;
    pool.reserve((m_pool.size() - m_garbage) * 5 / 4);
    for (size_t slot = 0; slot < m_keys.size(); ++slot) {
        if (m_keys[slot] == 0)
            continue;
        const quint32 start = m_lists[slot];
        const quint32 length = m_pool[start].classIndex;
        m_lists[slot] = quint32(pool.size());
        pool.push_back(header(length, length));
        pool.insert(pool.end(), m_pool.begin() + start + 1, m_pool.begin() + start + 1 + length);
    }
    m_pool.swap(pool);
    m_garbage = 0;
}

size_t FeatureCounts::bytes() const
{
    return m_keys.capacity() * sizeof(quint32) + m_lists.capacity() * sizeof(quint32)
        + m_pool.capacity() * sizeof(Entry);
}
