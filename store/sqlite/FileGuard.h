#pragma once

#include "store/Result.h"

#include <QString>

struct sqlite3;

// Notices a store file deleted, moved or replaced under the open connection, whose writes would go to a file
// nobody can open again.
namespace FileGuard {

enum class State
{
    Intact,
    // Another file is at the path now: not ours to write.
    Replaced,
    // Nothing is at the path: the open connection still reads every row.
    Gone
};

State check(sqlite3* db, const QString& path);
// Writes every row of the open database to path, where the file was.
Status restore(sqlite3* db, const QString& path);

} // namespace FileGuard
