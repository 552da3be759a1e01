#pragma once

#include <QList>
#include <QString>

// How a text becomes keywords: one per line, blank lines skipped.
namespace Lines {

// The lines of a text as the operator sees them: cut at every line end (CR LF, LF, CR, and the paragraph and
// line separators a text box may hold). No line ever contains a line break.
QList<QStringView> split(QStringView text);
// Where the line that begins at from ends, and where the next one begins (past its line end).
std::pair<qsizetype, qsizetype> lineAt(QStringView text, qsizetype from);
// Appends up to max lines of text from next on, moving next past them; false when the text was used up already.
bool take(const QString& text, qsizetype& next, QList<QString>& lines, qsizetype max);
// A line of nothing but white space (full-width spaces and tabs included) is blank and skipped.
bool isBlank(QStringView line);

} // namespace Lines
