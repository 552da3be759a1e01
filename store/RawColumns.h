#pragma once

#include <QStringList>

// A keyword file's own columns, kept as it wrote them: cells joined by tabs into one text, each cell with its
// backslashes, tabs and line breaks escaped, so that any cell comes back as it was.
namespace RawColumns {

QString escaped(QStringView cell);
QString join(const QStringList& cells);
QStringList split(QStringView joined);
// Appends the cell at index of a joined text that holds count cells so far, blank ones before it made up.
void append(QString& joined, int& count, int index, QStringView cell);

} // namespace RawColumns
