#include "RawColumns.h"

using namespace Qt::StringLiterals;

namespace RawColumns {

QString escaped(QStringView cell)
{
    QString out;
    out.reserve(cell.size());
    for (const QChar c : cell) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\"_s;
            break;
        case u'\t':
            out += u"\\t"_s;
            break;
        case u'\n':
            out += u"\\n"_s;
            break;
        case u'\r':
            out += u"\\r"_s;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString join(const QStringList& cells)
{
    QString out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += u'\t';
        out += escaped(cells.at(i));
    }
    return out;
}

QStringList split(QStringView joined)
{
    QStringList cells;
    if (joined.isEmpty())
        return cells;
    QString cell;
    for (qsizetype i = 0; i < joined.size(); ++i) {
        const QChar c = joined.at(i);
        if (c == u'\t') {
            cells << std::exchange(cell, {});
        } else if (c == u'\\' && i + 1 < joined.size()) {
            const QChar e = joined.at(++i);
            cell += e == u't' ? QChar(u'\t') : e == u'n' ? QChar(u'\n') : e == u'r' ? QChar(u'\r') : e;
        } else {
            cell += c;
        }
    }
    cells << cell;
    return cells;
}

void append(QString& joined, int& count, int index, QStringView cell)
{
    for (; count < index + 1; ++count) {
        if (count > 0)
            joined += u'\t';
    }
    joined += escaped(cell);
}

} // namespace RawColumns
