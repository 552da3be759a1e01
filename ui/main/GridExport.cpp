#include "GridExport.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace GridExport {

namespace {

// Text fields are quoted when they hold a separator, a quote or a line break; quotes inside are doubled.
QString csvField(const QString& value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    return u'"' + QString(value).replace(u"\""_s, u"\"\""_s) + u'"';
}

Status writeCsv(const QAbstractItemModel& model, int rows, const QStringList& header, const QString& fileName)
{
    // Written beside the target and renamed over it at the end: a failure never leaves half a file.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(file.errorString());
    const auto writeLine = [&file](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << csvField(f);
        file.write(quoted.join(u',').toUtf8());
        file.write("\r\n");
    };
    // The byte-order mark tells a spreadsheet that the Chinese text is UTF-8.
    file.write("\xEF\xBB\xBF");
    writeLine(header);
    const int columns = int(header.size());
    for (int row = 0; row < rows; ++row) {
        QStringList fields;
        for (int column = 0; column < columns; ++column)
            fields << model.index(row, column).data().toString();
        writeLine(fields);
    }
    if (!file.commit())
        return Status::failure(file.errorString());
    return {};
}

// A cell holds at most this many characters in a workbook.
constexpr qsizetype MaxCellLength = 32767;

// A workbook reads "_xHHHH_" in a cell as an escaped character: a literal one keeps its underscore by
// escaping it in turn. A NUL would end the text handed to the writer, so it goes escaped as well; the writer
// escapes the other control characters itself.
QByteArray cellText(const QString& value)
{
    static const QRegularExpression escapeLike(u"_(x[0-9A-Fa-f]{4}_)"_s);
    QString escaped = value;
    escaped.replace(escapeLike, u"_x005F_\\1"_s);
    escaped.replace(QChar(u'\0'), u"_x0000_"_s);
    return escaped.toUtf8();
}

Status writeXlsx(const QAbstractItemModel& model, int rows, const QStringList& header, const QString& fileName)
{
    const QString partial = fileName + u".part"_s;
    const QByteArray partialName = QFile::encodeName(partial);
    lxw_workbook_options options {};
    // Rows go out as they are written, so a large class never sits in memory twice.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(partialName.constData(), &options);
    if (!workbook)
        return Status::failure(u"无法创建工作簿。"_s);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_error error = LXW_NO_ERROR;
    const int columns = int(header.size());
    for (int column = 0; column < columns && !error; ++column)
        error = worksheet_write_string(sheet, 0, lxw_col_t(column), cellText(header.at(column)).constData(), nullptr);
    QString tooLong;
    for (int row = 0; row < rows && !error && tooLong.isEmpty(); ++row) {
        for (int column = 0; column < columns && !error; ++column) {
            const QVariant value = model.index(row, column).data();
            const auto excelRow = lxw_row_t(row + 1);
            bool isNumber = false;
            const qlonglong number = column == 0 ? value.toString().toLongLong(&isNumber) : 0;
            const QString text = value.toString();
            if (isNumber) {
                error = worksheet_write_number(sheet, excelRow, lxw_col_t(column), double(number), nullptr);
            } else if (text.size() > MaxCellLength) {
                tooLong = u"第 %1 行有 %2 个字符，超过 Excel 单元格的上限 %3 个字符。请导出为 CSV 文件。"_s.arg(row + 1)
                              .arg(text.size())
                              .arg(MaxCellLength);
                break;
            } else {
                error = worksheet_write_string(sheet, excelRow, lxw_col_t(column), cellText(text).constData(), nullptr);
            }
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (!error)
        error = closed;
    if (!tooLong.isEmpty()) {
        QFile::remove(partial);
        return Status::failure(tooLong);
    }
    if (error) {
        QFile::remove(partial);
        return Status::failure(QString::fromUtf8(lxw_strerror(error)));
    }
    if (std::rename(partialName.constData(), QFile::encodeName(fileName).constData()) != 0) {
        QFile::remove(partial);
        return Status::failure(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

} // namespace

Format formatOf(const QString& fileName)
{
    return fileName.endsWith(u".csv"_s, Qt::CaseInsensitive) ? Format::Csv : Format::Xlsx;
}

Status write(const QAbstractItemModel& model, int rows, const QStringList& header, const QString& fileName,
             Format format)
{
    return format == Format::Csv ? writeCsv(model, rows, header, fileName) : writeXlsx(model, rows, header, fileName);
}

} // namespace GridExport
