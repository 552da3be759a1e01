#pragma once

#include <QString>

#include <vector>

// What a keyword is made of, for the suggestions: its characters, pairs of neighbouring characters, its first and
// last character and pair, its length, and the radical of each Chinese character. Each feature is a 32-bit hash,
// never 0, a feature kept as often as it occurs.
namespace Features {

void of(const QString& keyword, std::vector<quint32>& out);

} // namespace Features
