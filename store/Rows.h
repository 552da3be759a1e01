#pragma once

#include <QString>

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
