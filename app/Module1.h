#pragma once

#include <QString>

class Store;

// The store beside the executable, whatever the working directory; for a copy that cannot write there (an
// installed one), the store among the user's data.
QString defaultStorePath();
// Where the user's own store is: $XDG_DATA_HOME/korvel/Data.db.
QString userStorePath();
// Opens the one connection of the process; on failure the operator has been told why.
bool OpenDatabase(const QString& location);
// The connection every window uses, open from a successful OpenDatabase to the end of the process.
Store& Conn();
// Opens the store and shows the main window; gives the process's exit status.
int Main(const QString& location);
