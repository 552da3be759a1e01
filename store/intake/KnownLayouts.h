#pragma once

#include "store/Rows.h"

#include <QList>
#include <QStringList>

#include <optional>

// The exports of keyword tools, and the program's own, told by the names in their header row: which column holds
// the keywords and which hold numbers worth keeping. Names compare without case and with either kind of
// parentheses; each kind of number has its aliases across tools and interface languages.
namespace KnownLayouts {

enum class Number
{
    // Monthly searches, a number or a range.
    Volume,
    // The top of a range of monthly searches, where the low end has a column of its own.
    VolumeHigh,
    // Daily searches, made monthly (×30).
    DailyVolume,
    // 0 to 100.
    Competition,
    BidLow,
    BidHigh,
    // A single price: both ends of the bid range.
    Bid
};

struct Layout
{
    int keyword = 0;
    // The columns read for numbers, the first of each kind only.
    QList<std::pair<int, Number>> numbers;
    // The program's own export, which may have no number columns.
    bool own = false;
    // The columns kept as the file wrote them: every other one of a tool's export (numbers too, as written), and
    // those after the numbers of the program's own.
    QList<int> raw;
};

// How a header row lays out its table; nothing when it names no keyword column, or no number column beside it
// (and is not the program's own).
std::optional<Layout> recognise(const QStringList& header);
// The program's own export columns for numbers, in the order written after the existing ones.
const QStringList& metricsHeader();
// The numbers of one row, fields by column.
KeywordMetrics metricsOf(const Layout& layout, const QStringList& row, bool decimalComma);
// The same from the layout's number columns read whole, each a list of cells, one a row.
KeywordMetrics metricsOf(const Layout& layout, const QList<QStringList>& numberColumns, qsizetype row,
                         bool decimalComma);
// Whether the rows write decimal commas, judged by their number fields.
bool writesDecimalComma(const Layout& layout, const QList<QStringList>& rows);

// A known header among the first records of a text or the first rows of a sheet, title lines above it skipped.
struct Found
{
    Layout layout;
    // Records above the header.
    qsizetype titles = 0;
    QStringList header;
    // A CSV text's delimiter (tab, comma or semicolon).
    QChar delimiter;
    bool decimalComma = false;
    // Whether the header names are other than ASCII: a guessed encoding that reads them right is the file's.
    bool namesBeyondAscii = false;
    // The names of the raw columns, joined as RawColumns joins them.
    QString rawNames;
};
std::optional<Found> findInText(QStringView text);
std::optional<Found> findInRows(const QList<QStringList>& rows);

} // namespace KnownLayouts
