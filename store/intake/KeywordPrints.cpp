#include "KeywordPrints.h"

#include <QHashFunctions>

#include <algorithm>
#include <string>

namespace {

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

} // namespace

quint64 KeywordPrints::of(QByteArrayView keyword)
{
    thread_local std::string buffer;
    buffer.assign(keyword.data(), size_t(keyword.size()));
    std::transform(buffer.begin(), buffer.end(), buffer.begin(), folded);
    return qHashBits(buffer.data(), buffer.size(), 0x6b6f7276656c);
}

bool KeywordPrints::equal(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return folded(x) == folded(y); });
}

void KeywordPrints::sort(std::vector<Entry>& entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.print < b.print; });
}

void KeywordPrints::addStored(std::vector<Entry> sorted)
{
    m_stored.push_back(std::move(sorted));
}

void KeywordPrints::add(quint64 print, qint64 id)
{
    m_added.emplace(print, id);
}

void KeywordPrints::rowsWith(quint64 print, QList<qint64>& ids) const
{
    ids.clear();
    for (const std::vector<Entry>& run : m_stored) {
        auto stored
            = std::lower_bound(run.cbegin(), run.cend(), print, [](const Entry& e, quint64 p) { return e.print < p; });
        for (; stored != run.cend() && stored->print == print; ++stored)
            ids.append(stored->id);
    }
    const auto [from, to] = m_added.equal_range(print);
    for (auto it = from; it != to; ++it)
        ids.append(it->second);
}
