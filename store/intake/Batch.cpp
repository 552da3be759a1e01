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

namespace {

// The runs of a source read on a thread of their own, one run ahead of the store: a file's columns cost about as
// much to cut and parse as its keywords to store, and the two take turns otherwise.
class ReadAhead
{
public:
    // A run's non-blank lines, and their numbers when the source has them.
    struct Run
    {
        Result<bool> more = false;
        QList<QString> lines;
        QList<KeywordMetrics> numbers;
        bool numbered = false;
        std::pair<qint64, qint64> progress;
    };

    explicit ReadAhead(LineSource& source)
        : m_source(source)
        , m_thread([this] { readAll(); })
    { }
    ~ReadAhead() { (void)stop(); }

    Run next()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_runs.empty(); });
        Run run = std::move(m_runs.front());
        m_runs.pop_front();
        m_changed.notify_all();
        return run;
    }

    // Hands a stored run back to be freed where its memory came from: freed here, it would contend for the
    // allocator's lock with the reading.
    void recycle(Run&& run)
    {
        const std::lock_guard lock(m_mutex);
        m_spent.push_back(std::move(run));
    }

    // Stops the reading and hands back the runs read and not taken; the source is the caller's again.
    std::deque<Run> stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return std::exchange(m_runs, {});
    }

private:
    void readAll()
    {
        QList<QString> lines;
        QList<KeywordMetrics> numbers;
        while (true) {
            std::deque<Run> spent;
            {
                const std::lock_guard lock(m_mutex);
                spent.swap(m_spent);
            }
            spent.clear();
            Run run;
            lines.clear();
            run.more = m_source.read(lines, Batch::ChunkSize);
            const bool last = !run.more || !*run.more;
            if (!last) {
                numbers.clear();
                run.numbered = m_source.takeMetrics(numbers) && numbers.size() == lines.size();
                run.lines.reserve(lines.size());
                for (qsizetype i = 0; i < lines.size(); ++i) {
                    if (Lines::isBlank(lines.at(i)))
                        continue;
                    run.lines.append(std::move(lines[i]));
                    if (run.numbered)
                        run.numbers.append(std::move(numbers[i]));
                }
            }
            run.progress = m_source.progress();
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_runs.empty() || m_stop; });
            m_runs.push_back(std::move(run));
            m_changed.notify_all();
            if (last || m_stop)
                return;
        }
    }

    LineSource& m_source;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Run> m_runs;
    std::deque<Run> m_spent;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

Status Batch::run(LineSource& source, const std::atomic<bool>& cancel)
{
    m_counts = {};
    // The first run is read while the stored keywords are.
    ReadAhead reading(source);
    // Stops the reading and counts what it read and what is left as not processed.
    const auto stopReading = [&] {
        for (const ReadAhead::Run& run : reading.stop())
            m_counts.unprocessed += run.lines.size();
        countRest(source);
    };
    KeywordPrints seen;
    if (m_excludeDuplicates) {
        if (Status loaded = m_store.loadPrints(seen); !loaded) {
            stopReading();
            return loaded;
        }
    }
    while (true) {
        if (cancel) {
            stopReading();
            return {};
        }
        ReadAhead::Run run = reading.next();
        if (!run.more) {
            stopReading();
            return Status::of(run.more);
        }
        if (!*run.more)
            return {};
        m_counts.hadNumbers = m_counts.hadNumbers || run.numbered;
        if (run.lines.isEmpty())
            continue;
        Store::ChunkCounts done;
        const Status stored = m_store.addChunk(run.lines, run.numbers, m_excludeDuplicates ? &seen : nullptr, done);
        m_counts.added += done.added;
        m_counts.duplicates += done.duplicates;
        m_counts.numbered += done.numbered;
        if (!stored) {
            m_counts.unprocessed += run.lines.size() - done.added - done.duplicates;
            stopReading();
            return stored;
        }
        if (onChunk)
            onChunk(m_counts, run.progress);
        reading.recycle(std::move(run));
    }
}
