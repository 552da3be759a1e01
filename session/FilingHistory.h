#pragma once

#include "store/Rows.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

class Store;

// The filings made in one session, for taking them back (Ctrl+Z) and making them again (Ctrl+Y). An entry never
// outlives its keyword: a keyword deleted takes its entries with it, since a store may give its id to a new one.
class FilingHistory : public QObject
{
    Q_OBJECT
public:
    // Follows every filing and deletion made through store.
    explicit FilingHistory(Store& store, QObject* parent = nullptr);

    // Ctrl+Z reaches this far back.
    static constexpr qsizetype Depth = 100;

    // What taking back or making again came to: Nothing when there was none to take back or make again, Refused
    // when it could not be done (refused() has said why); and the keyword it was about.
    struct Step
    {
        enum Outcome
        {
            Nothing,
            Done,
            Refused
        };
        Outcome outcome = Nothing;
        KeywordRow row;
    };

    // Takes the last filing back into the unsorted pool.
    Step undo();
    // Makes sure the last filing taken back can be made again, and holds its keyword against other windows; the
    // caller files it, and then says whether that worked.
    Step redo();
    void redone(bool filed);
    // How many filings were made, and the minutes since the first of them: the session's rate.
    qint64 filings() const { return m_filings; }
    double minutes() const { return m_clock.isValid() ? double(m_clock.elapsed()) / 60000.0 : 0; }

signals:
    // Why taking back or making again could not be done, in the operator's words or the store's.
    void refused(const QString& why);

private:
    Step refuse(const KeywordRow& row, const QString& why);
    // A keyword was filed: what was taken back can no longer be made again, unless this is the making again.
    void filed(const KeywordRow& row);
    void deleted(qint64 id);

    Store& m_store;
    QList<KeywordRow> m_filed;
    QList<KeywordRow> m_undone;
    // The keyword being filed again, 0 for none.
    qint64 m_redoing = 0;
    qint64 m_filings = 0;
    QElapsedTimer m_clock;
};
