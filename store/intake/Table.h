#pragma once

#include <QList>
#include <QStringList>

#include <optional>

// How a file of rows lays out its table: the records of a CSV text, the delimiter between its fields, and the rows
// above the table (a report's title) that are not part of it.
namespace Table {

struct Layout
{
    int columns = 1;
    // Records above the table that do not have its columns; its first row comes after them.
    qsizetype titles = 0;
    // Records that have the table's columns.
    qsizetype matched = 0;
};

// The next record of a CSV text from next on, moving next past it. Quoted fields (RFC 4180) may hold the delimiter,
// doubled quotes and line breaks. With a null delimiter every record is one field.
QStringList record(QStringView text, qsizetype& next, QChar delimiter);
// The same, reading only the fields of the columns wanted: the others come back empty, so that a wide table is read
// without a string for each of its cells.
QStringList record(QStringView text, qsizetype& next, QChar delimiter, const QList<bool>& wanted);
// The fields of one record (its line break left off) in the kept columns, joined as RawColumns joins them.
QString rawCells(QStringView record, QChar delimiter, const QList<bool>& kept);
// Where a quoted field opens that nothing closes, read as records are read; -1 when every one is closed.
qsizetype unclosedQuote(QStringView text, QChar delimiter);
// The line, from 1, that a position of a text lies on: CR LF, LF and a lone CR each end a line.
qsizetype lineOf(QStringView text, qsizetype position);

// The table of records with these numbers of fields (0 for a blank record): the number of fields, more than one,
// that nearly every record shares from one of the first few on. Nothing when the records agree on none.
std::optional<Layout> layoutOf(const QList<int>& fieldCounts);
// The delimiter that gives a CSV text a consistent table (tab, semicolon or comma, in that order when several
// do), judged by its first records, and that table; a null delimiter and one column when none does. A file
// called .tsv is separated by tabs or is one column.
std::pair<QChar, Layout> delimiterOf(QStringView text, bool tabsOnly);

} // namespace Table
