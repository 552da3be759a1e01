#include "FileGuard.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace FileGuard {

State check(sqlite3* db, const QString& path)
{
    int moved = 0;
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved)
        return State::Intact;
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink() ? State::Replaced : State::Gone;
}

Status restore(sqlite3* db, const QString& path)
{
    sqlite3_stmt* copy = nullptr;
    int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &copy, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray target = QFile::encodeName(path);
        sqlite3_bind_text(copy, 1, target.constData(), int(target.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(copy) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    }
    const QString error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(copy);
    return rc == SQLITE_OK ? Status() : Status::failure(error);
}

} // namespace FileGuard
