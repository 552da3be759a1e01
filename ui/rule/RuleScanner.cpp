#include "RuleScanner.h"

#include "store/Store.h"

// Lives on the scanner's thread: the store is opened there on the first request and used only there.
struct RuleScanner::Worker : QObject
{
    QString location;
    int listLimit = 0;
    std::unique_ptr<Store> store;
    Status opened;
};

RuleScanner::RuleScanner(const QString& location, int listLimit, QObject* parent)
    : QObject(parent)
    , m_worker(new Worker)
{
    m_worker->location = location;
    m_worker->listLimit = listLimit;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

RuleScanner::~RuleScanner()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

void RuleScanner::stop()
{
    ++m_latest;
    if (m_cancel)
        *m_cancel = true;
}

void RuleScanner::scan(const Rule& rule)
{
    stop();
    const quint64 request = m_latest;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(worker, [this, worker, rule, request, cancel] {
        // Requests queue up while a scan runs: all but the newest are stopped before they start.
        if (*cancel)
            return;
        if (!worker->store && worker->opened) {
            auto store = openStore(worker->location);
            if (store)
                worker->store = std::move(store).value();
            else
                worker->opened = Status::of(store);
        }
        RuleScan how;
        how.listLimit = worker->listLimit;
        how.cancel = cancel.get();
        const auto matches = worker->store ? worker->store->matchRule(rule, how) : worker->opened.as<RuleMatches>();
        if (*cancel || (matches && matches->cancelled))
            return;
        QMetaObject::invokeMethod(this, [this, request, matches] {
            if (request != m_latest)
                return;
            if (matches)
                emit scanned(*matches);
            else
                emit failed(matches.error());
        });
    });
}
