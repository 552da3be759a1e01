#pragma once

#include "store/Result.h"

class Connection;

// The tables, functions and triggers of a team's store on a PostgreSQL server.
namespace PgSchema {

constexpr int Version = 7;

// Both tables, their indexes, the per-class counts with the triggers that keep them, the serving function and
// the root row, in a database (or schema) that holds none of them yet.
Status create(Connection& c);
// Refuses a database that is not a store this program can use, and brings an older store up to date when the
// role may change it.
Status check(Connection& c);

} // namespace PgSchema
