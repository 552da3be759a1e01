#include "KeywordPrints.h"

#define XXH_INLINE_ALL
#include <algorithm>
#include <bit>
#include <string>
#include <utility>
#include <xxhash.h>

namespace {

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

KeywordPrints::Print KeywordPrints::of(QByteArrayView keyword)
{
    // Most keywords hold no capital letter: those are printed where they lie.
    const char* data = keyword.data();
    if (std::any_of(keyword.begin(), keyword.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
        thread_local std::string buffer;
        buffer.assign(keyword.data(), size_t(keyword.size()));
        std::transform(buffer.begin(), buffer.end(), buffer.begin(), folded);
        data = buffer.data();
    }
    const XXH128_hash_t h = XXH3_128bits(data, size_t(keyword.size()));
    return {quint32(h.high64 >> 32), quint32(h.high64), quint32(h.low64 >> 32)};
}

bool KeywordPrints::equal(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return folded(x) == folded(y); });
}

int KeywordPrints::rangeBits(size_t prints)
{
    return std::clamp(int(std::bit_width(prints)) - 3, 0, 24);
}

namespace {

// Puts prints[from, to) in order of bits [skip, skip + bits) of their leading word, in place: eight bits a pass,
// each pass a run of swaps over a stretch that shrinks until it sits in the cache.
void orderByLeadingBits(std::vector<KeywordPrints::Print>& prints, size_t from, size_t to, int skip, int bits)
{
    if (bits <= 0 || to - from < 2)
        return;
    const int digitBits = std::min(bits, 8);
    const int shift = 32 - skip - digitBits;
    const auto digit = [&](const KeywordPrints::Print& p) { return (p.high >> shift) & ((1u << digitBits) - 1); };
    size_t next[256] = {};
    size_t ends[256];
    for (size_t i = from; i < to; ++i)
        ++next[digit(prints[i])];
    size_t at = from;
    for (int d = 0; d < (1 << digitBits); ++d) {
        const size_t n = next[d];
        next[d] = at;
        at += n;
        ends[d] = at;
    }
    for (int d = 0; d < (1 << digitBits); ++d) {
        while (next[d] < ends[d]) {
            KeywordPrints::Print& here = prints[next[d]];
            const unsigned belongs = digit(here);
            if (int(belongs) == d)
                ++next[d];
            else
                std::swap(here, prints[next[belongs]++]);
        }
    }
    size_t begin = from;
    for (int d = 0; d < (1 << digitBits); ++d) {
        orderByLeadingBits(prints, begin, ends[d], skip + digitBits, bits - digitBits);
        begin = ends[d];
    }
}

} // namespace

void KeywordPrints::sort(std::vector<Print>& prints)
{
    // Prints are evenly spread, and within a range their order does not matter: no second buffer, no comparisons.
    orderByLeadingBits(prints, 0, prints.size(), 0, rangeBits(prints.size()));
}

void KeywordPrints::addStored(std::vector<Print> sorted)
{
    Run run;
    run.bits = rangeBits(sorted.size());
    run.starts.assign((size_t(1) << run.bits) + 1, 0);
    for (const Print& print : sorted)
        ++run.starts[run.range(print) + 1];
    for (size_t range = 1; range < run.starts.size(); ++range)
        run.starts[range] += run.starts[range - 1];
    run.prints = std::move(sorted);
    m_stored.push_back(std::move(run));
}

void KeywordPrints::addStored(const Print& print)
{
    if (!contains(print))
        m_storedSince.add(print);
}

void KeywordPrints::clearStored()
{
    m_stored.clear();
    m_storedSince = {};
}

bool KeywordPrints::Run::contains(const Print& print) const
{
    const size_t r = range(print);
    return std::find(prints.cbegin() + starts[r], prints.cbegin() + starts[r + 1], print)
        != prints.cbegin() + starts[r + 1];
}

bool KeywordPrints::contains(const Print& print) const
{
    return std::any_of(m_stored.cbegin(), m_stored.cend(), [&](const Run& run) { return run.contains(print); })
        || m_storedSince.contains(print) || m_batch.contains(print);
}

bool KeywordPrints::insert(const Print& print)
{
    if (std::any_of(m_stored.cbegin(), m_stored.cend(), [&](const Run& run) { return run.contains(print); })
        || m_storedSince.contains(print))
        return false;
    return m_batch.add(print);
}

void KeywordPrints::insert(const std::vector<Print>& prints, std::vector<char>& fresh)
{
    // A lookup waits on memory twice in each run (the range, then its prints) and once in the table; the first
    // step is asked for well ahead, the second nearer.
    constexpr size_t Far = 16;
    constexpr size_t Near = 8;
    fresh.resize(prints.size());
    for (size_t i = 0; i < prints.size(); ++i) {
        if (i + Far < prints.size()) {
            for (const Run& run : m_stored)
                __builtin_prefetch(&run.starts[run.range(prints[i + Far])]);
        }
        if (i + Near < prints.size()) {
            const Print& ahead = prints[i + Near];
            for (const Run& run : m_stored)
                __builtin_prefetch(run.prints.data() + run.starts[run.range(ahead)]);
            __builtin_prefetch(m_batch.slotOf(ahead));
        }
        fresh[i] = insert(prints[i]) ? 1 : 0;
    }
}

bool KeywordPrints::Table::contains(const Print& print) const
{
    if (print == Print())
        return m_holdsZero;
    if (m_slots.empty())
        return false;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = print.low & mask;; i = (i + 1) & mask) {
        if (m_slots[i] == print)
            return true;
        if (m_slots[i] == Print())
            return false;
    }
}

bool KeywordPrints::Table::add(const Print& print)
{
    if (print == Print())
        return !std::exchange(m_holdsZero, true);
    // At most half full, so that a miss ends after a slot or two.
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    const size_t mask = m_slots.size() - 1;
    size_t i = print.low & mask;
    for (; m_slots[i] != Print(); i = (i + 1) & mask) {
        if (m_slots[i] == print)
            return false;
    }
    m_slots[i] = print;
    ++m_used;
    return true;
}

void KeywordPrints::Table::grow()
{
    std::vector<Print> old(std::max<size_t>(m_slots.size() * 2, size_t(1) << 16));
    old.swap(m_slots);
    m_used = 0;
    for (const Print& print : old) {
        if (print != Print())
            add(print);
    }
}
