#pragma once

#include "store/Rows.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <memory>

class QThread;
class Store;
class Suggester;

// The class suggestions of a session. They learn what was filed before the session began on a thread of their own,
// over a connection of their own, and every filing and take-back after; until that reading is done they suggest
// nothing, and the session's own filings wait to be learnt.
class SuggestionLearner : public QObject
{
    Q_OBJECT
public:
    // Learns every filing and take-back made through store.
    explicit SuggestionLearner(Store& store, QObject* parent = nullptr);
    // Stops the reading where it is instead of waiting for it to end.
    ~SuggestionLearner() override;

    void start();
    // The likeliest class of a keyword; empty before anything is learnt.
    QString suggest(const QString& keyword) const;
    // The model as it stands, for reading on another thread: it never changes while a reader holds it (filings
    // learnt meanwhile go to a copy). Nothing until what was filed before the session began has been learnt.
    std::shared_ptr<const Suggester> snapshot() const;

signals:
    // What was filed before the session began has been learnt.
    void learnt();

private:
    void adopt(std::shared_ptr<Suggester> suggester);
    // The model to learn into, made a copy of its own first when a snapshot of it is held; nothing before it is
    // built.
    Suggester* changing();
    void learn(const KeywordRow& row);
    void forget(const KeywordRow& row);

    QString m_location;
    std::shared_ptr<Suggester> m_suggester;
    // Filings (true) and take-backs (false) made while the reading goes on.
    QList<std::pair<KeywordRow, bool>> m_pending;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop {false};
};
