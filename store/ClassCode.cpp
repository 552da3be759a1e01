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
    return code.size() == parentCode.size() + SegmentLength && code.startsWith(parentCode);
}

bool isInSubtree(const QString& code, const QString& root)
{
    return code.startsWith(root);
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
