#pragma once

#include <QByteArrayView>
#include <QList>

#include <unordered_map>
#include <vector>

// The keywords of a batch's duplicate test, held as 64-bit fingerprints of their text as the test compares it
// (ASCII letters without case, every other byte exactly), each with the row that holds the keyword. Two
// keywords with one print are nearly always equal; the batch makes sure by comparing the rows' texts.
class KeywordPrints
{
public:
    struct Entry
    {
        quint64 print;
        qint64 id;
    };

    static quint64 of(QByteArrayView keyword);
    // Whether two keywords are equal by the duplicate test.
    static bool equal(QByteArrayView a, QByteArrayView b);

    // Puts entries in the order lookups need; may run on any thread.
    static void sort(std::vector<Entry>& entries);
    // Prints of stored keywords, as sorted by sort(); the stored keywords may come in several such runs.
    void addStored(std::vector<Entry> sorted);
    // A keyword the batch has just stored.
    void add(quint64 print, qint64 id);
    // The rows whose keyword has this print: nearly always none or one.
    void rowsWith(quint64 print, QList<qint64>& ids) const;

private:
    std::vector<std::vector<Entry>> m_stored;
    std::unordered_multimap<quint64, qint64> m_added;
};
