#pragma once

#include "store/Rows.h"

#include <QList>

#include <optional>

// The filings made in one window, for taking them back (Ctrl+Z) and making them again (Ctrl+Y).
class FilingHistory
{
public:
    // Ctrl+Z reaches this far back.
    static constexpr qsizetype Depth = 100;

    // A keyword was filed: what was taken back can no longer be made again, unless this is the making again.
    void filed(const KeywordRow& row, bool redone)
    {
        if (redone)
            m_undone.removeIf([&](const KeywordRow& r) { return r.id == row.id; });
        else
            m_undone.clear();
        // An earlier filing of the same keyword is no longer the row as it stands.
        m_filed.removeIf([&](const KeywordRow& r) { return r.id == row.id; });
        m_filed.append(row);
        if (m_filed.size() > Depth)
            m_filed.removeFirst();
    }
    std::optional<KeywordRow> lastFiled() const
    {
        return m_filed.isEmpty() ? std::nullopt : std::optional(m_filed.last());
    }
    std::optional<KeywordRow> lastUndone() const
    {
        return m_undone.isEmpty() ? std::nullopt : std::optional(m_undone.last());
    }
    // The last filing was taken back; taken is true when that worked, and it can then be made again.
    void tookBack(bool taken)
    {
        const KeywordRow row = m_filed.takeLast();
        if (taken)
            m_undone.append(row);
    }
    // Making the last taken-back filing again did not work: it is dropped.
    void dropUndone() { m_undone.removeLast(); }

private:
    QList<KeywordRow> m_filed;
    QList<KeywordRow> m_undone;
};
