#include "KeywordSet.h"

#include <QHashFunctions>

#include <cstring>

namespace {

constexpr int OffsetBits = 40;
constexpr quint64 OffsetMask = (quint64(1) << OffsetBits) - 1;

quint64 tagOf(size_t hash)
{
    return (quint64(hash) >> OffsetBits) << OffsetBits;
}

} // namespace

size_t KeywordSet::fold(QByteArrayView keyword) const
{
    m_folded.assign(keyword.data(), size_t(keyword.size()));
    for (char& c : m_folded) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return qHashBits(m_folded.data(), m_folded.size(), 0);
}

size_t KeywordSet::find(size_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    const quint64 tag = tagOf(hash);
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const quint64 slot = m_slots[i];
        if (slot == 0)
            return i;
        if ((slot & ~OffsetMask) != tag)
            continue;
        const size_t offset = size_t(slot & OffsetMask) - 1;
        quint32 length;
        std::memcpy(&length, m_arena.data() + offset, sizeof length);
        if (length == m_folded.size()
            && std::memcmp(m_arena.data() + offset + sizeof length, m_folded.data(), length) == 0)
            return i;
    }
}

bool KeywordSet::contains(QByteArrayView keyword) const
{
    if (m_slots.empty())
        return false;
    return m_slots[find(fold(keyword))] != 0;
}

bool KeywordSet::insert(QByteArrayView keyword)
{
    if (size_t(m_size + 1) * 2 > m_slots.size())
        grow();
    const size_t hash = fold(keyword);
    const size_t i = find(hash);
    if (m_slots[i] != 0)
        return false;
    const size_t offset = m_arena.size();
    const auto length = quint32(m_folded.size());
    m_arena.resize(offset + sizeof length + length);
    std::memcpy(m_arena.data() + offset, &length, sizeof length);
    std::memcpy(m_arena.data() + offset + sizeof length, m_folded.data(), length);
    m_slots[i] = tagOf(hash) | (quint64(offset) + 1);
    ++m_size;
    return true;
}

void KeywordSet::grow()
{
    std::vector<quint64> old = std::move(m_slots);
    m_slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const size_t mask = m_slots.size() - 1;
    for (const quint64 slot : old) {
        if (slot == 0)
            continue;
        const size_t offset = size_t(slot & OffsetMask) - 1;
        quint32 length;
        std::memcpy(&length, m_arena.data() + offset, sizeof length);
        const size_t hash = qHashBits(m_arena.data() + offset + sizeof length, length, 0);
        size_t i = hash & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}
