#include "Table.h"

#include "store/RawColumns.h"

#include <QHash>

namespace Table {

namespace {

// Records looked at to tell a file's delimiter and title rows.
constexpr qsizetype SampleRecords = 200;
// A title above a table is a line or two; a table that starts below the first ten records is no table.
constexpr qsizetype MaxTitles = 10;

bool separates(QChar c, QChar delimiter)
{
    return !delimiter.isNull() && c == delimiter;
}

} // namespace

QStringList record(QStringView text, qsizetype& next, QChar delimiter)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    qsizetype i = next;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = true;
        } else if (separates(c, delimiter)) {
            fields << std::exchange(field, {});
        } else if (c == u'\n' || c == u'\r') {
            i += c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n' ? 2 : 1;
            break;
        } else {
            field += c;
        }
    }
    next = std::max(i, next + 1);
    fields << field;
    return fields;
}

QStringList record(QStringView text, qsizetype& next, QChar delimiter, const QList<bool>& wanted)
{
    QStringList fields;
    fields.reserve(wanted.size() + 1);
    qsizetype start = next;
    // A field that began with a quote is built up; any other is a slice of the text.
    QString built;
    bool quoted = false;
    bool wasQuoted = false;
    bool empty = true;
    bool keep = wanted.value(0);
    const auto endField = [&](qsizetype end) {
        fields << (!keep           ? QString()
                       : wasQuoted ? std::exchange(built, {})
                                   : text.sliced(start, end - start).toString());
        keep = wanted.value(fields.size());
        wasQuoted = false;
        empty = true;
    };
    qsizetype i = next;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                if (keep)
                    built += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
                continue;
            } else if (keep) {
                built += c;
            }
            empty = false;
        } else if (c == u'"' && empty) {
            quoted = wasQuoted = true;
            if (keep)
                built.clear();
        } else if (separates(c, delimiter)) {
            endField(i);
            start = i + 1;
            // Past the last column wanted, the rest of a line without quotes is not looked at field by field.
            if (fields.size() >= wanted.size()) {
                qsizetype end = start;
                while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r' && text.at(end) != u'"')
                    ++end;
                if (end == text.size() || text.at(end) != u'"') {
                    i = end;
                    break;
                }
            }
        } else if (c == u'\n' || c == u'\r') {
            break;
        } else {
            if (wasQuoted && keep)
                built += c;
            empty = false;
        }
    }
    endField(i);
    if (i < text.size())
        i += text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n' ? 2 : 1;
    next = std::max(i, next + 1);
    return fields;
}

QString rawCells(QStringView line, QChar delimiter, const QList<bool>& kept)
{
    // Most records quote nothing and need no escapes: their kept fields are slices of the line, and with tabs
    // between them a run of kept fields is one slice.
    const bool tabs = delimiter == u'\t';
    const bool plain = !delimiter.isNull() && std::none_of(line.begin(), line.end(), [&](QChar c) {
        return c == u'"' || c == u'\\' || (c == u'\t' && !tabs);
    });
    if (!plain) {
        qsizetype next = 0;
        const QStringList fields = record(line, next, delimiter);
        QStringList cells;
        for (qsizetype column = 0; column < fields.size() && column < kept.size(); ++column) {
            if (kept.at(column))
                cells << fields.at(column);
        }
        return RawColumns::join(cells);
    }
    QString out;
    out.reserve(line.size());
    bool first = true;
    qsizetype runStart = -1;
    qsizetype runEnd = -1;
    const auto flush = [&] {
        if (runStart < 0)
            return;
        if (!std::exchange(first, false))
            out += u'\t';
        out += line.sliced(runStart, runEnd - runStart);
        runStart = -1;
    };
    qsizetype column = 0;
    for (qsizetype start = 0; start <= line.size() && column < kept.size(); ++column) {
        qsizetype end = line.indexOf(delimiter, start);
        if (end < 0)
            end = line.size();
        if (!kept.at(column)) {
            flush();
        } else {
            if (runStart < 0 || !tabs) {
                flush();
                runStart = start;
            }
            runEnd = end;
        }
        start = end + 1;
    }
    flush();
    return out;
}

qsizetype unclosedQuote(QStringView text, QChar delimiter)
{
    if (!text.contains(u'"'))
        return -1;
    bool quoted = false;
    bool fieldEmpty = true;
    qsizetype opened = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                ++i;
                fieldEmpty = false;
            } else if (c == u'"') {
                quoted = false;
            } else {
                fieldEmpty = false;
            }
        } else if (c == u'"' && fieldEmpty) {
            quoted = true;
            opened = i;
        } else {
            fieldEmpty = separates(c, delimiter) || c == u'\n' || c == u'\r';
        }
    }
    return quoted ? opened : -1;
}

qsizetype lineOf(QStringView text, qsizetype position)
{
    qsizetype line = 1;
    for (qsizetype i = 0; i < position && i < text.size(); ++i) {
        if (text.at(i) == u'\n' || (text.at(i) == u'\r' && (i + 1 >= text.size() || text.at(i + 1) != u'\n')))
            ++line;
    }
    return line;
}

std::optional<Layout> layoutOf(const QList<int>& fieldCounts)
{
    QHash<int, qsizetype> records;
    for (const int n : fieldCounts) {
        if (n > 1)
            ++records[n];
    }
    Layout layout;
    for (auto it = records.cbegin(); it != records.cend(); ++it) {
        if (it.value() > layout.matched || (it.value() == layout.matched && it.key() > layout.columns)) {
            layout.columns = it.key();
            layout.matched = it.value();
        }
    }
    if (layout.matched < 2)
        return std::nullopt;
    layout.titles = fieldCounts.indexOf(layout.columns);
    const qsizetype nonBlank
        = std::count_if(fieldCounts.cbegin() + layout.titles, fieldCounts.cend(), [](int n) { return n > 0; });
    // Nearly every record below the first row, so that a stray line (a total, a note) does not make a one-column
    // file of keywords that hold commas into a table.
    if (layout.titles >= MaxTitles || layout.matched * 10 < nonBlank * 9)
        return std::nullopt;
    return layout;
}

std::pair<QChar, Layout> delimiterOf(QStringView text, bool tabsOnly)
{
    std::pair<QChar, Layout> chosen {QChar(), Layout {}};
    const QList<QChar> candidates = tabsOnly ? QList<QChar> {u'\t'} : QList<QChar> {u'\t', u';', u','};
    for (const QChar delimiter : candidates) {
        QList<int> counts;
        for (qsizetype next = 0; next < text.size() && counts.size() < SampleRecords;) {
            const QStringList fields = record(text, next, delimiter);
            counts << (fields.size() == 1 && fields.first().isEmpty() ? 0 : int(fields.size()));
        }
        const auto layout = layoutOf(counts);
        if (layout && layout->matched > chosen.second.matched)
            chosen = {delimiter, *layout};
    }
    return chosen;
}

} // namespace Table
