#pragma once

#include <QString>

#include <optional>

// One row of KeyClass.
struct ClassRow
{
    qint64 id = 0;
    QString code;
    QString title;
    QString qKey;
    qint64 maxnext = 0;
    QString path;
};

// One row of Korvels, every column.
struct KeywordRow
{
    qint64 id = 0;
    QString keywords;
    QString classcode;
    QString classname;
    qint64 isSet = 0;
    qint64 statue = 0;
    qint64 statue1 = 0;
};

// How many keywords are filed under one class code (not counting the classes below it).
struct ClassCount
{
    QString code;
    qint64 count = 0;
};

// A keyword found by its text, with the path of the class it is filed in (empty when unsorted).
struct FoundKeyword
{
    KeywordRow row;
    QString classPath;
};

// How many keywords the store holds, and how many of them wait to be filed.
struct KeywordTotals
{
    qint64 total = 0;
    qint64 unsorted = 0;
};

// The numbers a keyword tool gives a keyword, as far as its file had them; each is absent when it did not.
struct KeywordMetrics
{
    // Monthly searches. A tool that gives a range gives its low end here and its high end in volumeHigh.
    std::optional<qint64> volume;
    std::optional<qint64> volumeHigh;
    // How hard the keyword is contested, from 0 to 100.
    std::optional<double> competition;
    // What a click at the top of the page costs, in the file's currency.
    std::optional<double> bidLow;
    std::optional<double> bidHigh;

    // The file's other columns as it wrote them, kept to be handed on: their names and this keyword's cells, each
    // joined as RawColumns joins them. Empty for a keyword whose file had none.
    QString rawNames;
    QString raw;

    bool hasNumbers() const { return volume || volumeHigh || competition || bidLow || bidHigh; }
    bool isEmpty() const { return !hasNumbers() && raw.isEmpty(); }
    friend bool operator==(const KeywordMetrics&, const KeywordMetrics&) = default;
};

// The summed monthly searches of the keywords filed under one class code (not counting the classes below it).
struct ClassVolume
{
    QString code;
    qint64 volume = 0;
};

// The summed monthly searches of every keyword, and of those filed.
struct VolumeTotals
{
    qint64 total = 0;
    qint64 filed = 0;
};
