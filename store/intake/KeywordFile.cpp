#include "KeywordFile.h"

#include "Lines.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace {

struct Decoded
{
    QString text;
    QString encoding;
    bool sure = true;
};

Result<QString> decodeAs(QByteArrayView bytes, const QString& encoding)
{
    QStringDecoder decoder(qPrintable(encoding), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return Result<QString>::failure(u"不认识的编码“%1”。"_s.arg(encoding));
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return Result<QString>::failure(u"文件不是有效的 %1 文本。"_s.arg(encoding));
    return text;
}

// Which bytes of a text without a byte-order mark look like the high halves of UTF-16 code units: plenty of
// zero bytes on one side says UTF-16 of mostly ASCII text.
std::optional<QString> utf16Guess(QByteArrayView bytes)
{
    qsizetype zeros[2] = {0, 0};
    const qsizetype sample = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 4096);
    for (qsizetype i = 0; i < sample; ++i)
        zeros[i % 2] += bytes[i] == 0 ? 1 : 0;
    if (sample >= 4 && zeros[1] * 3 > sample / 2)
        return u"UTF-16LE"_s;
    if (sample >= 4 && zeros[0] * 3 > sample / 2)
        return u"UTF-16BE"_s;
    return std::nullopt;
}

Result<Decoded> decode(const QByteArray& bytes, const QString& stated)
{
    if (!stated.isEmpty()) {
        // The decoder drops a byte-order mark of its own encoding.
        auto text = decodeAs(bytes, stated);
        if (!text)
            return text.as<Decoded>();
        if (text->startsWith(QChar::ByteOrderMark))
            text = text->mid(1);
        return Decoded {*text, stated, true};
    }
    const std::pair<QByteArray, QString> marks[] = {{QByteArray("\xEF\xBB\xBF"), u"UTF-8"_s},
                                                    {QByteArray("\xFF\xFE"), u"UTF-16LE"_s},
                                                    {QByteArray("\xFE\xFF"), u"UTF-16BE"_s}};
    for (const auto& [mark, encoding] : marks) {
        if (bytes.startsWith(mark)) {
            auto text = decodeAs(QByteArrayView(bytes).sliced(mark.size()), encoding);
            if (!text)
                return text.as<Decoded>();
            return Decoded {*text, encoding, true};
        }
    }
    // Zeros say UTF-16 before anything else: UTF-16 of ASCII text is valid UTF-8 too, full of NULs. Otherwise UTF-8,
    // and failing that the common Chinese encoding. All but UTF-8 are guesses.
    const std::optional<QString> utf16 = utf16Guess(bytes);
    if (!utf16) {
        if (auto utf8 = decodeAs(bytes, u"UTF-8"_s))
            return Decoded {*utf8, u"UTF-8"_s, true};
    }
    const QString guess = utf16.value_or(u"GB18030"_s);
    QStringDecoder decoder(qPrintable(guess));
    return Decoded {decoder.decode(bytes), guess, false};
}

// Where a quoted CSV field opens that nothing closes, read as records are read; -1 when every one is closed. Such a
// field would take the rest of the file for one keyword.
qsizetype unclosedQuote(QStringView text, QChar delimiter)
{
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
            fieldEmpty = c == delimiter || c == u'\n' || c == u'\r';
        }
    }
    return quoted ? opened : -1;
}

QChar delimiterOf(QStringView firstLine)
{
    qsizetype best = 0;
    QChar chosen = u',';
    for (const QChar candidate : {QChar(u','), QChar(u'\t'), QChar(u';')}) {
        const qsizetype n = firstLine.count(candidate);
        if (n > best) {
            best = n;
            chosen = candidate;
        }
    }
    return chosen;
}

} // namespace

