#pragma once

#include "store/Result.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class Store;

// Writes keywords to a file the operator chose: an Excel workbook or a UTF-8 CSV file. The file is written
// beside its target and takes its place only when complete, so a failure or a cancel leaves nothing behind.
namespace Export {

enum class Format
{
    Xlsx,
    Csv
};

// A workbook's sheet holds 1,048,576 rows: the header and this many keywords. A larger export is refused before
// anything is written.
constexpr qint64 MaxWorkbookKeywords = 1048575;

// The format a file name asks for by its suffix; a workbook unless it ends in ".csv".
Format formatOf(const QString& fileName);
// The grid's columns, in the grid's order. In a store that holds numbers, every export writes each keyword's
// numbers after its columns (KnownLayouts::metricsHeader()), a blank cell for each it has not.
const QStringList& gridHeader();

struct Progress
{
    // Rows written out of rows to write.
    std::function<void(qint64 done, qint64 total)> report;
    // Set to stop; the export then leaves nothing behind.
    const std::atomic<bool>* cancel = nullptr;
};

// Every keyword filed in the subtree of code, in the grid's order, under the grid's header, read from the
// store as it is written. False when it was cancelled.
Result<bool> writeSubtree(Store& store, const QString& code, const QString& fileName, Format format,
                          const Progress& progress = {});

// The columns of a keyword list: keyword first, so that the file can be added to a store again as it is.
const QStringList& listHeader();
// A keyword list: every keyword of the store by id, sorted or not, or (code not empty) those filed in the
// subtree of code, in the grid's order; each with its class code, class path and state.
Result<bool> writeList(Store& store, const QString& code, const QString& fileName, Format format,
                       const Progress& progress = {});

} // namespace Export
