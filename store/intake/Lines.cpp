#include "Lines.h"

#include <algorithm>

namespace Lines {

std::pair<qsizetype, qsizetype> lineAt(QStringView text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r' && c != QChar::ParagraphSeparator && c != QChar::LineSeparator)
            continue;
        const bool crlf = c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        return {i, i + (crlf ? 2 : 1)};
    }
    return {text.size(), text.size() + 1};
}

QList<QStringView> split(QStringView text)
{
    QList<QStringView> lines;
    for (qsizetype start = 0; start <= text.size();) {
        const auto [end, next] = lineAt(text, start);
        lines.append(text.sliced(start, end - start));
        start = next;
    }
    return lines;
}

bool isBlank(QStringView line)
{
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c.isSpace(); });
}

bool take(const QString& text, qsizetype& next, QList<QString>& lines, qsizetype max)
{
    if (next > text.size())
        return false;
    for (qsizetype n = 0; n < max && next <= text.size(); ++n) {
        const auto [end, following] = lineAt(text, next);
        lines.append(text.sliced(next, end - next));
        next = following;
    }
    return true;
}

} // namespace Lines
