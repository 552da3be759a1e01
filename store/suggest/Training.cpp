#include "Training.h"

#include "Suggester.h"
#include "store/Store.h"

#include <QThread>

#include <thread>
#include <vector>

namespace {

// Learnt: at most this many of the newest filed keywords.
constexpr qint64 LearnFrom = 1000000;
// How many unsorted keywords the model looks at once it has learnt.
constexpr int FitOn = 20000;
// Keywords read before they are scored together; also how often scoring reports progress.
constexpr qsizetype BatchSize = 4096;

} // namespace

namespace Training {

Result<std::shared_ptr<Suggester>> learnt(Store& store, const std::atomic<bool>* stop)
{
    auto suggester = std::make_shared<Suggester>();
    const Status read = store.readFiled(LearnFrom, [&](const QString& code, const QString& keyword) {
        suggester->learn(code, keyword);
        return !(stop && *stop);
    });
    if (!read)
        return read.as<std::shared_ptr<Suggester>>();
    // A sample of what waits to be filed sharpens the model and measures how sure it may be.
    const auto unsorted = store.pendingKeywords(FitOn);
    if (!unsorted)
        return unsorted.as<std::shared_ptr<Suggester>>();
    if (!(stop && *stop))
        suggester->fit(*unsorted, stop);
    if (stop && *stop)
        return std::shared_ptr<Suggester>();
    return suggester;
}

Status scoreUnsorted(Store& store, const Suggester& model, const QStringList& subtrees,
                     const std::function<void(QList<Scored>&& batch)>& each, const std::atomic<bool>& cancel,
                     const std::function<void(qint64 done, qint64 total)>& progress)
{
    const auto totals = store.keywordTotals();
    if (!totals)
        return Status::of(totals);
    // Scoring costs far more than reading: each batch read is scored on every processor, a slice each.
    const int threads = std::max(1, QThread::idealThreadCount());
    qint64 done = 0;
    QList<Scored> batch;
    const auto score = [&] {
        std::vector<std::thread> workers;
        const qsizetype slice = (batch.size() + threads - 1) / threads;
        for (qsizetype from = 0; from < batch.size(); from += slice) {
            workers.emplace_back([&, from] {
                for (qsizetype i = from; i < std::min(from + slice, batch.size()) && !cancel; ++i) {
                    Scored& s = batch[i];
                    const Suggestion best = model.bestAmong(s.keyword, subtrees);
                    s.target = best.code.isEmpty() ? -1 : int(subtrees.indexOf(best.code));
                    s.confidence = best.confidence;
                }
            });
        }
        for (std::thread& t : workers)
            t.join();
        if (cancel)
            return;
        done += batch.size();
        each(std::exchange(batch, {}));
        if (progress)
            progress(done, std::max(done, totals->unsorted));
    };
    const Status read = store.readUnsorted(
        0,
        [&](qint64 id, const QString& keyword) {
            if (cancel)
                return;
            batch.append({id, keyword, -1, 0});
            if (batch.size() == BatchSize)
                score();
        },
        &cancel);
    if (!read)
        return read;
    if (!batch.isEmpty() && !cancel)
        score();
    return {};
}

} // namespace Training
