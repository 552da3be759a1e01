#include "KeywordFile.h"

#include "Lines.h"
#include "Table.h"
#include "TextDecoding.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString Cancelled = u"已取消。"_s;

} // namespace

KeywordFile::~KeywordFile() = default;

Result<std::unique_ptr<KeywordFile>> KeywordFile::open(const QString& path, const Options& options)
{
    using R = Result<std::unique_ptr<KeywordFile>>;
    std::unique_ptr<KeywordFile> file(new KeywordFile);
    file->m_path = path;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return R::failure(u"无法打开文件 %1：%2"_s.arg(path, in.errorString()));
    const QByteArray head = in.peek(8);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (head.startsWith("PK\x03\x04")) {
        in.close();
        auto book = Workbook::open(path, options.control);
        if (!book)
            return R::failure(options.control.cancelled() ? Cancelled
                                                          : u"无法读取工作簿 %1：%2"_s.arg(path, book.error()));
        file->m_kind = Kind::Workbook;
        file->m_workbook = std::move(book).value();
        if (const Status settled = file->settleTable(suffix); !settled)
            return settled.as<std::unique_ptr<KeywordFile>>();
        return R(std::move(file));
    }
    if (head.startsWith("\xD0\xCF\x11\xE0"))
        return R::failure(
            u"%1 是旧的 Excel 格式（xls）或其他 Office 文件，请另存为 xlsx 或 CSV 后再增加。"_s.arg(path));
    auto decoded = TextDecoding::read(in, options.encoding, options.control);
    if (!decoded)
        return R::failure(options.control.cancelled() ? Cancelled
                                                      : u"无法读取文件 %1：%2"_s.arg(path, decoded.error()));
    file->m_kind = suffix == u"csv"_s || suffix == u"tsv"_s ? Kind::Csv : Kind::Text;
    file->m_text = std::move(decoded->text);
    file->m_encoding = decoded->encoding;
    file->m_sure = decoded->sure;
    // A keyword tool's export is told by its header, whatever the file is called.
    if (file->m_kind == Kind::Text && KnownLayouts::findInText(file->m_text))
        file->m_kind = Kind::Csv;
    if (file->m_kind == Kind::Text) {
        file->m_firstRow
            = QStringList(QStringView(file->m_text).first(Lines::lineAt(file->m_text, 0).first).toString());
        return R(std::move(file));
    }
    if (const Status settled = file->settleTable(suffix); !settled)
        return settled.as<std::unique_ptr<KeywordFile>>();
    return R(std::move(file));
}

Status KeywordFile::settleTable(const QString& suffix)
{
    Table::Layout layout;
    if (m_kind == Kind::Csv) {
        if (const auto found = KnownLayouts::findInText(m_text)) {
            m_delimiter = found->delimiter;
            recognised(*found);
        } else {
            std::tie(m_delimiter, layout) = Table::delimiterOf(m_text, suffix == u"tsv"_s);
        }
        if (const qsizetype at = Table::unclosedQuote(m_text, m_delimiter); at >= 0)
            return Status::failure(u"无法读取 CSV 文件 %1：第 %2 行的引号没有闭合。"_s.arg(
                m_path, QString::number(Table::lineOf(m_text, at))));
        if (m_layout)
            return {};
        qsizetype next = 0;
        for (qsizetype i = 0; i < layout.titles; ++i)
            Table::record(m_text, next, m_delimiter);
        m_firstRow = Table::record(m_text, next, m_delimiter);
    } else {
        if (const auto found = KnownLayouts::findInRows(m_workbook->firstRows())) {
            recognised(*found);
            return {};
        }
        // A row's cells up to its last one that holds something.
        QList<int> counts;
        int widest = 1;
        for (const QStringList& row : m_workbook->firstRows()) {
            qsizetype n = row.size();
            while (n > 0 && row.at(n - 1).isEmpty())
                --n;
            counts << int(n);
            widest = std::max(widest, int(n));
        }
        layout = Table::layoutOf(counts).value_or(Table::Layout {widest, 0, 0});
        m_firstRow = m_workbook->firstRows().value(layout.titles);
        m_firstRow.resize(layout.columns);
    }
    m_titles = layout.titles;
    return {};
}

void KeywordFile::recognised(const KnownLayouts::Found& found)
{
    m_layout = found.layout;
    m_titles = found.titles;
    m_firstRow = found.header;
    m_decimalComma = found.decimalComma;
    m_rawNames = found.rawNames;
    // Names such as 关键词 read right only in the file's own encoding.
    m_sure = m_sure || found.namesBeyondAscii;
    chooseColumn(found.layout.keyword, true);
}

void KeywordFile::chooseColumn(int column, bool skipFirstRow)
{
    m_column = column;
    m_skipFirstRow = skipFirstRow;
}

