#include "SortingSession.h"

#include "KeywordGridModel.h"
#include "store/Store.h"

// Taking filings back and making them again, one keyword at a time or many as one step.

void SortingSession::Undo()
{
    const FilingHistory::Step step = m_history->undo();
    if (step.outcome != FilingHistory::Step::Done)
        return;
    // One keyword as a take-back in the grid: it is unsorted again and the current one. Many go back to the pool.
    if (step.rows.size() == 1)
        setKeyword(step.rows.first().id, step.rows.first().keywords);
    else if (KeyId == 0)
        LoadNextKeyword();
    LoadClassKeywords();
}

void SortingSession::Redo()
{
    const qint64 shown = KeyId;
    const FilingHistory::Step step = m_history->redo();
    if (step.outcome != FilingHistory::Step::Done)
        return;
    if (step.rows.size() > 1)
        return afterFilingMany();
    const KeywordRow& row = step.rows.first();
    fileInto(row.id, row.classcode, row.classname);
    m_history->redone();
    // A window holds one keyword: holding that one let go of the keyword shown. Hold it again (or nothing, when
    // none was shown), or move on if another window has taken it meanwhile.
    if (shown != row.id) {
        const auto again = Conn.holdKeyword(shown);
        if (shown != 0 && (!again || !*again))
            LoadNextKeyword();
    }
    LoadClassKeywords();
}

std::optional<BulkFiling> SortingSession::FileMany(const QMap<QString, QList<qint64>>& idsByClass)
{
    const auto filed = m_history->fileMany(idsByClass);
    check(Status::of(filed));
    afterFilingMany();
    return filed ? std::optional(*filed) : std::nullopt;
}

void SortingSession::afterFilingMany()
{
    // The current keyword may have been among them: then the loop moves on.
    if (KeyId != 0) {
        const auto current = Conn.keywordById(KeyId);
        if (!current || !current->has_value() || (*current)->isSet != 0)
            LoadNextKeyword();
    }
    LoadClassKeywords();
}
