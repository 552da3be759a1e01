#include "TextDecoding.h"

#include <QFile>
#include <QStringDecoder>
#include <QSysInfo>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace TextDecoding {

namespace {

// The bytes of one code unit: a file of UTF-16 with an odd number of bytes was cut off in a character.
qsizetype unitBytes(const QString& encoding)
{
    switch (QStringConverter::encodingForName(qPrintable(encoding)).value_or(QStringConverter::Utf8)) {
    case QStringConverter::Utf16:
    case QStringConverter::Utf16LE:
    case QStringConverter::Utf16BE:
        return 2;
    case QStringConverter::Utf32:
    case QStringConverter::Utf32LE:
    case QStringConverter::Utf32BE:
        return 4;
    default:
        return 1;
    }
}

// A large buffer filled once is faulted in a page at a time, which on some machines costs more than reading the
// file; in huge pages it takes a few hundred faults instead of tens of thousands.
void adviseHugePages(void* data, qint64 size)
{
#ifdef MADV_HUGEPAGE
    constexpr quintptr Huge = 2 << 20;
    const quintptr from = (quintptr(data) + Huge - 1) & ~(Huge - 1);
    const quintptr to = (quintptr(data) + quintptr(size)) & ~(Huge - 1);
    if (to > from)
        (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

Result<QString> decodeAs(QByteArrayView bytes, const QString& encoding)
{
    QStringDecoder decoder(qPrintable(encoding), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return Result<QString>::failure(u"不认识的编码“%1”。"_s.arg(encoding));
    QString text(decoder.requiredSpace(bytes.size()), Qt::Uninitialized);
    adviseHugePages(text.data(), text.size() * 2);
    text.truncate(decoder.appendToBuffer(text.data(), bytes) - text.constData());
    if (decoder.hasError() || bytes.size() % unitBytes(encoding) != 0)
        return Result<QString>::failure(u"文件不是有效的 %1 文本。"_s.arg(encoding));
    return text;
}

// The first surrogate code unit from `from` on, or `to`; a block at a time, which the compiler vectorises.
qsizetype firstSurrogate(const char16_t* units, qsizetype from, qsizetype to)
{
    constexpr qsizetype Block = 32;
    for (; from + Block <= to; from += Block) {
        bool any = false;
        for (qsizetype k = 0; k < Block; ++k)
            any |= (units[from + k] & 0xF800) == 0xD800;
        if (any)
            break;
    }
    while (from < to && (units[from] & 0xF800) != 0xD800)
        ++from;
    return from;
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

// A large file is read a piece at a time, so that it can report how far it has come and be stopped.
constexpr qint64 ReadPiece = 4 << 20;

// Reads up to size bytes into place, handing each piece read to check while it is still in the cache; how many
// it read, or a failure when cancelled or when check refuses a piece.
Result<qint64> readInto(QFile& in, char* into, qint64 size, const ReadControl& control,
                        const std::function<Status(qint64 done)>& check = {})
{
    qint64 done = 0;
    for (qint64 n = 0; done < size && (n = in.read(into + done, std::min(ReadPiece, size - done))) > 0;) {
        done += n;
        if (check) {
            if (const Status checked = check(done); !checked)
                return checked.as<qint64>();
        }
        if (control.progress)
            control.progress(done, size);
        if (control.cancelled())
            return Result<qint64>::failure(u"已取消。"_s);
    }
    return done;
}

// UTF-16 in the machine's own byte order, read straight into the text, with the checks its decoder makes: no
// surrogate without its partner. Nothing when the file is not such a file, or changed while it was read.
std::optional<Result<Decoded>> readUtf16(QFile& in, const ReadControl& control)
{
    const QByteArray head = in.peek(4);
    const qint64 size = in.size();
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian || in.isSequential() || size < 2 || size % 2 != 0
        || !head.startsWith("\xFF\xFE") || head == QByteArray("\xFF\xFE\0\0", 4) || !in.seek(2))
        return std::nullopt;
    QString text((size - 2) / 2, Qt::Uninitialized);
    adviseHugePages(text.data(), size - 2);
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    qsizetype checked = 0;
    // A high surrogate at the end of a piece waits for the next one, unless the text ends there.
    const auto check = [&](qint64 done) {
        const qsizetype read = qsizetype(done / 2);
        while ((checked = firstSurrogate(units, checked, read)) < read) {
            if (QChar::isHighSurrogate(units[checked]) && checked + 1 == read && read < text.size())
                break;
            if (QChar::isLowSurrogate(units[checked]) || checked + 1 == read
                || !QChar::isLowSurrogate(units[checked + 1]))
                return Status::failure(u"文件不是有效的 UTF-16LE 文本。"_s);
            checked += 2;
        }
        return Status();
    };
    const auto done = readInto(in, reinterpret_cast<char*>(text.data()), size - 2, control, check);
    if (!done)
        return done.as<Decoded>();
    if (*done != size - 2 || !in.atEnd()) {
        (void)in.seek(0);
        return std::nullopt;
    }
    return Decoded {std::move(text), u"UTF-16LE"_s, true};
}

} // namespace

Result<Decoded> read(QFile& in, const QString& stated, const ReadControl& control)
{
    if (auto utf16 = readUtf16(in, control))
        return std::move(*utf16);
    // Read in place: a piece of its own each time would be paged in and copied once more.
    const qint64 size = in.size();
    QByteArray bytes(size, Qt::Uninitialized);
    adviseHugePages(bytes.data(), size);
    const auto done = readInto(in, bytes.data(), size, control);
    if (!done)
        return done.as<Decoded>();
    bytes.resize(*done);
    // A file that grew meanwhile, or one without a size (a pipe), is read to its end all the same.
    for (QByteArray piece; !(piece = in.read(ReadPiece)).isEmpty();) {
        bytes += piece;
        if (control.cancelled())
            return Result<Decoded>::failure(u"已取消。"_s);
    }
    if (in.error() != QFileDevice::NoError)
        return Result<Decoded>::failure(in.errorString());
    return decode(bytes, stated);
}

Result<Decoded> decode(const QByteArray& bytes, const QString& stated)
{
    // UTF-32's marks first: UTF-16LE's is the start of UTF-32LE's.
    const std::pair<QByteArray, QString> marks[] = {{QByteArray("\xFF\xFE\0\0", 4), u"UTF-32LE"_s},
                                                    {QByteArray("\0\0\xFE\xFF", 4), u"UTF-32BE"_s},
                                                    {QByteArray("\xEF\xBB\xBF"), u"UTF-8"_s},
                                                    {QByteArray("\xFF\xFE"), u"UTF-16LE"_s},
                                                    {QByteArray("\xFE\xFF"), u"UTF-16BE"_s}};
    for (const auto& [mark, encoding] : marks) {
        if (bytes.startsWith(mark)) {
            auto text = decodeAs(QByteArrayView(bytes).sliced(mark.size()), encoding);
            if (!text)
                return text.as<Decoded>();
            return Decoded {std::move(text).value(), encoding, true};
        }
    }
    if (!stated.isEmpty()) {
        // Without a mark, UTF-16 (or UTF-32) says nothing of its byte order; the operator does.
        const auto named = QStringConverter::encodingForName(qPrintable(stated));
        if (named == QStringConverter::Utf16 || named == QStringConverter::Utf32) {
            const QString width = named == QStringConverter::Utf16 ? u"UTF-16"_s : u"UTF-32"_s;
            return Result<Decoded>::failure(
                u"文件没有字节顺序标记，看不出 %1 的字节顺序：请指明 %1LE 或 %1BE。"_s.arg(width));
        }
        auto text = decodeAs(bytes, stated);
        if (!text)
            return text.as<Decoded>();
        // Other encodings have marks of their own (GB18030's), which the decoder keeps.
        QString decoded = std::move(text).value();
        if (decoded.startsWith(QChar::ByteOrderMark))
            decoded.remove(0, 1);
        return Decoded {std::move(decoded), stated, true};
    }
    // Zeros say UTF-16 before anything else: UTF-16 of ASCII text is valid UTF-8 too, full of NULs. Otherwise UTF-8,
    // and failing that the common Chinese encoding. All but UTF-8 are guesses.
    if (const std::optional<QString> utf16 = utf16Guess(bytes)) {
        auto text = decodeAs(bytes, *utf16);
        if (!text)
            return text.as<Decoded>();
        return Decoded {std::move(text).value(), *utf16, false};
    }
    if (auto utf8 = decodeAs(bytes, u"UTF-8"_s))
        return Decoded {std::move(utf8).value(), u"UTF-8"_s, true};
    QStringDecoder decoder("GB18030");
    return Decoded {decoder.decode(bytes), u"GB18030"_s, false};
}

} // namespace TextDecoding
