#pragma once

#include "store/Result.h"
#include "store/Rows.h"

#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

// What makes a keyword belong somewhere: words it must hold, words of which it must hold one, words it must not
// hold, a regular expression it must match and a range of lengths. Words match as find does: anywhere in the
// keyword, ASCII letters without case and every other character exactly. The regular expression is
// QRegularExpression's (Perl's) with Unicode properties (\w and \d know Chinese and full-width characters); it
// is not folded: (?i) asks for that. Lengths count characters (code points), both ends included.
struct Rule
{
    QStringList all;
    QStringList any;
    QStringList none;
    QString regex;
    std::optional<int> minLength;
    std::optional<int> maxLength;

    // No condition at all: such a rule would take every keyword, and is refused.
    bool isEmpty() const;
    bool operator==(const Rule&) const = default;

    // As one JSON object, the form a saved rule is kept in.
    QString toJson() const;
    static Result<Rule> fromJson(const QString& json);
};

// Where a regular expression is wrong, in QRegularExpression's own words and the character it stopped at.
struct RegexError
{
    QString message;
    qsizetype offset = 0;
};

// A rule made ready to test keywords with: its words folded, its regular expression compiled.
class RuleMatcher
{
public:
    // Refuses an empty rule and a regular expression that does not compile, with the reason for the operator.
    static Result<RuleMatcher> make(const Rule& rule);
    // Why the regular expression does not compile; nothing when it does.
    static std::optional<RegexError> regexError(const QString& regex);

    bool matches(QStringView keyword) const;
    // The same on a keyword's UTF-8 as a store file keeps it, without turning it into text unless the regular
    // expression needs it: ASCII bytes never occur inside another character's bytes, so folding them and
    // finding the words byte by byte is the find rule.
    bool matchesUtf8(QByteArrayView keyword) const;
    // The conditions an engine's SQL may leave to the program: the regular expression and the lengths.
    bool matchesRest(QStringView keyword) const;
    // Whether anything is left to matchesRest().
    bool hasRest() const { return m_hasRegex || m_rule.minLength || m_rule.maxLength; }
    bool hasRegex() const { return m_hasRegex; }
    // The lengths alone, from the keyword's UTF-8, without turning it into text.
    bool lengthFits(QByteArrayView utf8) const;

    // The rule's words without the empty ones; a word as the find rule compares it: ASCII letters in lower case.
    const Rule& rule() const { return m_rule; }
    static QString folded(QStringView text);
    static bool hasAsciiLetter(QStringView text);

private:
    bool lengthFits(qsizetype characters) const;

    Rule m_rule;
    QStringList m_all;
    QStringList m_any;
    QStringList m_none;
    QByteArrayList m_all8;
    QByteArrayList m_any8;
    QByteArrayList m_none8;
    QRegularExpression m_regex;
    bool m_hasRegex = false;
};

// What a rule finds among the unsorted keywords: how many, the first few by id, and when asked every id.
struct RuleMatches
{
    qint64 count = 0;
    QList<KeywordRow> first;
    QList<qint64> ids;
    // The caller asked the scan to stop: count and first are what was found until then.
    bool cancelled = false;
};

// How a rule is run: over the unsorted keywords with ids above afterId, listing the first listLimit; ids: every
// matching id as well; cancel: set from another thread, the scan stops within a few milliseconds.
struct RuleScan
{
    qint64 afterId = 0;
    int listLimit = 200;
    bool ids = false;
    const std::atomic<bool>* cancel = nullptr;
};

// A bulk filing: which keywords were filed, and why the others were not.
struct BulkFiling
{
    QList<qint64> filed;
    // Unsorted, but held by another window of the team.
    qint64 held = 0;
    // No longer in the store, or no longer unsorted.
    qint64 gone = 0;
    // The class was deleted before these could be filed (none of them were).
    qint64 classGone = 0;
};
// Called after each chunk with how many ids were tried so far out of all; false stops after that chunk.
using BulkProgress = std::function<bool(qint64 done, qint64 total)>;

// A rule kept in the store with the class it files into.
struct SavedRule
{
    qint64 id = 0;
    QString classCode;
    Rule rule;
};

// What the saved rules match in a batch: the ids each class would take, a keyword two rules match under the
// older rule's class.
struct SavedRuleMatches
{
    QMap<QString, QList<qint64>> idsByClass;
    // Saved rules whose class is gone: they match nothing.
    int withoutClass = 0;
};

// What the saved rules did to a batch.
struct RulesApplied
{
    qint64 filed = 0;
    qint64 held = 0;
    // Saved rules whose class is gone: they filed nothing.
    int withoutClass = 0;
};
