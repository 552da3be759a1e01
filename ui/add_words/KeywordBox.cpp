#include "KeywordBox.h"

#include "store/intake/Lines.h"

#include <QMimeData>
#include <QUrl>

namespace {

// Shorter pastes go in line by line, as the text box always does.
constexpr qsizetype GatherFrom = 10000;
constexpr int LinesPerParagraph = 32;

} // namespace

QString KeywordBox::gathered(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype line = 0;
    for (qsizetype start = 0; start <= text.size(); ++line) {
        const auto [end, next] = Lines::lineAt(text, start);
        if (line > 0)
            out += line % LinesPerParagraph == 0 ? QChar(u'\n') : QChar(QChar::LineSeparator);
        out += text.sliced(start, end - start);
        start = next;
    }
    return out;
}

namespace {

QStringList localFiles(const QMimeData* source)
{
    QStringList paths;
    if (source && source->hasUrls()) {
        for (const QUrl& url : source->urls()) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
    }
    return paths;
}

} // namespace

bool KeywordBox::canInsertFromMimeData(const QMimeData* source) const
{
    return !localFiles(source).isEmpty() || QPlainTextEdit::canInsertFromMimeData(source);
}

void KeywordBox::insertFromMimeData(const QMimeData* source)
{
    if (const QStringList files = localFiles(source); !files.isEmpty()) {
        emit filesDropped(files);
        return;
    }
    if (!source || !source->hasText())
        return QPlainTextEdit::insertFromMimeData(source);
    const QString text = source->text();
    if (text.size() < GatherFrom || text.count(u'\n') < GatherFrom)
        return QPlainTextEdit::insertFromMimeData(source);
    QTextCursor cursor = textCursor();
    cursor.insertText(gathered(text));
    setTextCursor(cursor);
    ensureCursorVisible();
}
