#include "Numbers.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <string_view>

using namespace Qt::StringLiterals;

namespace Numbers {

namespace {

bool isSpace(QChar c)
{
    // A French export groups thousands with a no-break or narrow no-break space.
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

// What a letter after the digits multiplies by; 0 when it is none of these.
double multiplierOf(QChar c)
{
    switch (c.unicode()) {
    case u'k':
    case u'K':
    case u'千':
        return 1e3;
    case u'万':
        return 1e4;
    case u'm':
    case u'M':
        return 1e6;
    case u'亿':
        return 1e8;
    case u'b':
    case u'B':
        return 1e9;
    default:
        return 0;
    }
}

// The digits with their marks (ASCII), from the first digit on, and what the letter after them multiplies by.
// A field of more digits than a number holds gives nothing.
struct Digits
{
    char text[40];
    int size = 0;
    double multiplier = 1;
    std::string_view view() const { return {text, size_t(size)}; }
};

Digits digitsOf(QStringView field)
{
    Digits d;
    bool started = false;
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        const bool digit = u >= u'0' && u <= u'9';
        if (digit || (started && (u == u'.' || u == u','))) {
            if (d.size == int(sizeof d.text))
                return {};
            d.text[d.size++] = char(u);
            started = true;
        } else if (started && isSpace(c)) {
            continue;
        } else if (started) {
            if (const double m = multiplierOf(c); m > 0)
                d.multiplier = m;
            break;
        }
    }
    while (d.size > 0 && (d.text[d.size - 1] == '.' || d.text[d.size - 1] == ','))
        --d.size;
    return d;
}

std::optional<double> single(QStringView field, bool decimalComma)
{
    const Digits d = digitsOf(field);
    const std::string_view digits = d.view();
    if (digits.empty())
        return std::nullopt;
    const size_t comma = digits.rfind(',');
    const size_t point = digits.rfind('.');
    const auto count = [&](char c) { return std::count(digits.cbegin(), digits.cend(), c); };
    char decimal = 0;
    if (comma != digits.npos && point != digits.npos)
        decimal = comma > point ? ',' : '.';
    else if (comma != digits.npos && count(',') == 1)
        decimal = decimalComma ? ',' : 0;
    else if (point != digits.npos && count('.') == 1)
        decimal = decimalComma && digits.size() - point == 4 ? 0 : '.';
    char plain[sizeof d.text];
    size_t n = 0;
    for (const char c : digits) {
        if (c == decimal)
            plain[n++] = '.';
        else if (c >= '0' && c <= '9')
            plain[n++] = c;
    }
    // Read without the locale: a French one would take the point for no decimal mark.
    double value = 0;
    const auto [end, error] = std::from_chars(plain, plain + n, value);
    if (error != std::errc() || end != plain + n)
        return std::nullopt;
    return value * d.multiplier;
}

} // namespace

bool showsDecimalComma(QStringView field)
{
    const Digits d = digitsOf(field);
    const std::string_view digits = d.view();
    const size_t comma = digits.rfind(',');
    if (comma == digits.npos)
        return false;
    const size_t point = digits.rfind('.');
    return (point == digits.npos || comma > point) && (point != digits.npos || digits.size() - comma - 1 != 3);
}

Range parse(QStringView field, bool decimalComma)
{
    field = field.trimmed();
    // A dash between two numbers makes a range; a dash alone, or before the first digit, is no number.
    qsizetype dash = -1;
    bool digitSeen = false;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c.isDigit())
            digitSeen = true;
        else if (digitSeen && (c == QChar(0x2013) || c == QChar(0x2014) || c == u'-' || c == u'~')) {
            dash = i;
            break;
        }
    }
    if (dash < 0)
        return {single(field, decimalComma), std::nullopt};
    const auto low = single(field.first(dash), decimalComma);
    const auto high = single(field.sliced(dash + 1), decimalComma);
    if (!high)
        return {low, std::nullopt};
    return {low, high};
}

} // namespace Numbers
