#pragma once

#include "store/Result.h"

#include <QString>

// Where a team's store lives: a PostgreSQL database, named as libpq names one, by a URI
// (postgresql://[user@][host][:port]/dbname[?sslmode=...]) or by keyword=value pairs (service=..., host=...).
namespace PgLocation {

// Whether a --db location names a server rather than a file.
bool isServer(const QString& location);
// The connection string to open it with: every setting as given, and the program's own where none is given.
// A password is refused: it would stand in the process list and in the shell's history.
Result<QString> conninfo(const QString& location);
// The server and database, as the operator's messages name them.
QString describe(const QString& location);
// Why the connection may be read or redirected on its way: a server on another host, over TCP, reached without
// a certificate checked (sslmode verify-full or verify-ca). Empty when there is no such reason. Settings the
// location leaves out are taken from libpq's environment variables (PGHOST, PGSSLMODE, ...).
QString tlsWarning(const QString& location);

} // namespace PgLocation
