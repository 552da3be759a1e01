#include "GridExport.h"

#include <QAbstractItemModel>
#include <QFile>
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
        error = worksheet_write_string(sheet, 0, lxw_col_t(column), header.at(column).toUtf8().constData(), nullptr);
    for (int row = 0; row < rows && !error; ++row) {
        for (int column = 0; column < columns && !error; ++column) {
            const QVariant value = model.index(row, column).data();
            const auto excelRow = lxw_row_t(row + 1);
            bool isNumber = false;
            const qlonglong number = column == 0 ? value.toString().toLongLong(&isNumber) : 0;
            if (isNumber)
                error = worksheet_write_number(sheet, excelRow, lxw_col_t(column), double(number), nullptr);
            else
                error = worksheet_write_string(sheet, excelRow, lxw_col_t(column),
                                               value.toString().toUtf8().constData(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (!error)
        error = closed;
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
