#pragma once

#include "TermBreaker.h"

#include <QHash>
#include <QList>
#include <QString>

// A term and how many keywords hold it; classTitle: it is the title of a class at the level asked about.
struct TermCount
{
    QString term;
    qint64 count = 0;
    bool classTitle = false;
    bool operator==(const TermCount&) const = default;
};

// How many keywords hold each term (a keyword counts once for a term however often it holds it). Keywords come
// and go one at a time, each costing the breaking of its own text, so the table follows filings without a
// recount. Used by one thread at a time.
class TermTable
{
public:
    explicit TermTable(bool phrases = false);

    const Status& ready() const { return m_breaker.ready(); }
    bool phrases() const { return m_breaker.phrases(); }
    void add(QStringView keyword);
    void remove(QStringView keyword);
    // Adds the counts of another table, made over other keywords.
    void merge(const TermTable& other);
    void clear();

    qint64 count(const QString& term) const { return m_counts.value(term); }
    qsizetype size() const { return m_counts.size(); }
    // Keywords counted.
    qint64 keywords() const { return m_keywords; }
    const QHash<QString, qint64>& counts() const { return m_counts; }

    // The n terms held by most keywords, most first, a tie by term; those equal to one of titles (ASCII letters
    // without case) marked.
    QList<TermCount> top(int n, const QStringList& titles = {}) const;

private:
    TermBreaker m_breaker;
    QHash<QString, qint64> m_counts;
    qint64 m_keywords = 0;
};
