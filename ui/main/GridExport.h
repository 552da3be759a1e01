#pragma once

#include "store/Result.h"

#include <QString>
#include <QStringList>

class QAbstractItemModel;

// Writes what a grid lists, its header row first, to a file the operator chose.
namespace GridExport {

enum class Format
{
    Xlsx,
    Csv
};

// The format a file name asks for by its suffix; CSV for ".csv", a workbook otherwise.
Format formatOf(const QString& fileName);
// Writes the header and the first `rows` rows of the model, in the model's order.
Status write(const QAbstractItemModel& model, int rows, const QStringList& header, const QString& fileName,
             Format format);

} // namespace GridExport
