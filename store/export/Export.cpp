#include "Export.h"

#include "Writers.h"
#include "store/ClassCode.h"
#include "store/RawColumns.h"
#include "store/Store.h"
#include "store/intake/KnownLayouts.h"

#include <QHash>

#include <limits>

using namespace Qt::StringLiterals;

namespace Export {

namespace {

constexpr int PageSize = 1000;

QVariant cellOf(const std::optional<qint64>& v)
{
    return v ? QVariant(*v) : QVariant();
}

QVariant cellOf(const std::optional<double>& v)
{
    return v ? QVariant(*v) : QVariant();
}

// The columns written after a keyword's own: none in a store without numbers; else the numbers, then every raw
// column the keywords' files had, the same name one column whoever wrote it.
class MetricColumns
{
public:
    static Result<MetricColumns> of(Store& store)
    {
        MetricColumns columns;
        const auto numbered = store.hasMetrics();
        if (!numbered)
            return numbered.as<MetricColumns>();
        columns.m_numbered = *numbered;
        if (!columns.m_numbered)
            return columns;
        const auto layouts = store.rawColumnNames();
        if (!layouts)
            return layouts.as<MetricColumns>();
        for (const QString& names : *layouts) {
            QList<qsizetype>& positions = columns.m_positions[names];
            for (const QString& name : RawColumns::split(names)) {
                if (!columns.m_raw.contains(name))
                    columns.m_raw << name;
                positions << columns.m_raw.indexOf(name);
            }
        }
        return columns;
    }
    bool numbered() const { return m_numbered; }
    QStringList header(const QStringList& columns) const
    {
        return m_numbered ? columns + KnownLayouts::metricsHeader() + m_raw : columns;
    }
    void append(QVariantList& row, const KeywordMetrics& m) const
    {
        row << cellOf(m.volume) << cellOf(m.volumeHigh) << cellOf(m.competition) << cellOf(m.bidLow)
            << cellOf(m.bidHigh);
        if (m_raw.isEmpty())
            return;
        QVariantList raw(m_raw.size());
        const QList<qsizetype> positions = m_positions.value(m.rawNames);
        const QStringList cells = RawColumns::split(m.raw);
        for (qsizetype i = 0; i < positions.size() && i < cells.size(); ++i) {
            if (!cells.at(i).isEmpty())
                raw[positions.at(i)] = cells.at(i);
        }
        row << raw;
    }

private:
    bool m_numbered = false;
    QStringList m_raw;
    // Each layout's columns by their place in m_raw, worked out once rather than for every keyword.
    QHash<QString, QList<qsizetype>> m_positions;
};

// The rows of a page, each the keyword's columns and, in a store that has numbers, then its numbers, read for
// the whole page at once.
Result<bool> appendPage(Store& store, const MetricColumns& numbers, const QList<KeywordRow>& page,
                        const std::function<QVariantList(const KeywordRow&)>& row, QList<QVariantList>& rows)
{
    if (!numbers.numbered()) {
        for (const KeywordRow& k : page)
            rows << row(k);
        return true;
    }
    QList<qint64> ids;
    for (const KeywordRow& k : page)
        ids << k.id;
    const auto metrics = store.metricsOf(ids);
    if (!metrics)
        return metrics.as<bool>();
    for (const KeywordRow& k : page) {
        QVariantList cells = row(k);
        numbers.append(cells, metrics->value(k.id));
        rows << cells;
    }
    return true;
}

} // namespace

Format formatOf(const QString& fileName)
{
    return fileName.endsWith(u".csv"_s, Qt::CaseInsensitive) ? Format::Csv : Format::Xlsx;
}

const QStringList& gridHeader()
{
    static const QStringList header {u"ID"_s, u"分类"_s, u"关键词"_s};
    return header;
}

namespace {

// Writes a header and the rows that each page of read() gives (false: no more), reporting and cancelling
// between pages.
Result<bool> writeRows(const QString& fileName, Format format, const QStringList& header, qint64 total,
                       const Progress& progress, const std::function<Result<bool>(QList<QVariantList>& rows)>& read)
{
    if (format == Format::Xlsx && total > MaxWorkbookKeywords)
        return Result<bool>::failure(
            u"要导出 %1 个关键词，超过 Excel 工作表在列名之下的上限 %2 行。请导出为 CSV 文件。"_s.arg(
                QString::number(total), QString::number(MaxWorkbookKeywords)));
    auto writer = openWriter(fileName, format);
    if (!writer)
        return writer.as<bool>();
    QVariantList names;
    for (const QString& title : header)
        names << title;
    if (const Status written = (*writer)->row(names); !written)
        return written.as<bool>();
    qint64 done = 0;
    QList<QVariantList> rows;
    while (true) {
        if (progress.cancel && *progress.cancel)
            return false;
        rows.clear();
        // A page the store cannot read fails the export; it never becomes blank cells.
        const auto more = read(rows);
        if (!more)
            return more;
        for (const QVariantList& row : std::as_const(rows)) {
            if (const Status written = (*writer)->row(row); !written)
                return written.as<bool>();
        }
        done += rows.size();
        if (progress.report)
            progress.report(done, total);
        if (!*more)
            break;
    }
    if (const Status finished = (*writer)->finish(); !finished)
        return finished.as<bool>();
    return true;
}

// The keywords of a subtree in the grid's order, a page at a time, as rows made by row().
class SubtreePages
{
public:
    SubtreePages(Store& store, QList<ClassCount> classes, const MetricColumns& numbers)
        : m_store(store)
        , m_classes(std::move(classes))
        , m_numbers(numbers)
    { }
    qint64 total() const
    {
        qint64 n = 0;
        for (const ClassCount& c : m_classes)
            n += c.count;
        return n;
    }
    Result<bool> next(QList<QVariantList>& rows, const std::function<QVariantList(const KeywordRow&)>& row)
    {
        if (m_class >= m_classes.size())
            return false;
        const auto page = m_store.classPage(m_classes.at(m_class).code, m_from, PageSize);
        if (!page)
            return page.as<bool>();
        if (const auto added = appendPage(m_store, m_numbers, *page, row, rows); !added)
            return added;
        if (page->size() < PageSize) {
            ++m_class;
            m_from = std::numeric_limits<qint64>::max();
        } else {
            m_from = page->last().id - 1;
        }
        return m_class < m_classes.size();
    }

private:
    Store& m_store;
    QList<ClassCount> m_classes;
    MetricColumns m_numbers;
    qsizetype m_class = 0;
    qint64 m_from = std::numeric_limits<qint64>::max();
};

} // namespace

Result<bool> writeSubtree(Store& store, const QString& code, const QString& fileName, Format format,
                          const Progress& progress)
{
    const auto classes = store.subtreeCounts(code);
    if (!classes)
        return classes.as<bool>();
    const auto numbers = MetricColumns::of(store);
    if (!numbers)
        return numbers.as<bool>();
    SubtreePages pages(store, *classes, *numbers);
    return writeRows(
        fileName, format, numbers->header(gridHeader()), pages.total(), progress, [&](QList<QVariantList>& rows) {
            return pages.next(rows, [](const KeywordRow& k) { return QVariantList {k.id, k.classname, k.keywords}; });
        });
}

const QStringList& listHeader()
{
    static const QStringList header {u"关键词"_s, u"ID"_s, u"分类编码"_s, u"分类"_s, u"状态"_s};
    return header;
}

Result<bool> writeList(Store& store, const QString& code, const QString& fileName, Format format,
                       const Progress& progress)
{
    const auto classes = store.allClasses();
    if (!classes)
        return classes.as<bool>();
    const auto numbers = MetricColumns::of(store);
    if (!numbers)
        return numbers.as<bool>();
    QHash<QString, QString> paths;
    for (const ClassRow& c : *classes)
        paths.insert(c.code, ClassCode::shownPath(c.path));
    const auto row = [&](const KeywordRow& k) {
        const bool filed = k.isSet == 1 && !k.classcode.isEmpty();
        return QVariantList {k.keywords, k.id, k.classcode, paths.value(k.classcode),
                             filed ? u"已设置"_s : u"未设置"_s};
    };
    if (!code.isEmpty()) {
        const auto counts = store.subtreeCounts(code);
        if (!counts)
            return counts.as<bool>();
        SubtreePages pages(store, *counts, *numbers);
        return writeRows(fileName, format, numbers->header(listHeader()), pages.total(), progress,
                         [&](QList<QVariantList>& rows) { return pages.next(rows, row); });
    }
    const auto totals = store.keywordTotals();
    if (!totals)
        return totals.as<bool>();
    qint64 last = 0;
    return writeRows(fileName, format, numbers->header(listHeader()), totals->total, progress,
                     [&](QList<QVariantList>& rows) -> Result<bool> {
                         const auto page = store.keywordsAfter(last, PageSize);
                         if (!page)
                             return page.as<bool>();
                         if (const auto added = appendPage(store, *numbers, *page, row, rows); !added)
                             return added;
                         if (!page->isEmpty())
                             last = page->last().id;
                         return page->size() == PageSize;
                     });
}

} // namespace Export
