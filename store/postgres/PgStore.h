#pragma once

#include "store/sql/SqlStore.h"

#include <QTimer>

#include <functional>
#include <memory>

struct pg_conn;

// A team's store in a PostgreSQL database. Each window holds its current keyword by an advisory lock tied to
// its session, so that no two windows are served the same keyword and a window that dies lets go of it; every
// write that another window should see is announced on the store's own notification channel. A connection that
// breaks is opened again by itself, with growing pauses between tries (see Store's connection signals).
class PgStore : public SqlStore
{
    Q_OBJECT
public:
    PgStore();
    ~PgStore() override;

    // Makes the schema and the root row in an existing database that holds none of the program's tables.
    static Status create(const QString& location);
    // Gives role what an operator needs and nothing more; run by the owner of the store's tables.
    static Status grant(const QString& location, const QString& role);
    Status open(const QString& location);
    QString location() const override { return m_location; }

    Result<QString> addClass(const QString& parentCode, const QString& title, const QString& qKey) override;
    Result<bool> editClass(const QString& code, const QString& title, const QString& qKey) override;
    Result<ClassDeletion> deleteClassIfEmpty(const QString& code) override;

    Result<std::optional<KeywordRow>> nextUnsorted() override;
    Result<bool> holdKeyword(qint64 id) override;
    Result<Change> fileKeyword(qint64 id, const QString& classCode, const QString& className) override;
    Result<Change> unfileKeyword(qint64 id, const QString& classCode) override;
    Result<Change> deleteKeyword(qint64 id) override;
    Status deleteAllKeywords() override;

    Status loadPrints(KeywordPrints& into) override;
    using Store::addChunk;
    Status addChunk(const QList<QString>& keywords, const QList<KeywordMetrics>& metrics, KeywordPrints* seen,
                    ChunkCounts& counts) override;
    Result<qint64> importRows(const QList<KeywordRow>& rows) override;
    Result<QList<FoundKeyword>> findKeywords(const QString& text, int limit) override;

    Result<BulkFiling> fileKeywords(const QList<qint64>& ids, const QString& classCode, const QString& className,
                                    const BulkProgress& progress = {}) override;
    Result<QList<qint64>> unfileKeywords(const QList<qint64>& ids, const QString& classCode) override;
    Result<RuleMatches> matchRule(const Rule& rule, const RuleScan& scan) override;
    Status readUnsorted(qint64 afterId, const std::function<void(qint64, const QString&)>& each,
                        const std::atomic<bool>* cancel = nullptr) override;

protected:
    QString stored(const QString& value) const override { return serverText(value); }
    QString lockForShare() const override;
    Status followIds(const QString& table) override;

private:
    // Opens the connection to the server named by location and sets up the session as the program needs it.
    Status reach(const QString& location);
    // Refuses a pooler that hands the session's server connection to others between transactions.
    Status checkSessionKept();
    // Finds the store's schema and channel, and listens on it.
    Status settle();
    pg_conn* handle() const;
    // A function of the store, by its schema.
    QString function(const QString& call) const { return m_schema + u'.' + call; }
    // Tells the other windows what changed: c (classes), k (which keywords are filed), a (keywords added).
    void announce(char what);
    Result<bool> tryLock(qint64 id);
    void unlock(qint64 id);
    Result<bool> stillUnsorted(qint64 id);
    // COPY into a table from rows of text, and out of a query a row at a time.
    Status copyIn(const QString& sql, const QByteArray& rows);
    Status copyOut(const QString& sql, const std::function<void(QByteArrayView row)>& eachRow);
    // Within a transaction: only one batch writes at a time, and each learns what the others stored.
    Status lockIntake();

    // The connection broke: said once, and tries to open it again begin.
    void lost(const QString& reason);
    void tryAgain();
    void answered(bool up);
    // Back on the server: what was held is held again, and a filing whose fate was unknown is looked up.
    void reconnect();

    QString m_location;
    QString m_schema;
    QString m_channel;
    // The keyword this window holds, 0 for none.
    qint64 m_held = 0;
    // The batch's duplicate test knows every keyword with an id up to this one.
    qint64 m_seenUpTo = 0;

    bool m_down = false;
    int m_pause = 0;
    QTimer m_watch;
    QTimer m_retry;
    // A filing sent when the connection broke: whether it was committed is known only once back.
    std::optional<std::pair<qint64, QString>> m_uncertain;
    // Lets an answer from another thread reach this store only while it lives.
    struct Guard;
    std::shared_ptr<Guard> m_guard;
};
