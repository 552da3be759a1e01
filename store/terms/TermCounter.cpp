#include "TermCounter.h"

#include "store/Store.h"

#include <QHash>

namespace {

// How often a count reports its progress, in keywords.
constexpr qint64 ReportEvery = 20000;

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
    qint64 done = 0;
    const Status read = store.readUnsorted(
        0,
        [&](qint64 id, const QString& keyword) {
            table.add(keyword);
            if (ids)
                ids->push_back(id);
            if (++done % ReportEvery == 0 && progress)
                progress(done, totals->unsorted);
        },
        &cancel);
    if (read && progress)
        progress(done, std::max(done, totals->unsorted));
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
