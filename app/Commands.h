#pragma once

#include <QString>
#include <QStringList>

// The commands of the command line that need no window. Each gives the process's exit status: 0 done, 1 the
// store failed, 2 bad input (nothing was written then); what went wrong goes to standard error in one line.
namespace Commands {

constexpr int Done = 0;
constexpr int StoreFailed = 1;
constexpr int BadInput = 2;

struct ImportOptions
{
    bool keepDuplicates = false;
    // The column to read (from 1; 0 when not given: the first, or the keywords of the program's own export), and
    // whether the first row names the columns (of a text file: its first line).
    int column = 0;
    bool skipHeader = false;
    // Empty: each file tells its own.
    QString encoding;
    // The saved rules file the new keywords right after they are added (as they do anyway when the store says so).
    bool applyRules = false;
};

int init(const QString& store, bool sample);
int copy(const QString& from, const QString& to);
int import(const QString& store, const QStringList& files, const ImportOptions& options);
int exportList(const QString& store, const QString& classCode, const QString& file);
int stats(const QString& store, bool json);
int check(const QString& store);
// Gives a PostgreSQL role what an operator of a server store needs.
int grant(const QString& store, const QString& role);
// Output that could not be written (a full disk) fails the command that wrote it, with a line on standard error.
int flushed(int status);

} // namespace Commands
