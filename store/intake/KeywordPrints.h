#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <compare>
#include <vector>

// The keywords of a batch's duplicate test, held as 96-bit prints of their text as the test compares it (ASCII
// letters without case, every other byte exactly). Two different keywords share a print with odds below one in
// 10^14 even among tens of millions of keywords, so a print stands for its keyword and no stored text is read
// back to confirm a match; twelve bytes a keyword keep ten million of them in 120 MB.
class KeywordPrints
{
public:
    struct Print
    {
        quint32 high = 0;
        quint32 middle = 0;
        quint32 low = 0;
        friend bool operator==(const Print&, const Print&) = default;
    };

    static Print of(QByteArrayView keyword);
    // Whether two keywords are equal by the duplicate test: what equal prints stand for.
    static bool equal(QByteArrayView a, QByteArrayView b);

    // Puts prints in the order lookups need (by their leading bits, in place); may run on any thread.
    static void sort(std::vector<Print>& prints);
    // Prints of stored keywords, as put in order by sort(); the stored keywords may come in several such runs.
    void addStored(std::vector<Print> sorted);
    // A keyword another connection stored since the runs were read.
    void addStored(const Print& print);
    // Forgets every stored print, to read them again; the batch's own keywords stay.
    void clearStored();
    // Takes one of the batch's keywords in: false when an equal one is among the prints already.
    bool insert(const Print& print);
    // The same for many keywords in order, each as it comes (an earlier one of them counts), looking ahead so
    // that the memory of later lookups is on its way: fresh[i] says whether prints[i] was taken in.
    void insert(const std::vector<Print>& prints, std::vector<char>& fresh);
    bool contains(const Print& print) const;

    // Every keyword stored with an id up to this one is among the prints; 0 before any.
    qint64 seenUpTo() const { return m_seenUpTo; }
    void setSeenUpTo(qint64 id) { m_seenUpTo = id; }

private:
    // How many leading bits put prints in order for a run of that many: about eight prints to a range.
    static int rangeBits(size_t prints);
    static size_t rangeOf(const Print& print, int bits) { return bits == 0 ? 0 : print.high >> (32 - bits); }
    // A run in order of its leading bits, with where each range begins, so that a lookup reads one short stretch.
    struct Run
    {
        std::vector<Print> prints;
        std::vector<quint32> starts;
        int bits = 0;
        size_t range(const Print& print) const { return rangeOf(print, bits); }
        bool contains(const Print& print) const;
    };
    // Prints one at a time: open addressing, a slot with both halves 0 is free.
    class Table
    {
    public:
        bool contains(const Print& print) const;
        // False when the print was in the table already.
        bool add(const Print& print);
        const Print* slotOf(const Print& print) const
        {
            return m_slots.empty() ? nullptr : &m_slots[print.low & (m_slots.size() - 1)];
        }

    private:
        void grow();
        std::vector<Print> m_slots;
        size_t m_used = 0;
        bool m_holdsZero = false;
    };

    std::vector<Run> m_stored;
    Table m_storedSince;
    Table m_batch;
    qint64 m_seenUpTo = 0;
};
