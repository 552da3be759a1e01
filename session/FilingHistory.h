#pragma once

#include "store/Result.h"
#include "store/Rows.h"
#include "store/rules/Rule.h"

#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>

#include <optional>

class Store;

// The filings made in one session, for taking them back (Ctrl+Z) and making them again (Ctrl+Y), a step at a
// time: one keyword filed by a key, or the thousands filed at once by a rule or by accepting suggestions. An entry
// never outlives its keyword: a keyword deleted leaves every step, since a store may give its id to a new one.
class FilingHistory : public QObject
{
    Q_OBJECT
public:
    // Follows every filing and deletion made through store.
    explicit FilingHistory(Store& store, QObject* parent = nullptr);

    // Ctrl+Z reaches this far back.
    static constexpr qsizetype Depth = 100;

    // The keywords of one step, as they were filed.
    using Rows = QList<KeywordRow>;
    // What taking back or making again came to: Nothing when there was none to take back or make again, Refused
    // when it could not be done (refused() has said why); and the keywords it was about.
    struct Step
    {
        enum Outcome
        {
            Nothing,
            Done,
            Refused
        };
        Outcome outcome = Nothing;
        Rows rows;
    };

    // Files keywords at once into the classes their ids are listed under, as one step; keywords held by other
    // windows of a team are left alone.
    Result<BulkFiling> fileMany(const QMap<QString, QList<qint64>>& idsByClass);

    // Takes the last step back into the unsorted pool.
    Step undo();
    // Makes sure the last step taken back can be made again; one keyword is held against other windows. The caller
    // files a single keyword and then says it is done; a step of many is filed again here.
    Step redo();
    void redone();
    // How many filings were made, and the minutes since the first of them: the session's rate.
    qint64 filings() const { return m_filings; }
    double minutes() const { return m_clock.isValid() ? double(m_clock.elapsed()) / 60000.0 : 0; }

signals:
    // Why taking back or making again could not be done, in the operator's words or the store's.
    void refused(const QString& why);

private:
    // Filings announced until endStep() are one step, whichever classes they went to.
    void beginStep();
    void endStep();
    Step refuse(const Rows& rows, const QString& why);
    // Keywords were filed: what was taken back can no longer be made again, unless this is the making again.
    void filed(const Rows& rows);
    void deleted(qint64 id);
    Step undoMany(const Rows& rows);
    Step redoMany(const Rows& rows);

    Store& m_store;
    QList<Rows> m_filed;
    QList<Rows> m_undone;
    // The step being gathered, while one is open.
    std::optional<Rows> m_open;
    bool m_redoing = false;
    qint64 m_filings = 0;
    QElapsedTimer m_clock;
};
