#include "LearntKeywords.h"

#include <QHashFunctions>

#include <algorithm>

quint64 LearntKeywords::print(const QString& classCode, const QString& keyword)
{
    // Fixed seeds: a print means the same in every run.
    static_assert(sizeof(size_t) == sizeof(quint64), "prints need 64-bit hashes");
    return quint64(qHash(keyword, qHash(classCode, size_t(0x5157A3C1))));
}

void LearntKeywords::add(quint64 print)
{
    if (!m_settled) {
        m_sorted = m_sorted && (m_bulk.empty() || m_bulk.back() <= print);
        m_bulk.push_back(print);
    } else {
        ++m_changes[print];
    }
}

qsizetype LearntKeywords::inBulk(quint64 print)
{
    // From the first look on, the bulk stays as it is: sorting a million prints is for a worker, not each take-back.
    m_settled = true;
    if (!m_sorted) {
        std::sort(m_bulk.begin(), m_bulk.end());
        m_bulk.shrink_to_fit();
        m_sorted = true;
    }
    const auto [from, to] = std::equal_range(m_bulk.begin(), m_bulk.end(), print);
    return to - from;
}

bool LearntKeywords::remove(quint64 print)
{
    const auto change = m_changes.find(print);
    const qint64 held = inBulk(print) + (change == m_changes.end() ? 0 : change.value());
    if (held <= 0)
        return false;
    if (change == m_changes.end())
        m_changes.insert(print, -1);
    else
        --change.value();
    return true;
}

size_t LearntKeywords::bytes() const
{
    return m_bulk.capacity() * sizeof(quint64) + size_t(m_changes.size()) * 32;
}
