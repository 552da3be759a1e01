#pragma once

#include "TermTable.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class Store;
struct KeywordRow;

// The term table of a store's unsorted keywords: counted once on a thread of its own, over a connection of its
// own, with progress and a way to stop; then kept up to date from the store's signals, a keyword at a time,
// without a recount. Lives on the thread of the store it follows.
class TermCounter : public QObject
{
    Q_OBJECT
public:
    using Progress = std::function<void(qint64 done, qint64 total)>;

    explicit TermCounter(bool phrases = false, QObject* parent = nullptr);
    // Stops a count under way and waits for its thread.
    ~TermCounter() override;

    // Counts every unsorted keyword of store into table on the calling thread; stops when cancel is set. ids, when
    // given, receives the ids counted, ascending.
    static Status count(Store& store, TermTable& table, const std::atomic<bool>& cancel, const Progress& progress,
                        std::vector<qint64>* ids = nullptr);

    // Starts counting the unsorted keywords of the store at location afresh; progress() tells how far it has
    // come, finished() when it is over. Changes the followed store announces meanwhile are applied afterwards,
    // each once, whether or not the count saw it.
    void start(const QString& location);
    void cancel() { m_cancel = true; }
    bool running() const { return m_worker.joinable(); }
    // How the last count ended: failed, or stopped by cancel() (then the table is empty).
    const Status& status() const { return m_status; }
    bool cancelled() const { return m_cancelled; }

    // From now on every filing, take-back and deletion store announces updates the table, and changed() follows.
    void follow(Store& store);
    // Adds the unsorted keywords of store with ids above afterId: a batch just added.
    Status addAfter(Store& store, qint64 afterId);
    // Another window of a team changed which keywords are unsorted since the last count: only a recount sees it.
    bool stale() const { return m_stale; }

    const TermTable& table() const { return *m_table; }
    QList<TermCount> top(int n, const QStringList& titles = {}) const { return m_table->top(n, titles); }

signals:
    void progress(qint64 done, qint64 total);
    void finished();
    void changed();

private:
    void apply(qint64 id, const QString& keyword, bool add);
    // On this object's thread once the count's thread is done: its table replaces the one there was.
    void settle();

    struct Change
    {
        qint64 id;
        QString keyword;
        bool add;
    };

    bool m_phrases;
    std::unique_ptr<TermTable> m_table;
    std::thread m_worker;
    // What the count's thread leaves for settle().
    std::unique_ptr<TermTable> m_counted;
    std::vector<qint64> m_countedIds;
    Status m_countStatus;
    std::atomic<bool> m_cancel {false};
    Status m_status;
    bool m_cancelled = false;
    bool m_stale = false;
    // What the followed store announced while a count was under way.
    QList<Change> m_pending;
};
