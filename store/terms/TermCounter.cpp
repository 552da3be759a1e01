#include "TermCounter.h"

#include "store/Store.h"

#include <QHash>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// Keywords read before they are handed to a thread that breaks them; also how often a count reports progress.
constexpr qsizetype BatchSize = 20000;

} // namespace

TermCounter::TermCounter(bool phrases, QObject* parent)
    : QObject(parent)
    , m_phrases(phrases)
    , m_table(std::make_unique<TermTable>(phrases))
{ }

TermCounter::~TermCounter()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

Status TermCounter::count(Store& store, TermTable& table, const std::atomic<bool>& cancel, const Progress& progress,
                          std::vector<qint64>* ids)
{
    if (!table.ready())
        return table.ready();
    const auto totals = store.keywordTotals();
    if (!totals)
        return Status::of(totals);
    // Breaking words costs several times more than reading: the keywords are read here a batch at a time and
    // broken on two threads of their own, each into a table of its own.
    std::mutex lock;
    std::condition_variable ready;
    std::deque<QStringList> queue;
    bool readAll = false;
    std::atomic<qint64> broken {0};
    std::vector<std::unique_ptr<TermTable>> parts;
    std::vector<std::thread> breakers;
    for (int i = 0; i < 2; ++i) {
        parts.push_back(std::make_unique<TermTable>(table.phrases()));
        breakers.emplace_back([&, part = parts.back().get()] {
            while (true) {
                QStringList batch;
                {
                    std::unique_lock<std::mutex> held(lock);
                    ready.wait(held, [&] { return !queue.empty() || readAll; });
                    if (queue.empty())
                        return;
                    batch = std::move(queue.front());
                    queue.pop_front();
                }
                ready.notify_all();
                for (const QString& keyword : std::as_const(batch)) {
                    if (cancel)
                        break;
                    part->add(keyword);
                }
                broken += batch.size();
            }
        });
    }
    QStringList batch;
    const auto hand = [&] {
        std::unique_lock<std::mutex> held(lock);
        // Reading runs ahead by a few batches at most, so that memory stays small.
        ready.wait(held, [&] { return queue.size() < 4; });
        queue.push_back(std::exchange(batch, {}));
        held.unlock();
        ready.notify_all();
        if (progress)
            progress(broken, totals->unsorted);
    };
    const Status read = store.readUnsorted(
        0,
        [&](qint64 id, const QString& keyword) {
            batch.append(keyword);
            if (ids)
                ids->push_back(id);
            if (batch.size() == BatchSize)
                hand();
        },
        &cancel);
    hand();
    {
        const std::lock_guard<std::mutex> held(lock);
        readAll = true;
    }
    ready.notify_all();
    for (std::thread& t : breakers)
        t.join();
    for (const auto& part : parts)
        table.merge(*part);
    if (read && progress)
        progress(broken, std::max<qint64>(broken, totals->unsorted));
    return read;
}

void TermCounter::start(const QString& location)
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    m_cancel = false;
    m_worker = std::thread([this, location] {
        auto counted = std::make_unique<TermTable>(m_phrases);
        std::vector<qint64> ids;
        Status status;
        if (auto store = openStore(location); !store) {
            status = Status::of(store);
        } else {
            const auto report = [this](qint64 done, qint64 total) {
                QMetaObject::invokeMethod(
                    this, [this, done, total] { emit progress(done, total); }, Qt::QueuedConnection);
            };
            status = count(**store, *counted, m_cancel, report, &ids);
        }
        m_counted = std::move(counted);
        m_countedIds = std::move(ids);
        m_countStatus = status;
        QMetaObject::invokeMethod(this, &TermCounter::settle, Qt::QueuedConnection);
    });
}

void TermCounter::settle()
{
    if (m_worker.joinable())
        m_worker.join();
    m_status = m_countStatus;
    m_cancelled = m_status && m_cancel;
    const QList<Change> pending = std::exchange(m_pending, {});
    if (m_status && !m_cancelled) {
        m_table = std::move(m_counted);
        m_stale = false;
        // Each change announced during the count is applied once: a keyword is in the table when the count saw
        // it, and then as the changes since left it.
        QHash<qint64, bool> in;
        for (const Change& c : pending) {
            const auto known = in.constFind(c.id);
            const bool counted
                = known != in.cend() ? *known : std::binary_search(m_countedIds.cbegin(), m_countedIds.cend(), c.id);
            if (counted != c.add)
                c.add ? m_table->add(c.keyword) : m_table->remove(c.keyword);
            in.insert(c.id, c.add);
        }
    } else {
        for (const Change& c : pending)
            c.add ? m_table->add(c.keyword) : m_table->remove(c.keyword);
    }
    m_counted.reset();
    m_countedIds = {};
    emit finished();
    emit changed();
}

void TermCounter::apply(qint64 id, const QString& keyword, bool add)
{
    if (running()) {
        m_pending.append({id, keyword, add});
        return;
    }
    add ? m_table->add(keyword) : m_table->remove(keyword);
}

void TermCounter::follow(Store& store)
{
    const auto one = [this](bool add) {
        return [this, add](const KeywordRow& row) {
            apply(row.id, row.keywords, add);
            emit changed();
        };
    };
    const auto many = [this](bool add) {
        return [this, add](const QList<KeywordRow>& rows) {
            for (const KeywordRow& row : rows)
                apply(row.id, row.keywords, add);
            emit changed();
        };
    };
    connect(&store, &Store::keywordFiled, this, one(false));
    connect(&store, &Store::keywordUnfiled, this, one(true));
    connect(&store, &Store::keywordDeleted, this, one(false));
    connect(&store, &Store::keywordsFiled, this, many(false));
    connect(&store, &Store::keywordsUnfiled, this, many(true));
    connect(&store, &Store::allKeywordsDeleted, this, [this] {
        // A count under way would bring back what is gone.
        if (running())
            m_cancel = true;
        m_table->clear();
        m_pending.clear();
        emit changed();
    });
    connect(&store, &Store::changedElsewhere, this, [this](bool, bool keywords) { m_stale = m_stale || keywords; });
}

Status TermCounter::addAfter(Store& store, qint64 afterId)
{
    const Status read
        = store.readUnsorted(afterId, [this](qint64 id, const QString& keyword) { apply(id, keyword, true); });
    emit changed();
    return read;
}
