#include "Workbook.h"

#include "store/RawColumns.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zip.h>

using namespace Qt::StringLiterals;

// An xlsx workbook is a zip archive of XML parts: libzip reads the archive, Qt's stream reader the parts.
namespace {

const QString RelationshipsNamespace = u"http://schemas.openxmlformats.org/officeDocument/2006/relationships"_s;
// Rows kept to show and to tell the table's layout by; columns offered to choose from. XFD, the last column.
constexpr qsizetype FirstRows = 200;
constexpr int MaxOffered = 256;
constexpr int MaxColumn = 16384;

class PartDevice : public QIODevice
{
public:
    PartDevice(zip_file_t* file, qint64 size)
        : m_file(file)
        , m_size(size)
    {
        open(QIODevice::ReadOnly);
    }
    ~PartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_size - m_unpacked + QIODevice::bytesAvailable(); }
    qint64 size() const override { return m_size; }
    qint64 unpacked() const { return m_unpacked; }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(max));
        m_unpacked += std::max<zip_int64_t>(n, 0);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file_t* m_file;
    qint64 m_size;
    qint64 m_unpacked = 0;
};

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
        const auto device = stream(name);
        QByteArray bytes = device ? device->readAll() : QByteArray();
        if (!device || bytes.size() != device->size())
            return std::nullopt;
        return bytes;
    }

    // A part read as it is unpacked, so that a sheet of a million rows never sits in memory whole.
    std::unique_ptr<PartDevice> stream(const QString& name);

private:
    zip_t* m_zip = nullptr;
};

std::unique_ptr<PartDevice> Archive::stream(const QString& name)
{
    zip_stat_t stat;
    if (zip_stat(m_zip, name.toUtf8().constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        return nullptr;
    zip_file_t* file = zip_fopen(m_zip, name.toUtf8().constData(), 0);
    if (!file)
        return nullptr;
    return std::make_unique<PartDevice>(file, qint64(stat.size));
}

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

// The column of a cell reference such as "AB12", from 0; -1 when it names none.
int columnOf(QStringView reference)
{
    int column = 0;
    qsizetype i = 0;
    for (; i < reference.size() && reference.at(i) >= u'A' && reference.at(i) <= u'Z' && column <= MaxColumn; ++i)
        column = column * 26 + (reference.at(i).unicode() - u'A' + 1);
    return i > 0 && column <= MaxColumn ? column - 1 : -1;
}

} // namespace

Result<std::unique_ptr<Workbook>> Workbook::open(const QString& path, const ReadControl& control)
{
    using R = Result<std::unique_ptr<Workbook>>;
    Archive zip(path);
    if (!zip)
        return R::failure(u"不是 Excel 工作簿（xlsx）。"_s);
    const auto sheetPath = firstSheet(zip);
    if (!sheetPath)
        return sheetPath.as<std::unique_ptr<Workbook>>();
    std::unique_ptr<Workbook> book(new Workbook);
    book->m_path = path;
    book->m_sheetPath = *sheetPath;
    if (const auto strings = zip.stream(u"xl/sharedStrings.xml"_s)) {
        QXmlStreamReader xml(strings.get());
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si"_s)
                book->m_shared << stringItem(xml);
            if (book->m_shared.size() % 4096 == 0 && control.cancelled())
                return R::failure(u"已取消。"_s);
        }
        if (xml.hasError())
            return R::failure(u"共享字符串已损坏：%1"_s.arg(xml.errorString()));
    }
    QList<QStringList>& first = book->m_firstRows;
    const auto rows = book->walk(-1, control, [&](qsizetype row, int column, QString value) {
        if (row >= FirstRows || column >= MaxOffered)
            return;
        if (first.size() <= row)
            first.resize(row + 1);
        if (first[row].size() <= column)
            first[row].resize(column + 1);
        first[row][column] = std::move(value);
    });
    if (!rows)
        return rows.as<std::unique_ptr<Workbook>>();
    book->m_rows = *rows;
    return R(std::move(book));
}

Result<QStringList> Workbook::column(int column) const
{
    auto cells = columns({column});
    if (!cells)
        return cells.as<QStringList>();
    return std::move(cells).value().takeFirst();
}

Result<QList<QStringList>> Workbook::columns(const QList<int>& wanted, const QList<int>& joined) const
{
    QList<QStringList> cells(wanted.size() + (joined.isEmpty() ? 0 : 1), QStringList(m_rows));
    // The joined cells each row has so far, counting blank ones, which a sheet leaves out.
    QList<int> joinedSoFar(joined.isEmpty() ? 0 : m_rows, 0);
    const int only = wanted.size() == 1 && joined.isEmpty() ? wanted.first() : -1;
    const auto rows = walk(only, {}, [&](qsizetype row, int column, QString value) {
        if (row >= m_rows)
            return;
        if (const qsizetype at = joined.indexOf(column); at >= 0)
            RawColumns::append(cells.last()[row], joinedSoFar[row], int(at), value);
        if (const qsizetype at = wanted.indexOf(column); at >= 0)
            cells[at][row] = std::move(value);
    });
    if (rows && *rows != m_rows)
        // The file changed since it was opened.
        return Result<QList<QStringList>>::failure(u"工作簿 %1 在读取期间被改动。"_s.arg(m_path));
    if (!rows)
        return rows.as<QList<QStringList>>();
    return cells;
}

Result<qsizetype> Workbook::walk(int only, const ReadControl& control,
                                 const std::function<void(qsizetype row, int column, QString value)>& cell) const
{
    Archive zip(m_path);
    const auto sheet = zip ? zip.stream(m_sheetPath) : nullptr;
    if (!sheet)
        return Result<qsizetype>::failure(u"工作簿中缺少工作表 %1。"_s.arg(m_sheetPath));
    QXmlStreamReader xml(sheet.get());
    qsizetype row = 0;
    bool rowSeen = false;
    int nextInRow = 0;
    qint64 cells = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"row"_s) {
            row += rowSeen ? 1 : 0;
            rowSeen = true;
            nextInRow = 0;
            continue;
        }
        if (xml.name() != u"c"_s)
            continue;
        if (++cells % 4096 == 0) {
            if (control.cancelled())
                return Result<qsizetype>::failure(u"已取消。"_s);
            if (control.progress)
                control.progress(sheet->unpacked(), sheet->size());
        }
        const int named = columnOf(xml.attributes().value(u"r"_s));
        const int column = named >= 0 ? named : nextInRow;
        nextInRow = column + 1;
        if (only >= 0 && column != only) {
            xml.skipCurrentElement();
            continue;
        }
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
            if (!number || index < 0 || index >= m_shared.size())
                return Result<qsizetype>::failure(u"工作表引用了不存在的字符串 %1。"_s.arg(value));
            value = m_shared.at(index);
        } else if (type == u"b"_s) {
            value = value == u"1"_s ? u"TRUE"_s : u"FALSE"_s;
        } else if (type == u"str"_s) {
            value = unescaped(value);
        }
        cell(row, column, std::move(value));
    }
    if (xml.hasError())
        return Result<qsizetype>::failure(u"工作表已损坏：%1"_s.arg(xml.errorString()));
    return rowSeen ? row + 1 : 0;
}
