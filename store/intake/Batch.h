#pragma once

#include "store/Result.h"
#include "store/Rows.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

class Store;

// Hands out the lines of a batch, a run at a time. A batch reads it on a thread of the batch's own, one run ahead
// of the store, and asks its progress there too.
class LineSource
{
public:
    virtual ~LineSource() = default;
    // Appends up to max more lines; false when none are left.
    virtual Result<bool> read(QList<QString>& lines, qsizetype max) = 0;
    // How far the reading has come: done out of total, in whatever unit suits the source.
    virtual std::pair<qint64, qint64> progress() const = 0;
    // The numbers of the lines the last read() appended, one for each; false when the source has none.
    virtual bool takeMetrics(QList<KeywordMetrics>& metrics)
    {
        Q_UNUSED(metrics);
        return false;
    }
};

// The lines of a text, cut as the operator sees them.
class TextLines : public LineSource
{
public:
    explicit TextLines(QString text);
    Result<bool> read(QList<QString>& lines, qsizetype max) override;
    std::pair<qint64, qint64> progress() const override { return {m_next, m_text.size()}; }

private:
    QString m_text;
    qsizetype m_next = 0;
};

// Keywords in bulk: every non-blank line of a source is stored, unsorted, exactly as it stands, in chunks of
// one transaction each, with or without leaving out keywords equal to one already stored or earlier in the
// batch. It runs on whatever thread owns the store it is given.
class Batch
{
public:
    // A crash loses at most the chunk in flight, and a commit is not paid per line.
    static constexpr int ChunkSize = 50000;

    struct Counts
    {
        qint64 added = 0;
        qint64 duplicates = 0;
        // Non-blank lines that were neither stored nor found to be duplicates, after a cancel or a failure.
        qint64 unprocessed = 0;
        // Keywords stored with numbers from their file; a duplicate's numbers are never stored (its first
        // line's stay).
        qint64 numbered = 0;
        // Whether the batch's source had numbers at all.
        bool hadNumbers = false;
    };

    Batch(Store& store, bool excludeDuplicates);

    // Called after each committed chunk with the counts so far and the source's progress.
    std::function<void(const Counts&, std::pair<qint64, qint64> progress)> onChunk;

    // Stores the lines of source. With cancel set, it stops after the chunk in flight.
    Status run(LineSource& source, const std::atomic<bool>& cancel);
    const Counts& counts() const { return m_counts; }

private:
    // Counts the non-blank lines left in source.
    void countRest(LineSource& source);

    Store& m_store;
    bool m_excludeDuplicates;
    Counts m_counts;
};
