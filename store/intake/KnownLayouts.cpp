#include "KnownLayouts.h"

#include "Numbers.h"
#include "Table.h"
#include "store/RawColumns.h"
#include "store/export/Export.h"

#include <QHash>

#include <cmath>

using namespace Qt::StringLiterals;

namespace KnownLayouts {

namespace {

// A header below more title lines than this is not looked for.
constexpr qsizetype MaxTitles = 10;
// Rows that tell how a file writes its numbers.
constexpr qsizetype SampleRows = 200;

// Baidu's tools give searches a day; a month is taken as thirty of them.
constexpr int DaysAMonth = 30;

QString normalised(const QString& name)
{
    QString n = name.simplified().toLower();
    n.replace(u'（', u'(').replace(u'）', u')').remove(QChar(0xFEFF));
    return n;
}

const QStringList KeywordNames
    = {u"keyword"_s, u"keywords"_s, u"关键词"_s, u"关键字"_s, u"mot clé"_s, u"mot-clé"_s, u"mots clés"_s};

const QHash<QString, Number>& numberNames()
{
    static const QHash<QString, Number> names = [] {
        const QList<std::pair<Number, QStringList>> aliases = {
            {Number::Volume,
             {u"avg. monthly searches"_s, u"average monthly searches"_s, u"search volume"_s, u"volume"_s,
              u"moyenne des recherches mensuelles"_s, u"nombre moyen de recherches mensuelles"_s, u"月均搜索量"_s}},
            {Number::VolumeHigh, {u"月均搜索量上限"_s}},
            {Number::DailyVolume, {u"整体日均搜索量"_s, u"日均搜索量"_s}},
            {Number::Competition,
             {u"competition (indexed value)"_s, u"keyword difficulty"_s, u"kd"_s, u"kd %"_s, u"kd%"_s,
              u"concurrence (valeur indexée)"_s, u"竞争激烈程度"_s, u"竞争程度"_s}},
            {Number::BidLow,
             {u"top of page bid (low range)"_s, u"enchère en haut de page (plage basse)"_s, u"出价下限"_s}},
            {Number::BidHigh,
             {u"top of page bid (high range)"_s, u"enchère en haut de page (plage haute)"_s, u"出价上限"_s}},
            {Number::Bid, {u"cpc"_s, u"cpc (usd)"_s, u"左侧(上方)准入价"_s}},
        };
        QHash<QString, Number> all;
        for (const auto& [number, list] : aliases) {
            for (const QString& name : list)
                all.insert(name, number);
        }
        return all;
    }();
    return names;
}

std::optional<qint64> whole(std::optional<double> value)
{
    if (!value || !std::isfinite(*value) || *value < 0 || *value > 9e18)
        return std::nullopt;
    return qint64(std::llround(*value));
}

} // namespace

const QStringList& metricsHeader()
{
    static const QStringList header {u"月均搜索量"_s, u"月均搜索量上限"_s, u"竞争程度"_s, u"出价下限"_s, u"出价上限"_s};
    return header;
}

std::optional<Layout> recognise(const QStringList& header)
{
    Layout layout;
    int ownColumns = 0;
    // The program's own export: its columns first, numbers (if any) after them.
    for (const QStringList* own : {&Export::listHeader(), &Export::gridHeader()}) {
        if (header.size() >= own->size() && header.mid(0, own->size()) == *own) {
            layout.own = true;
            ownColumns = int(own->size());
            layout.keyword = int(own->indexOf(u"关键词"_s));
            break;
        }
    }
    int keyword = -1;
    QList<Number> seen;
    for (int column = ownColumns; column < header.size(); ++column) {
        const QString name = normalised(header.at(column));
        if (keyword < 0 && KeywordNames.contains(name))
            keyword = column;
        // The program's own numbers are its own columns; the raw ones after them, whatever their names, stay raw.
        const bool ownNumber = metricsHeader().contains(header.at(column).trimmed());
        const auto number = numberNames().constFind(name);
        if (number != numberNames().cend() && !seen.contains(*number) && (ownNumber || !layout.own)) {
            seen << *number;
            layout.numbers << std::pair {column, *number};
        }
        // Columns without a name are blank ones past the table's end.
        if (!(layout.own && (ownNumber || column == layout.keyword)) && !header.at(column).trimmed().isEmpty())
            layout.raw << column;
    }
    if (!layout.own) {
        if (keyword < 0 || layout.numbers.isEmpty())
            return std::nullopt;
        layout.keyword = keyword;
        layout.raw.removeOne(keyword);
    }
    return layout;
}

KeywordMetrics metricsOf(const Layout& layout, const QStringList& row, bool decimalComma)
{
    KeywordMetrics m;
    for (const auto& [column, number] : layout.numbers) {
        if (column >= row.size())
            continue;
        const Numbers::Range value = Numbers::parse(row.at(column), decimalComma);
        switch (number) {
        case Number::Volume:
            m.volume = whole(value.low);
            if (value.high)
                m.volumeHigh = whole(value.high);
            break;
        case Number::VolumeHigh:
            m.volumeHigh = whole(value.low);
            break;
        case Number::DailyVolume:
            m.volume = whole(value.low ? std::optional(*value.low * DaysAMonth) : std::nullopt);
            if (value.high)
                m.volumeHigh = whole(*value.high * DaysAMonth);
            break;
        case Number::Competition:
            m.competition = value.low;
            break;
        case Number::BidLow:
            m.bidLow = value.low;
            break;
        case Number::BidHigh:
            m.bidHigh = value.high ? value.high : value.low;
            break;
        case Number::Bid:
            m.bidLow = value.low;
            m.bidHigh = value.high ? value.high : value.low;
            break;
        }
    }
    return m;
}

KeywordMetrics metricsOf(const Layout& layout, const QList<QStringList>& numberColumns, qsizetype row,
                         bool decimalComma)
{
    // The row as the layout reads it: the number columns where the layout has them.
    QStringList cells;
    for (qsizetype i = 0; i < numberColumns.size() && i < layout.numbers.size(); ++i) {
        const int column = layout.numbers.at(i).first;
        cells.resize(std::max(cells.size(), qsizetype(column) + 1));
        cells[column] = numberColumns.at(i).value(row);
    }
    return metricsOf(layout, cells, decimalComma);
}

bool writesDecimalComma(const Layout& layout, const QList<QStringList>& rows)
{
    for (const QStringList& row : rows) {
        for (const auto& [column, number] : layout.numbers) {
            if (Numbers::showsDecimalComma(row.value(column)))
                return true;
        }
    }
    return false;
}

namespace {

QString rawNames(const Layout& layout, const QStringList& header)
{
    QStringList names;
    for (const int column : layout.raw)
        names << header.at(column).trimmed();
    return RawColumns::join(names);
}

bool beyondAscii(const Layout& layout, const QStringList& header)
{
    QString names = header.value(layout.keyword);
    for (const auto& [column, number] : layout.numbers)
        names += header.at(column);
    return std::any_of(names.cbegin(), names.cend(), [](QChar c) { return c.unicode() > 127; });
}

} // namespace

std::optional<Found> findInText(QStringView text)
{
    for (const QChar delimiter : {QChar(u'\t'), QChar(u','), QChar(u';')}) {
        qsizetype next = 0;
        for (qsizetype row = 0; row < MaxTitles && next < text.size(); ++row) {
            QStringList header = Table::record(text, next, delimiter);
            const auto layout = header.size() > 1 ? recognise(header) : std::nullopt;
            if (!layout)
                continue;
            QList<QStringList> sample;
            while (sample.size() < SampleRows && next < text.size())
                sample << Table::record(text, next, delimiter);
            return Found {*layout,
                          row,
                          header,
                          delimiter,
                          writesDecimalComma(*layout, sample),
                          beyondAscii(*layout, header),
                          rawNames(*layout, header)};
        }
    }
    return std::nullopt;
}

std::optional<Found> findInRows(const QList<QStringList>& rows)
{
    for (qsizetype row = 0; row < MaxTitles && row < rows.size(); ++row) {
        QStringList header = rows.at(row);
        while (!header.isEmpty() && header.last().isEmpty())
            header.removeLast();
        if (const auto layout = header.size() > 1 ? recognise(header) : std::nullopt) {
            return Found {*layout,
                          row,
                          header,
                          QChar(),
                          writesDecimalComma(*layout, rows.mid(row + 1)),
                          beyondAscii(*layout, header),
                          rawNames(*layout, header)};
        }
    }
    return std::nullopt;
}

} // namespace KnownLayouts
