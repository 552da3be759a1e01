// libFuzzer target: the class-code rules hold for any text and any number.

#include "store/ClassCode.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const qint64 n = 1 + (data[0] | (data[1] << 8)) % ClassCode::MaxChildNumber;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const qsizetype cut = bytes.indexOf('\n');
    const QString code = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
    const QString other = QString::fromUtf8(cut < 0 ? QByteArray() : bytes.mid(cut + 1));

    const QString segment = ClassCode::segment(n);
    if (segment.size() != 3 || segment.toInt() != n)
        std::abort();
    const QString child = ClassCode::childCode(code, n);
    if (ClassCode::parentCode(child) != code && code.size() >= 1)
        std::abort();
    if (!ClassCode::isChildOf(child, code) || !ClassCode::isInSubtree(child, code))
        std::abort();
    if (!code.contains(u'S') && KeyToCode(ClassCode::itemKey(code)) != code)
        std::abort();
    if (KeyToCode(code).contains(u'S'))
        std::abort();

    // The range form of the subtree test agrees with the prefix test, byte for byte as the store compares.
    const QByteArray lo = code.toUtf8();
    const QByteArray hi = ClassCode::subtreeEnd(code).toUtf8();
    const QByteArray x = other.toUtf8();
    const bool inRange = lo <= x && (code.isEmpty() || hi.isEmpty() || x < hi);
    const bool prefixed = x.startsWith(lo);
    if (inRange != prefixed || ClassCode::isInSubtree(other, code) != prefixed)
        std::abort();
    return 0;
}
