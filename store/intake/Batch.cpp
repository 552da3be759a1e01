#include "Batch.h"

#include "KeywordPrints.h"
#include "Lines.h"
#include "store/Store.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

TextLines::TextLines(QString text)
    : m_text(std::move(text))
{ }

Result<bool> TextLines::read(QList<QString>& lines, qsizetype max)
{
    return Lines::take(m_text, m_next, lines, max);
}

namespace {

// Reads a source's next chunk on a thread of its own while the store writes the one before, so that parsing a
// file and writing the store overlap. Only this thread touches the source until the reader is gone.
class ReadAhead : public LineSource
{
public:
    ReadAhead(LineSource& source, qsizetype chunk)
        : m_source(source)
        , m_chunk(chunk)
        , m_thread([this] { produce(); })
    { }
    ~ReadAhead() override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Result<bool> read(QList<QString>& lines, qsizetype max) override
    {
        Q_ASSERT(max == m_chunk);
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pieces.empty(); });
        // The last piece (the end, or a failure) stays, for every read after it.
        Piece piece = m_pieces.size() == 1 && m_pieces.front().last() ? m_pieces.front() : std::move(m_pieces.front());
        if (!piece.last())
            m_pieces.pop_front();
        lock.unlock();
        m_changed.notify_all();
        lines += std::move(piece.lines);
        m_metrics = std::move(piece.metrics);
        m_numbered = piece.numbered;
        m_progress = piece.progress;
        return piece.more;
    }
    std::pair<qint64, qint64> progress() const override { return m_progress; }
    bool takeMetrics(QList<KeywordMetrics>& metrics) override
    {
        metrics = std::exchange(m_metrics, {});
        return m_numbered;
    }

private:
    struct Piece
    {
        Result<bool> more = false;
        QList<QString> lines;
        QList<KeywordMetrics> metrics;
        bool numbered = false;
        std::pair<qint64, qint64> progress;
        bool last() const { return !more || !*more; }
    };
    // Chunks read and not yet taken; one is enough to keep the store busy.
    static constexpr size_t Ahead = 1;

    void produce()
    {
        for (bool last = false; !last;) {
            Piece piece;
            piece.more = m_source.read(piece.lines, m_chunk);
            piece.numbered = !piece.last() && m_source.takeMetrics(piece.metrics);
            piece.progress = m_source.progress();
            last = piece.last();
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_pieces.size() < Ahead; });
            if (m_stop)
                return;
            m_pieces.push_back(std::move(piece));
            lock.unlock();
            m_changed.notify_all();
        }
    }

    LineSource& m_source;
    const qsizetype m_chunk;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_pieces;
    bool m_stop = false;
    QList<KeywordMetrics> m_metrics;
    bool m_numbered = false;
    std::pair<qint64, qint64> m_progress;
    // Last, so that it starts once the rest is ready.
    std::thread m_thread;
};

} // namespace

Batch::Batch(Store& store, bool excludeDuplicates)
    : m_store(store)
    , m_excludeDuplicates(excludeDuplicates)
{ }

void Batch::countRest(LineSource& source)
{
    QList<QString> lines;
    while (true) {
        lines.clear();
        const auto more = source.read(lines, ChunkSize);
        if (!more || !*more)
            break;
        m_counts.unprocessed
            += std::count_if(lines.cbegin(), lines.cend(), [](const QString& l) { return !Lines::isBlank(l); });
    }
}

Status Batch::run(LineSource& given, const std::atomic<bool>& cancel)
{
    ReadAhead source(given, ChunkSize);
    m_counts = {};
    KeywordPrints seen;
    if (m_excludeDuplicates) {
        if (Status loaded = m_store.loadPrints(seen); !loaded) {
            countRest(source);
            return loaded;
        }
    }
    QList<QString> lines;
    QList<QString> chunk;
    QList<KeywordMetrics> numbers;
    QList<KeywordMetrics> chunkNumbers;
    while (true) {
        if (cancel) {
            countRest(source);
            return {};
        }
        lines.clear();
        const auto more = source.read(lines, ChunkSize);
        if (!more) {
            countRest(source);
            return Status::of(more);
        }
        if (!*more)
            return {};
        numbers.clear();
        const bool numbered = source.takeMetrics(numbers) && numbers.size() == lines.size();
        m_counts.hadNumbers = m_counts.hadNumbers || numbered;
        chunk.clear();
        chunkNumbers.clear();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (Lines::isBlank(lines.at(i)))
                continue;
            chunk.append(lines.at(i));
            if (numbered)
                chunkNumbers.append(numbers.at(i));
        }
        if (chunk.isEmpty())
            continue;
        Store::ChunkCounts done;
        const Status stored = m_store.addChunk(chunk, chunkNumbers, m_excludeDuplicates ? &seen : nullptr, done);
        m_counts.added += done.added;
        m_counts.duplicates += done.duplicates;
        m_counts.numbered += done.numbered;
        if (!stored) {
            m_counts.unprocessed += chunk.size() - done.added - done.duplicates;
            countRest(source);
            return stored;
        }
        if (onChunk)
            onChunk(m_counts, source.progress());
    }
}
