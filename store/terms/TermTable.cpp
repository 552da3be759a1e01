#include "TermTable.h"

#include "store/rules/Rule.h"

#include <QSet>

#include <algorithm>

TermTable::TermTable(bool phrases)
    : m_breaker(phrases)
{ }

void TermTable::add(QStringView keyword)
{
    for (const QString& term : m_breaker.terms(keyword))
        ++m_counts[term];
    ++m_keywords;
}

void TermTable::remove(QStringView keyword)
{
    for (const QString& term : m_breaker.terms(keyword)) {
        const auto it = m_counts.find(term);
        if (it == m_counts.end())
            continue;
        if (--*it <= 0)
            m_counts.erase(it);
    }
    --m_keywords;
}

void TermTable::merge(const TermTable& other)
{
    for (auto it = other.m_counts.cbegin(); it != other.m_counts.cend(); ++it)
        m_counts[it.key()] += it.value();
    m_keywords += other.m_keywords;
}

void TermTable::clear()
{
    m_counts.clear();
    m_keywords = 0;
}

QList<TermCount> TermTable::top(int n, const QStringList& titles) const
{
    std::vector<std::pair<qint64, const QString*>> all;
    all.reserve(m_counts.size());
    for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
        all.emplace_back(it.value(), &it.key());
    const auto before
        = [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : *a.second < *b.second; };
    const auto end = all.begin() + std::min<qsizetype>(std::max(n, 0), qsizetype(all.size()));
    std::partial_sort(all.begin(), end, all.end(), before);
    QSet<QString> marked;
    for (const QString& title : titles)
        marked.insert(RuleMatcher::folded(title));
    QList<TermCount> out;
    for (auto it = all.begin(); it != end; ++it)
        out.append({*it->second, it->first, marked.contains(*it->second)});
    return out;
}
