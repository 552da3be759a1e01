#pragma once

#include <QString>

// A class code is a chain of three-digit segments, one per level: 001 is a top-level class, 001002 its
// second child. The empty code is the root row, which stands for the top level.
namespace ClassCode {

inline constexpr int SegmentLength = 3;
// Three digits number at most 999 children under one parent over its whole life.
inline constexpr qint64 MaxChildNumber = 999;

// The segment for child number n: the last three characters of "000" followed by the digits of n.
QString segment(qint64 n);
QString childCode(const QString& parentCode, qint64 n);
// The code without its last segment; codes shorter than four characters belong to the root.
QString parentCode(const QString& code);
bool isChildOf(const QString& code, const QString& parentCode);
// A code lies in the subtree of root when it begins with root (root itself included).
bool isInSubtree(const QString& code, const QString& root);

// The smallest text above every text that begins with code, in the store's order (UTF-8 bytes, which is
// code point order): a prefix test as an index range, code <= x < subtreeEnd(code). Empty for the empty code.
QString subtreeEnd(const QString& code);

// A class path as shown: the stored one begins with the separator, since the root's own path is empty.
QString shownPath(const QString& storedPath);

// The class list keys an item by "S" followed by its code.
QString itemKey(const QString& code);

} // namespace ClassCode

// Turns a class-list key back into its code by removing every capital "S".
QString KeyToCode(const QString& key);
