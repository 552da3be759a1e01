#pragma once

#include "store/Result.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// What a long read reports, and how it is stopped: a read that is cancelled fails.
struct ReadControl
{
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(qint64 done, qint64 total)> progress;

    bool cancelled() const { return cancel && *cancel; }
};

// The first sheet of an Excel workbook (xlsx), read as it is unpacked and a column at a time, so that a sheet of a
// million rows and several columns never sits in memory whole.
class Workbook
{
public:
    // Reads the whole sheet once, so that a broken one is refused before anything is stored, keeping its first rows.
    static Result<std::unique_ptr<Workbook>> open(const QString& path, const ReadControl& control = {});

    // The first rows, each its cells from column A on (a blank cell empty); a row without cells is empty.
    const QList<QStringList>& firstRows() const { return m_firstRows; }
    qsizetype rows() const { return m_rows; }
    // Each row's cell in column (from 0), a row a string, read from the file again.
    Result<QStringList> column(int column) const;
    // The same for several columns in one reading, a list of cells for each; with joined columns, one list more
    // after them: each row's cells of those columns, joined as RawColumns joins them.
    Result<QList<QStringList>> columns(const QList<int>& columns, const QList<int>& joined = {}) const;

private:
    Workbook() = default;
    // Calls cell for each cell of the sheet (only those of column, unless it is -1) with its row and column; gives
    // the number of rows.
    Result<qsizetype> walk(int column, const ReadControl& control,
                           const std::function<void(qsizetype row, int column, QString value)>& cell) const;

    QString m_path;
    QString m_sheetPath;
    QStringList m_shared;
    QList<QStringList> m_firstRows;
    qsizetype m_rows = 0;
};
