#include "ClassCode.h"

using namespace Qt::StringLiterals;

namespace ClassCode {

QString segment(qint64 n)
{
    return QString(u"000"_s + QString::number(n)).right(SegmentLength);
}

QString childCode(const QString& parentCode, qint64 n)
{
    return parentCode + segment(n);
}

QString parentCode(const QString& code)
{
    if (code.size() < SegmentLength + 1)
        return {};
    return code.left(code.size() - SegmentLength);
}

bool isChildOf(const QString& code, const QString& parentCode)
{
    return code.size() == parentCode.size() + SegmentLength && isInSubtree(code, parentCode);
}

bool isInSubtree(const QString& code, const QString& root)
{
    // Every code lies under the root; QString would say a null text does not begin with an empty one.
    return root.isEmpty() || code.startsWith(root);
}

QString subtreeEnd(const QString& code)
{
    QString end = code;
    while (!end.isEmpty()) {
        const qsizetype size = end.size();
        const bool pair = size >= 2 && end.at(size - 1).isLowSurrogate() && end.at(size - 2).isHighSurrogate();
        const char32_t last
            = pair ? QChar::surrogateToUcs4(end.at(size - 2), end.at(size - 1)) : end.at(size - 1).unicode();
        end.chop(pair ? 2 : 1);
        if (last < 0x10FFFF) {
            // Surrogate code points have no UTF-8 form; the next character after them is U+E000. The character
            // is appended as such: a conversion from UCS-4 would drop a U+FEFF as a byte-order mark.
            const auto next = QChar::fromUcs4(last + 1 == 0xD800 ? 0xE000 : last + 1);
            end.append(QStringView(next));
            return end;
        }
    }
    return {};
}

QString shownPath(const QString& storedPath)
{
    return storedPath.startsWith(u" > "_s) ? storedPath.mid(3) : storedPath;
}

QString itemKey(const QString& code)
{
    return u"S"_s + code;
}

} // namespace ClassCode

QString KeyToCode(const QString& key)
{
    QString code = key;
    code.remove(u'S');
    return code;
}
