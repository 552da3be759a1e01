#pragma once

#include "store/Store.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Fails the test with the store's own words when a store call fails.
#define QVERIFY_OK(expression)                                                                                         \
    do {                                                                                                               \
        const auto& checked_ = (expression);                                                                           \
        if (!checked_.ok())                                                                                            \
            QFAIL(qPrintable(QStringLiteral("%1 failed: %2").arg(QStringLiteral(#expression), checked_.error())));     \
    } while (false)

// The engine the tests of this run use: a store file, or with KORVEL_TEST_ENGINE=postgres a schema of their own
// on the PostgreSQL server that KORVEL_TEST_SERVER names (scripts/test starts one).
namespace TestEngine {
bool onServer();
// Why the tests cannot run here: a server is wanted and none is named. Empty when they can.
QString missing();
// The test server as a role of it (scripts/test-server makes the owner of the tests' database korvel_owner, a
// role with no rights of its own korvel_operator, and the superuser korvel_admin); as the owner without one.
QString server(const QString& role = {});
// The role the tests' windows work as: each store is granted to it by its owner.
inline const QString Operator = QStringLiteral("korvel_operator");
} // namespace TestEngine

// Test-side access to a store: set up states the program itself never makes, and read back what it wrote.
class RawDb
{
public:
    explicit RawDb(const QString& location);
    ~RawDb();

    // False, with the reason printed, when the statement fails.
    bool exec(const QString& sql, const QVariantList& values = {});
    // The rows of a query, each row's columns joined by '|'.
    QStringList rows(const QString& sql, const QVariantList& values = {});
    QString value(const QString& sql, const QVariantList& values = {}) { return rows(sql, values).value(0); }
    // From now on the store refuses the event ("INSERT", "UPDATE OF maxnext", ...) on table with message,
    // where condition holds (about NEW); allow() lifts it.
    bool refuse(const QString& table, const QString& event, const QString& message, const QString& condition = {});
    bool allow(const QString& table);

private:
    QString m_name;
};

// Runs work on n threads at once, each with a store of its own at location; gives what went wrong, if anything.
QStringList together(const QString& location, int n, const std::function<QString(Store&, int)>& work);

// Keywords that have broken programs before: quotes, SQL, wildcards, NUL and control characters, emoji and text
// beyond the basic plane, right-to-left and zero-width text, escapes a workbook would read, a lone surrogate
// (last but one) and a keyword of 100,000 characters (last).
QStringList awkwardKeywords();

// Writes bytes to path; gives path, or nothing when it could not be written.
QString writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A program run to its end: its exit status (-1 when it did not end normally) and what it wrote.
struct ProgramRun
{
    int status = -1;
    QString out;
    QString err;
};
ProgramRun runProgram(const QString& program, const QStringList& arguments);

// A table of command lines: each row's arguments as typed (split at spaces), the exit status, the start of what
// the program says, and how many keywords are filed after it.
void commandColumns();
void commandRow(const char* name, const QString& arguments, int status, const QString& says, int filed);

// A fresh store of the engine under test: a file in its own temporary folder, or a schema of its own, made by
// the owner and granted to the operator, whom path names.
struct TempStore
{
    TempStore();
    ~TempStore();
    QTemporaryDir dir;
    QString path;
    // The same store as its owner, who may change what an operator may not (tests plant triggers with it).
    QString ownerPath;
    // On a server, the store's schema.
    QString schema;
    Status created;
};
