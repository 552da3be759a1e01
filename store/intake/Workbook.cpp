#include "KeywordFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zip.h>

using namespace Qt::StringLiterals;

// An xlsx workbook is a zip archive of XML parts: libzip reads the archive, Qt's stream reader the parts.
namespace {

const QString RelationshipsNamespace = u"http://schemas.openxmlformats.org/officeDocument/2006/relationships"_s;

class Archive
{
public:
    explicit Archive(const QString& path)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    }
    ~Archive()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    explicit operator bool() const { return m_zip != nullptr; }
    // A part of the archive; nothing when it has none of that name.
    std::optional<QByteArray> part(const QString& name)
    {
        zip_stat_t stat;
        if (zip_stat(m_zip, name.toUtf8().constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return std::nullopt;
        zip_file_t* file = zip_fopen(m_zip, name.toUtf8().constData(), 0);
        if (!file)
            return std::nullopt;
        QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
        const zip_int64_t read = zip_fread(file, bytes.data(), stat.size);
        zip_fclose(file);
        if (read != zip_int64_t(stat.size))
            return std::nullopt;
        return bytes;
    }

private:
    zip_t* m_zip = nullptr;
};

// A workbook writes a character it cannot hold in XML as _xHHHH_, and a literal "_x" as _x005F_x.
QString unescaped(const QString& text)
{
    static const QRegularExpression escaped(u"_x([0-9A-Fa-f]{4})_"_s);
    if (!text.contains(u"_x"_s))
        return text;
    QString out;
    qsizetype last = 0;
    for (auto it = escaped.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).sliced(last, m.capturedStart() - last);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        last = m.capturedEnd();
    }
    return out + QStringView(text).sliced(last);
}

// The text of a string item (<si> or <is>): all its runs, without the phonetic guides East Asian workbooks add.
QString stringItem(QXmlStreamReader& xml)
{
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"rPh"_s)
            ++phonetic;
        else if (xml.isEndElement() && xml.name() == u"rPh"_s)
            --phonetic;
        else if (xml.isStartElement() && xml.name() == u"t"_s && phonetic == 0)
            text += xml.readElementText();
        else if (xml.isEndElement() && xml.name() == end)
            break;
    }
    return unescaped(text);
}

// The path of the first sheet, as the workbook lists its sheets.
Result<QString> firstSheet(Archive& zip)
{
    const auto workbook = zip.part(u"xl/workbook.xml"_s);
    const auto relationships = zip.part(u"xl/_rels/workbook.xml.rels"_s);
    if (!workbook || !relationships)
        return Result<QString>::failure(u"不是 Excel 工作簿（xlsx）。"_s);
    QString id;
    QXmlStreamReader xml(*workbook);
    while (!xml.atEnd() && id.isEmpty()) {
        if (xml.readNextStartElement() && xml.name() == u"sheet"_s)
            id = xml.attributes().value(RelationshipsNamespace, u"id"_s).toString();
    }
    QXmlStreamReader rels(*relationships);
    while (!rels.atEnd() && !id.isEmpty()) {
        if (rels.readNextStartElement() && rels.name() == u"Relationship"_s && rels.attributes().value(u"Id"_s) == id) {
            const QString target = rels.attributes().value(u"Target"_s).toString();
            return target.startsWith(u'/') ? target.mid(1) : u"xl/"_s + target;
        }
    }
    return Result<QString>::failure(u"工作簿中没有工作表。"_s);
}

bool inFirstColumn(QStringView reference)
{
    return reference.size() > 1 && reference.at(0) == u'A' && reference.at(1).isDigit();
}

} // namespace

Result<QStringList> readWorkbookColumn(const QString& path)
{
    Archive zip(path);
    if (!zip)
        return Result<QStringList>::failure(u"不是 Excel 工作簿（xlsx）。"_s);
    const auto sheetPath = firstSheet(zip);
    if (!sheetPath)
        return sheetPath.as<QStringList>();
    QStringList shared;
    if (const auto strings = zip.part(u"xl/sharedStrings.xml"_s)) {
        QXmlStreamReader xml(*strings);
        while (!xml.atEnd()) {
            if (xml.readNextStartElement() && xml.name() == u"si"_s)
                shared << stringItem(xml);
        }
    }
    const auto sheet = zip.part(*sheetPath);
    if (!sheet)
        return Result<QStringList>::failure(u"工作簿中缺少工作表 %1。"_s.arg(*sheetPath));
    QStringList cells;
    QXmlStreamReader xml(*sheet);
    int cellInRow = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"row"_s) {
            cellInRow = 0;
            continue;
        }
        if (!xml.isStartElement() || xml.name() != u"c"_s)
            continue;
        const QString reference = xml.attributes().value(u"r"_s).toString();
        const bool first = reference.isEmpty() ? cellInRow == 0 : inFirstColumn(reference);
        ++cellInRow;
        if (!first)
            continue;
        const QString type = xml.attributes().value(u"t"_s).toString();
        QString value;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"is"_s)
                value = stringItem(xml);
            else if (xml.isStartElement() && xml.name() == u"v"_s)
                value = xml.readElementText();
            else if (xml.isEndElement() && xml.name() == u"c"_s)
                break;
        }
        if (type == u"s"_s) {
            bool number = false;
            const int index = value.toInt(&number);
            if (!number || index < 0 || index >= shared.size())
                return Result<QStringList>::failure(u"工作表引用了不存在的字符串 %1。"_s.arg(value));
            value = shared.at(index);
        } else if (type == u"b"_s) {
            value = value == u"1"_s ? u"TRUE"_s : u"FALSE"_s;
        } else if (type == u"str"_s) {
            value = unescaped(value);
        }
        cells << value;
    }
    if (xml.hasError())
        return Result<QStringList>::failure(u"工作表已损坏：%1"_s.arg(xml.errorString()));
    return cells;
}
