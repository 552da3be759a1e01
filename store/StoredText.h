#pragma once

#include <QString>

// Text as it goes into the store, so that what is read back is exactly what was stored. A null text becomes
// the empty text (no column holds a Null). A UTF-16 surrogate without its partner (text from a broken
// clipboard) has no UTF-8 form and becomes U+FFFD, the replacement character, instead of damaging the
// character after it; so do U+FFFE and U+FFFF, which SQLite hands back as U+FFFD.
QString storedText(const QString& value);
// The same for a PostgreSQL server, whose text cannot hold NUL either, and whose driver drops U+FEFF at the
// start of a text as a byte-order mark: both become U+FFFD as well.
QString serverText(const QString& value);
