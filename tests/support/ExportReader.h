#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

// Reads exported files back the way a spreadsheet would, so tests compare what a user would see.
namespace ExportReader {

using Rows = QList<QStringList>;

// A UTF-8 CSV file with its byte-order mark: fields split at commas, quoted fields with doubled quotes.
inline Rows csv(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{QStringLiteral("cannot open")}};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return {{QStringLiteral("no byte-order mark")}};
    const QString text = QString::fromUtf8(bytes.mid(3));
    Rows rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
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
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << std::exchange(field, {});
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row << std::exchange(field, {});
            rows << std::exchange(row, {});
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

// The first sheet of a workbook, each cell's text with the workbook's _xHHHH_ escapes decoded.
inline Rows xlsx(const QString& path)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        return {{QStringLiteral("unzip failed")}};
    static const QRegularExpression escaped(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    const auto decode = [](const QString& text) -> QString {
        QString out;
        qsizetype last = 0;
        for (auto it = escaped.globalMatch(text); it.hasNext();) {
            const auto m = it.next();
            out += text.mid(last, m.capturedStart() - last);
            out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
            last = m.capturedEnd();
        }
        return out + text.mid(last);
    };
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    Rows rows;
    QStringList cells;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QStringLiteral("t"))
            cells << decode(xml.readElementText());
        else if (xml.isStartElement() && xml.name() == QStringLiteral("v"))
            cells << xml.readElementText();
        else if (xml.isEndElement() && xml.name() == QStringLiteral("row"))
            rows << std::exchange(cells, {});
    }
    if (xml.hasError())
        return {{xml.errorString()}};
    return rows;
}

} // namespace ExportReader
