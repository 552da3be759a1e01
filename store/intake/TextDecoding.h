#pragma once

#include "Workbook.h"
#include "store/Result.h"

#include <QByteArray>
#include <QString>

class QFile;

// How the bytes of a keyword file become text.
namespace TextDecoding {

struct Decoded
{
    QString text;
    QString encoding;
    // Whether the file said so (a byte-order mark, text that can only be UTF-8, or an encoding stated for it).
    bool sure = true;
};

// A byte-order mark wins; without one, the stated encoding, or else a guess. A file that is not whole text of its
// encoding (a character cut off at its end included) is refused, and so is UTF-16 or UTF-32 stated without a
// byte order for a file without a mark.
Result<Decoded> decode(const QByteArray& bytes, const QString& stated);
// Reads an open file whole, a piece at a time (reporting how far, and stopped when cancelled), and decodes it.
Result<Decoded> read(QFile& in, const QString& stated, const ReadControl& control);

} // namespace TextDecoding
