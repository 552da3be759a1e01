#pragma once

#include "store/Result.h"

class Connection;

// The tables, indexes and triggers of a store file, and what opening one checks and brings up to date.
namespace SqliteSchema {

// Both tables, their indexes, the per-class counts with the triggers that keep them, and the root row.
Status create(Connection& c, int currentVersion);
// Refuses a file that is not a store this program can use; brings a store of an older version up to date.
Status checkAndUpgrade(Connection& c, int currentVersion);
// Every keyword gone in one transaction, cleared at once however many there are.
Status deleteAllKeywords(Connection& c);

} // namespace SqliteSchema
