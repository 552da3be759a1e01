#pragma once

#include "Connection.h"
#include "store/Store.h"
#include "store/StoredText.h"

// The operations both engines run with the same SQL over a Qt database connection. An engine adds how it
// connects, its schema, its bulk paths and whatever its dialect needs.
class SqlStore : public Store
{
    Q_OBJECT
public:
    Result<QList<ClassRow>> classesUnder(const QString& parentCode) override;
    Result<std::optional<ClassRow>> classByCode(const QString& code) override;
    Result<QString> addClass(const QString& parentCode, const QString& title, const QString& qKey) override;
    Result<bool> editClass(const QString& code, const QString& title, const QString& qKey) override;
    Result<ClassDeletion> deleteClassIfEmpty(const QString& code) override;

    Result<std::optional<KeywordRow>> nextUnsorted() override;
    // One window per store file: nothing to hold against.
    Result<bool> holdKeyword(qint64) override { return true; }
    Result<Change> fileKeyword(qint64 id, const QString& classCode, const QString& className) override;
    Result<Change> unfileKeyword(qint64 id, const QString& classCode) override;
    Result<Change> deleteKeyword(qint64 id) override;
    Result<std::optional<KeywordRow>> keywordById(qint64 id) override;
    Result<QStringList> pendingKeywords(int limit) override;

    Result<QList<ClassCount>> subtreeCounts(const QString& code) override;
    Result<QList<KeywordRow>> classPage(const QString& classCode, qint64 fromId, int limit) override;
    Result<std::optional<qint64>> classIdAt(const QString& classCode, qint64 fromId, qint64 offset) override;
    Result<qint64> classPosition(const QString& classCode, qint64 id) override;

    Result<KeywordTotals> keywordTotals() override;
    Result<qint64> subtreeCount(const QString& code) override;
    Status readFiled(qint64 limit, const std::function<bool(const QString&, const QString&)>& each) override;

    Result<QStringList> problems() override;

    Result<qint64> saveRule(const Rule& rule, const QString& classCode) override;
    Result<QList<SavedRule>> savedRules() override;
    Result<bool> deleteSavedRule(qint64 id) override;
    Result<bool> rulesOnNewBatches() override;
    Status setRulesOnNewBatches(bool on) override;
    Result<qint64> lastKeywordId() override;

    Result<QList<ClassRow>> allClasses() override;
    Result<QList<KeywordRow>> keywordsAfter(qint64 afterId, int limit) override;
    Status replaceClasses(const QList<ClassRow>& classes) override;
    QString storedForm(const QString& text) const override { return stored(text); }

    Result<bool> hasMetrics() override;
    Result<QHash<qint64, KeywordMetrics>> metricsOf(const QList<qint64>& ids) override;
    Result<QStringList> rawColumnNames() override;
    Result<QList<ClassVolume>> classVolumes() override;
    Result<VolumeTotals> volumeTotals() override;
    Status importMetrics(const QHash<qint64, KeywordMetrics>& metrics) override;

    // For tests that need to bend the connection (a size limit, read-only mode).
    QSqlDatabase database() const { return m_connection.database(); }

protected:
    explicit SqlStore(const QString& driver);

    // Text as this engine stores it, exactly as it will be read back.
    virtual QString stored(const QString& value) const { return storedText(value); }
    // Runs before every write; refuses it when the store cannot take it safely.
    virtual Status beforeWrite() { return {}; }
    // What a query appends to lock the rows it reads against a concurrent delete, where the engine needs it.
    virtual QString lockForShare() const { return {}; }
    // After rows were stored with ids of their own, new rows of the table get ids above them.
    virtual Status followIds(const QString& table)
    {
        Q_UNUSED(table);
        return {};
    }
    // Why a write that changed no row changed none: the row is gone, or in another state now.
    Result<Change> whyUnchanged(qint64 id);

    // Announces the rows a bulk take-back returned to the unsorted pool, even when it stopped on a failure, and
    // gives their ids, or the failure.
    Result<QList<qint64>> unfiled(const QList<KeywordRow>& returned, const Status& status);

    // The ids of the raw column layouts of these metrics, each stored once; within the caller's transaction.
    Result<QHash<QString, qint64>> rawColumnIds(const QList<const KeywordMetrics*>& metrics);

    static KeywordRow keywordFrom(const QSqlQuery& q);
    // The numbers of a row read as volume, volumeHigh, competition, bidLow, bidHigh from column first on.
    static KeywordMetrics metricsFrom(const QSqlQuery& q, int first);
    // A LIKE pattern that matches text anywhere, its wildcards taken literally (escaped with a backslash).
    static QString containsPattern(const QString& text);
    // Whether a keyword contains text by the find rule: ASCII letters without case, everything else exactly.
    static bool contains(const QString& keyword, const QString& text);
    static const QString KeywordColumns;

    Connection m_connection;
};
