#include "StoredText.h"

using namespace Qt::StringLiterals;

QString storedText(const QString& value)
{
    if (value.isNull())
        return u""_s;
    QString result = value;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate() || c.unicode() >= 0xFFFE)
            result[i] = QChar::ReplacementCharacter;
    }
    return result;
}

QString serverText(const QString& value)
{
    QString result = storedText(value);
    result.replace(QChar(u'\0'), QChar::ReplacementCharacter);
    if (result.startsWith(QChar::ByteOrderMark))
        result[0] = QChar::ReplacementCharacter;
    return result;
}
