#include "Batch.h"

#include "KeywordPrints.h"
#include "Lines.h"
#include "store/Store.h"

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

Status Batch::run(LineSource& source, const std::atomic<bool>& cancel)
{
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
