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
    return {h.high64, h.low64};
}

bool KeywordPrints::equal(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return folded(x) == folded(y); });
}

void KeywordPrints::sort(std::vector<Print>& prints)
{
    std::sort(prints.begin(), prints.end());
}

void KeywordPrints::addStored(std::vector<Print> sorted)
{
    Run run;
    // About four prints to a range of leading bits.
    const int bits = std::clamp(int(std::bit_width(sorted.size())) - 2, 0, 24);
    run.shift = 64 - bits;
    run.starts.resize((size_t(1) << bits) + 1);
    size_t at = 0;
    for (size_t range = 0; range + 1 < run.starts.size(); ++range) {
        run.starts[range] = quint32(at);
        while (at < sorted.size() && (bits == 0 ? 0 : sorted[at].high >> run.shift) == range)
            ++at;
    }
    run.starts.back() = quint32(sorted.size());
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
    const auto from = prints.cbegin() + starts[r];
    const auto to = prints.cbegin() + starts[r + 1];
    const auto found = std::lower_bound(from, to, print);
    return found != to && *found == print;
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