Result<std::unique_ptr<KeywordFile>> KeywordFile::open(const QString& path, const Options& options)
{
    using R = Result<std::unique_ptr<KeywordFile>>;
    std::unique_ptr<KeywordFile> file(new KeywordFile);
    file->m_path = path;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return R::failure(u"无法打开文件 %1：%2"_s.arg(path, in.errorString()));
    const QByteArray head = in.peek(8);
    if (head.startsWith("PK\x03\x04")) {
        in.close();
        auto cells = readWorkbookColumn(path);
        if (!cells)
            return R::failure(u"无法读取工作簿 %1：%2"_s.arg(path, cells.error()));
        file->m_kind = Kind::Workbook;
        file->m_cells = std::move(cells).value();
        return R(std::move(file));
    }
    if (head.startsWith("\xD0\xCF\x11\xE0"))
        return R::failure(
            u"%1 是旧的 Excel 格式（xls）或其他 Office 文件，请另存为 xlsx 或 CSV 后再增加。"_s.arg(path));
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return R::failure(u"无法读取文件 %1：%2"_s.arg(path, in.errorString()));
    auto decoded = decode(bytes, options.encoding);
    if (!decoded)
        return R::failure(u"无法读取文件 %1：%2"_s.arg(path, decoded.error()));
    const QString suffix = QFileInfo(path).suffix().toLower();
    file->m_kind = suffix == u"csv"_s || suffix == u"tsv"_s ? Kind::Csv : Kind::Text;
    file->m_text = std::move(decoded->text);
    file->m_encoding = decoded->encoding;
    file->m_sure = decoded->sure;
    if (file->m_kind == Kind::Csv) {
        file->m_delimiter = delimiterOf(QStringView(file->m_text).first(Lines::lineAt(file->m_text, 0).first));
        if (const qsizetype at = unclosedQuote(file->m_text, file->m_delimiter); at >= 0) {
            const qsizetype line = QStringView(file->m_text).first(at).count(u'\n') + 1;
            return R::failure(u"无法读取 CSV 文件 %1：第 %2 行的引号没有闭合。"_s.arg(path).arg(line));
        }
    }
    return R(std::move(file));
}

QStringList KeywordFile::nextRecord()
{
    // RFC 4180: quoted fields may hold the delimiter, quotes (doubled) and line breaks.
    QStringList fields;
    QString field;
    bool quoted = false;
    qsizetype i = m_next;
    for (; i < m_text.size(); ++i) {
        const QChar c = m_text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < m_text.size() && m_text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && field.isEmpty()) {
            quoted = true;
        } else if (c == m_delimiter) {
            fields << std::exchange(field, {});
        } else if (c == u'\n' || c == u'\r') {
            i += c == u'\r' && i + 1 < m_text.size() && m_text.at(i + 1) == u'\n' ? 2 : 1;
            break;
        } else {
            field += c;
        }
    }
    m_next = std::max(i, m_next + 1);
    fields << field;
    return fields;
}

QStringList KeywordFile::firstRow() const
{
    KeywordFile reader;
    reader.m_text = m_text;
    reader.m_delimiter = m_delimiter;
    return m_kind == Kind::Csv ? reader.nextRecord() : QStringList();
}

void KeywordFile::chooseColumn(int column, bool skipFirstRow)
{
    m_column = column;
    m_skipFirstRow = skipFirstRow;
}

QStringList KeywordFile::preview(int lines) const
{
    KeywordFile copy;
    copy.m_kind = m_kind;
    copy.m_text = m_kind == Kind::Workbook ? QString() : m_text.first(std::min<qsizetype>(m_text.size(), 4096));
    copy.m_cells = m_cells.mid(0, lines);
    copy.m_delimiter = m_delimiter;
    copy.m_column = m_column;
    copy.m_skipFirstRow = m_skipFirstRow;
    QList<QString> out;
    (void)copy.read(out, lines);
    return out.mid(0, lines);
}

Result<bool> KeywordFile::read(QList<QString>& lines, qsizetype max)
{
    const qsizetype end = m_kind == Kind::Workbook ? m_cells.size() : m_text.size();
    // Text is cut exactly as pasted text is.
    if (m_kind == Kind::Text)
        return Lines::take(m_text, m_next, lines, max);
    if (m_pending.isEmpty() && m_next >= end)
        return false;
    const qsizetype full = lines.size() + max;
    while (lines.size() < full && (!m_pending.isEmpty() || m_next < end)) {
        if (m_pending.isEmpty()) {
            const bool first = m_next == 0;
            const QString value = m_kind == Kind::Workbook ? m_cells.at(m_next++) : nextRecord().value(m_column);
            if (first && m_skipFirstRow)
                continue;
            // A field or cell that holds line breaks gives a keyword a line, as pasted text would.
            for (QStringView line : Lines::split(value))
                m_pending << line.toString();
        }
        lines.append(m_pending.takeFirst());
    }
    return true;
}

std::pair<qint64, qint64> KeywordFile::progress() const
{
    return {m_next, m_kind == Kind::Workbook ? m_cells.size() : m_text.size()};
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
