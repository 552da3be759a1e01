#include "Writers.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace Export {

namespace {

// A cell holds at most this many characters in a workbook.
constexpr qsizetype MaxCellLength = 32767;
class CsvWriter : public Writer
{
public:
    explicit CsvWriter(const QString& fileName)
        : m_file(fileName)
    { }
    Status open()
    {
        if (!m_file.open(QIODevice::WriteOnly))
            return Status::failure(m_file.errorString());
        // The byte-order mark tells a spreadsheet that the Chinese text is UTF-8.
        m_file.write("\xEF\xBB\xBF");
        return {};
    }
    Status row(const QVariantList& cells) override
    {
        QStringList fields;
        for (const QVariant& cell : cells)
            fields << field(cell.toString());
        m_file.write(fields.join(u',').toUtf8());
        m_file.write("\r\n");
        return {};
    }
    Status finish() override
    {
        if (!m_file.commit())
            return Status::failure(m_file.errorString());
        return {};
    }

private:
    // Quoted when it holds a separator, a quote or a line break; quotes inside are doubled.
    static QString field(const QString& value)
    {
        if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
            return value;
        return u'"' + QString(value).replace(u"\""_s, u"\"\""_s) + u'"';
    }

    QSaveFile m_file;
};

class XlsxWriter : public Writer
{
public:
    explicit XlsxWriter(const QString& fileName)
        : m_fileName(fileName)
        , m_partial(fileName + u".part"_s)
    { }
    ~XlsxWriter() override
    {
        if (m_workbook) {
            workbook_close(m_workbook);
            QFile::remove(m_partial);
        }
    }
    Status open()
    {
        lxw_workbook_options options {};
        // Rows go out as they are written, so a large class never sits in memory.
        options.constant_memory = LXW_TRUE;
        m_workbook = workbook_new_opt(QFile::encodeName(m_partial).constData(), &options);
        if (!m_workbook)
            return Status::failure(u"无法创建工作簿。"_s);
        m_sheet = workbook_add_worksheet(m_workbook, nullptr);
        return {};
    }
    Status row(const QVariantList& cells) override
    {
        for (qsizetype column = 0; column < cells.size(); ++column) {
            const QVariant& cell = cells.at(column);
            lxw_error error = LXW_NO_ERROR;
            if (!cell.isValid()) {
                // A number the keyword does not have: a blank cell.
            } else if (cell.typeId() == QMetaType::LongLong || cell.typeId() == QMetaType::Double) {
                error = worksheet_write_number(m_sheet, m_row, lxw_col_t(column), cell.toDouble(), nullptr);
            } else {
                const QString text = cell.toString();
                if (text.size() > MaxCellLength)
                    return Status::failure(
                        u"第 %1 行有 %2 个字符，超过 Excel 单元格的上限 %3 个字符。请导出为 CSV 文件。"_s.arg(m_row)
                            .arg(text.size())
                            .arg(MaxCellLength));
                error = worksheet_write_string(m_sheet, m_row, lxw_col_t(column), cellText(text).constData(), nullptr);
            }
            if (error)
                return Status::failure(QString::fromUtf8(lxw_strerror(error)));
        }
        ++m_row;
        return {};
    }
    Status finish() override
    {
        const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
        if (error == LXW_NO_ERROR
            && std::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_fileName).constData()) == 0)
            return {};
        const QString reason
            = error ? QString::fromUtf8(lxw_strerror(error)) : QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(m_partial);
        return Status::failure(reason);
    }

private:
    // Control characters XML cannot hold go as "_xHHHH_", which a workbook reads as an escaped character, left to
    // right. So an underscore that would begin such an escape in what is written (before "xHHHH_", or before
    // "xHHHH" and an escaped control character) is escaped itself, as "_x005F_". The writer is handed no control
    // character to escape on its own: a NUL would end the text it is given.
    static bool escapedControl(QChar c) { return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r'; }
    static bool beginsEscape(QStringView text, qsizetype i)
    {
        if (i + 6 >= text.size() || text.at(i) != u'_' || text.at(i + 1) != u'x')
            return false;
        for (qsizetype j = i + 2; j < i + 6; ++j) {
            const char16_t h = text.at(j).unicode();
            if (!((h >= u'0' && h <= u'9') || (h >= u'a' && h <= u'f') || (h >= u'A' && h <= u'F')))
                return false;
        }
        return text.at(i + 6) == u'_' || escapedControl(text.at(i + 6));
    }
    static QByteArray cellText(const QString& value)
    {
        QString escaped;
        escaped.reserve(value.size());
        for (qsizetype i = 0; i < value.size(); ++i) {
            const QChar c = value.at(i);
            if (escapedControl(c))
                escaped += QString::asprintf("_x%04X_", c.unicode());
            else if (beginsEscape(value, i))
                escaped += u"_x005F_"_s;
            else
                escaped += c;
        }
        return escaped.toUtf8();
    }

    QString m_fileName;
    QString m_partial;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_row_t m_row = 0;
};

} // namespace

Result<std::unique_ptr<Writer>> openWriter(const QString& fileName, Format format)
{
    using R = Result<std::unique_ptr<Writer>>;
    if (format == Format::Csv) {
        auto csv = std::make_unique<CsvWriter>(fileName);
        if (const Status opened = csv->open(); !opened)
            return opened.as<std::unique_ptr<Writer>>();
        return R(std::move(csv));
    }
    auto xlsx = std::make_unique<XlsxWriter>(fileName);
    if (const Status opened = xlsx->open(); !opened)
        return opened.as<std::unique_ptr<Writer>>();
    return R(std::move(xlsx));
}

} // namespace Export
