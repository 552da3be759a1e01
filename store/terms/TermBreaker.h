#pragma once

#include "store/Result.h"

#include <QStringList>

#include <memory>

// The terms of a keyword: its words as ICU's dictionary-based word breaker finds them (Chinese words from its
// dictionary, Latin words, numbers), ASCII letters in lower case. Spaces, punctuation and symbols are no terms,
// nor is a single ASCII letter or digit; a single Chinese character the dictionary gives as a word (鞋, 车) is.
// With phrases, two terms next to each other (with nothing or only spaces between) count as one more term too,
// written as they stand, spaces as one. One breaker is used by one thread at a time.
class TermBreaker
{
public:
    explicit TermBreaker(bool phrases = false);
    ~TermBreaker();
    TermBreaker(const TermBreaker&) = delete;
    TermBreaker& operator=(const TermBreaker&) = delete;

    // Whether ICU could make its word breaker, or why not.
    const Status& ready() const { return m_ready; }
    bool phrases() const { return m_phrases; }
    // Each term of keyword once, in the order they first appear.
    QStringList terms(QStringView keyword);

private:
    struct Private;
    std::unique_ptr<Private> d;
    bool m_phrases;
    Status m_ready;
};
