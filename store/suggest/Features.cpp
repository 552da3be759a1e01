#include "Features.h"

#include "Radicals.h"

#include <QHashFunctions>
#include <QList>

#include <algorithm>
#include <string>

namespace {

// One seed per kind of feature, so that a character and the same character at the end of a word differ.
enum Kind : size_t
{
    Character = 1,
    Pair,
    First,
    Last,
    FirstPair,
    LastPair,
    Length,
    Radical
};

quint32 hashOf(Kind kind, const char32_t* chars, size_t n)
{
    const quint32 h = quint32(qHashBits(chars, n * sizeof(char32_t), kind));
    return h == 0 ? 1 : h;
}

} // namespace

void Features::of(const QString& keyword, std::vector<quint32>& out)
{
    out.clear();
    // Letters without case, and no spaces: "iPhone 15" and "iphone15" say the same.
    std::u32string chars;
    for (const char32_t c : keyword.toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        chars.push_back(c >= U'A' && c <= U'Z' ? c + 32 : c);
    }
    const size_t n = chars.size();
    if (n == 0)
        return;
    for (size_t i = 0; i < n; ++i) {
        out.push_back(hashOf(Character, &chars[i], 1));
        if (i + 1 < n)
            out.push_back(hashOf(Pair, &chars[i], 2));
        if (const char32_t radical = char32_t(Radicals::of(chars[i])))
            out.push_back(hashOf(Radical, &radical, 1));
    }
    // A Chinese word's last character often names its kind (车, 病, 鱼), and its first often its field.
    out.push_back(hashOf(First, &chars.front(), 1));
    out.push_back(hashOf(Last, &chars.back(), 1));
    if (n >= 2) {
        out.push_back(hashOf(FirstPair, chars.data(), 2));
        out.push_back(hashOf(LastPair, chars.data() + n - 2, 2));
    }
    const char32_t length = char32_t(std::min<size_t>(n, 6));
    out.push_back(hashOf(Length, &length, 1));
}
