#pragma once

#include <QString>

#include <cstdio>
#include <memory>

class Store;

// What the commands of the command line share: one line to a stream, a failure with its exit status, progress on
// a terminal, and the store opened with bad input told apart from a store that failed.
namespace Commands {

void say(FILE* to, const QString& text);
// Writes "korvel: text" to standard error and gives status.
int fail(int status, const QString& text);
// How far a long command has come, on standard error when it is a terminal; nothing in a pipe or a log.
void progress(const char* what, qint64 done, qint64 total);
void progressDone();
// The store at location; nothing, with status set and the reason said, when it cannot be opened.
std::unique_ptr<Store> openedStore(const QString& location, int& status);

} // namespace Commands
