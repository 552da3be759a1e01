#pragma once

#include <QByteArrayView>

#include <string>
#include <vector>

// The keywords of a batch's duplicate test, held compactly: each once, in one block of memory, compared by
// the store's keyword equality (ASCII letters without case, every other byte exactly).
class KeywordSet
{
public:
    // Adds the keyword (UTF-8); false when an equal one is already there.
    bool insert(QByteArrayView keyword);
    bool contains(QByteArrayView keyword) const;
    qsizetype size() const { return m_size; }

private:
    // Folds into m_folded and gives its hash.
    size_t fold(QByteArrayView keyword) const;
    // The slot holding the folded keyword, or the empty slot where it belongs.
    size_t find(size_t hash) const;
    void grow();

    // Each keyword as its length (four bytes) followed by its folded bytes.
    std::vector<char> m_arena;
    // Zero for an empty slot; otherwise the keyword's offset in the arena plus one, with the top bits of its
    // hash above bit 40, so that most mismatches are told apart without touching the arena.
    std::vector<quint64> m_slots;
    qsizetype m_size = 0;
    mutable std::string m_folded;
};
