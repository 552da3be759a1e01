#include "KeywordPrints.h"

#define XXH_INLINE_ALL
#include <algorithm>
#include <bit>
#include <string>
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

bool KeywordPrints::contains(const Print& print) const
{
    for (const Run& run : m_stored) {
        const size_t range = run.shift == 64 ? 0 : print.high >> run.shift;
        const auto from = run.prints.cbegin() + run.starts[range];
        const auto to = run.prints.cbegin() + run.starts[range + 1];
        const auto found = std::lower_bound(from, to, print);
        if (found != to && *found == print)
            return true;
    }
    return m_storedSince.contains(print) || m_batch.contains(print);
}

bool KeywordPrints::insert(const Print& print)
{
    if (contains(print))
        return false;
    m_batch.add(print);
    return true;
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

void KeywordPrints::Table::add(const Print& print)
{
    if (print == Print()) {
        m_holdsZero = true;
        return;
    }
    // At most half full, so that a miss ends after a slot or two.
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    const size_t mask = m_slots.size() - 1;
    size_t i = print.low & mask;
    while (m_slots[i] != Print())
        i = (i + 1) & mask;
    m_slots[i] = print;
    ++m_used;
}

void KeywordPrints::Table::grow()
{
    std::vector<Print> old(std::max<size_t>(m_slots.size() * 2, 1024));
    old.swap(m_slots);
    m_used = 0;
    for (const Print& print : old) {
        if (print != Print())
            add(print);
    }
}
