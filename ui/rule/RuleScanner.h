#pragma once

#include "store/rules/Rule.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

class Store;

// Counts what a rule matches among the unsorted keywords on a thread of its own, over a connection of its own,
// so that typing never waits for a scan of a million keywords. A new rule stops the scan under way; only the
// newest rule's result is announced.
class RuleScanner : public QObject
{
    Q_OBJECT
public:
    // listLimit: how many matches are listed.
    RuleScanner(const QString& location, int listLimit, QObject* parent = nullptr);
    ~RuleScanner() override;

    // Starts counting what rule matches; the one under way stops.
    void scan(const Rule& rule);
    // Stops the scan under way; nothing more is announced until the next scan().
    void stop();

signals:
    void scanned(const RuleMatches& matches);
    void failed(const QString& error);

private:
    struct Worker;

    QThread m_thread;
    Worker* m_worker = nullptr;
    // The newest request: a reply to another one is dropped.
    quint64 m_latest = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};