Status KeywordFile::start()
{
    m_started = true;
    const qsizetype skipped = m_titles + (m_skipFirstRow ? 1 : 0);
    switch (m_kind) {
    case Kind::Text:
        m_next = m_skipFirstRow ? Lines::lineAt(m_text, 0).second : 0;
        break;
    case Kind::Csv:
        for (qsizetype i = 0; i < skipped; ++i)
            Table::record(m_text, m_next, m_delimiter);
        if (hasMetrics()) {
            const auto mark = [](QList<bool>& columns, int column) {
                columns.resize(std::max(columns.size(), qsizetype(column) + 1));
                columns[column] = true;
            };
            mark(m_wanted, m_column);
            for (const auto& [column, number] : m_layout->numbers)
                mark(m_wanted, column);
            for (const int column : m_layout->raw)
                mark(m_rawKept, column);
        }
        break;
    case Kind::Workbook: {
        // The sheet is read again for the chosen column, and let go.
        QList<int> wanted {m_column};
        for (const auto& [column, number] : hasMetrics() ? m_layout->numbers : decltype(m_layout->numbers)())
            wanted << column;
        const QList<int> raw = hasMetrics() ? m_layout->raw : QList<int>();
        auto cells = m_workbook->columns(wanted, raw);
        m_workbook.reset();
        if (!cells)
            return Status::of(cells);
        m_numberCells = std::move(cells).value();
        m_cells = m_numberCells.takeFirst();
        if (!raw.isEmpty())
            m_rawCells = m_numberCells.takeLast();
        m_next = std::min(skipped, m_cells.size());
        break;
    }
    }
    return {};
}

QString KeywordFile::nextValue(KeywordMetrics& metrics)
{
    if (m_kind == Kind::Workbook) {
        if (hasMetrics()) {
            metrics = KnownLayouts::metricsOf(*m_layout, m_numberCells, m_next, m_decimalComma);
            metrics.raw = m_rawCells.value(m_next);
            metrics.rawNames = m_rawNames;
        }
        return m_cells.at(m_next++);
    }
    if (!hasMetrics())
        return Table::record(m_text, m_next, m_delimiter).value(m_column);
    const qsizetype start = m_next;
    const QStringList row = Table::record(m_text, m_next, m_delimiter, m_wanted);
    metrics = KnownLayouts::metricsOf(*m_layout, row, m_decimalComma);
    if (!m_rawKept.isEmpty()) {
        qsizetype end = m_next;
        while (end > start && (m_text.at(end - 1) == u'\n' || m_text.at(end - 1) == u'\r'))
            --end;
        metrics.raw = Table::rawCells(QStringView(m_text).sliced(start, end - start), m_delimiter, m_rawKept);
        metrics.rawNames = m_rawNames;
    }
    return row.value(m_column);
}

QStringList KeywordFile::preview(int lines) const
{
    if (m_kind == Kind::Workbook) {
        QStringList out;
        for (const QStringList& row : m_workbook ? m_workbook->firstRows().mid(m_titles) : QList<QStringList>())
            out << row.value(m_column);
        return out.mid(m_skipFirstRow ? 1 : 0, lines);
    }
    KeywordFile copy;
    copy.m_kind = m_kind;
    copy.m_text = m_text.first(std::min<qsizetype>(m_text.size(), 4096));
    copy.m_delimiter = m_delimiter;
    copy.m_titles = m_titles;
    copy.m_column = m_column;
    copy.m_skipFirstRow = m_skipFirstRow;
    QList<QString> out;
    (void)copy.read(out, lines);
    return out.mid(0, lines);
}

Result<bool> KeywordFile::read(QList<QString>& lines, qsizetype max)
{
    if (!m_started) {
        if (const Status started = start(); !started)
            return started.as<bool>();
    }
    // Text is cut exactly as pasted text is.
    if (m_kind == Kind::Text)
        return Lines::take(m_text, m_next, lines, max);
    const qsizetype end = m_kind == Kind::Workbook ? m_cells.size() : m_text.size();
    if (m_pending.isEmpty() && m_next >= end)
        return false;
    const qsizetype full = lines.size() + max;
    m_lastMetrics.clear();
    while (lines.size() < full && (!m_pending.isEmpty() || m_next < end)) {
        // A field or cell that holds line breaks gives a keyword a line, as pasted text would, each with the
        // row's numbers.
        if (m_pending.isEmpty()) {
            m_pendingMetrics = {};
            QString value = nextValue(m_pendingMetrics);
            if (Lines::lineAt(value, 0).first == value.size()) {
                lines.append(std::move(value));
                if (hasMetrics())
                    m_lastMetrics.append(std::move(m_pendingMetrics));
                continue;
            }
            for (QStringView line : Lines::split(value))
                m_pending << line.toString();
        }
        lines.append(m_pending.takeFirst());
        if (hasMetrics())
            m_lastMetrics.append(m_pendingMetrics);
    }
    return true;
}

bool KeywordFile::takeMetrics(QList<KeywordMetrics>& metrics)
{
    if (!hasMetrics())
        return false;
    metrics = std::exchange(m_lastMetrics, {});
    return true;
}

std::pair<qint64, qint64> KeywordFile::progress() const
{
    if (m_kind != Kind::Workbook)
        return {m_next, m_text.size()};
    return m_started ? std::pair<qint64, qint64> {m_next, m_cells.size()}
                     : std::pair<qint64, qint64> {0, m_workbook->rows()};
}

FileLines::FileLines(std::vector<std::unique_ptr<KeywordFile>> files)
    : m_files(std::move(files))
{ }

Result<bool> FileLines::read(QList<QString>& lines, qsizetype max)
{
    for (; m_current < m_files.size(); ++m_current) {
        const auto more = m_files[m_current]->read(lines, max);
        if (!more || *more)
            return more;
    }
    return false;
}

bool FileLines::takeMetrics(QList<KeywordMetrics>& metrics)
{
    return m_current < m_files.size() && m_files[m_current]->takeMetrics(metrics);
}

std::pair<qint64, qint64> FileLines::progress() const
{
    std::pair<qint64, qint64> all {0, 0};
    for (const auto& file : m_files) {
        const auto [done, total] = file->progress();
        all.first += done;
        all.second += total;
    }
    return all;
}
