#pragma once

#include <QHash>
#include <QStringList>

// A keyword file's own columns, kept as it wrote them: cells joined by tabs into one text, each cell with its
// backslashes, tabs and line breaks escaped, so that any cell comes back as it was.
namespace RawColumns {

QString escaped(QStringView cell);
QString join(const QStringList& cells);
QStringList split(QStringView joined);
// Appends the cell at index of a joined text that holds count cells so far, blank ones before it made up.
void append(QString& joined, int& count, int index, QStringView cell);

// Whether two texts of column names are the very same text. A file's rows share one, so a layout is looked up
// once for a run of rows, not hashed again for each of them (a planner's names run to some 400 characters).
inline bool sameNames(QStringView a, QStringView b)
{
    return a.data() == b.data() && a.size() == b.size();
}

// The stored id of each row's names, from ids.
class LayoutIds
{
public:
    explicit LayoutIds(const QHash<QString, qint64>& ids)
        : m_ids(ids)
    { }
    qint64 of(const QString& names)
    {
        if (!sameNames(names, m_last)) {
            m_last = names;
            m_id = m_ids.value(names);
        }
        return m_id;
    }

private:
    const QHash<QString, qint64>& m_ids;
    QStringView m_last;
    qint64 m_id = 0;
};

} // namespace RawColumns
