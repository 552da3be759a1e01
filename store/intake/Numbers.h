#pragma once

#include <QStringView>

#include <optional>

// Numbers as keyword tools write them in their exports: grouped thousands, a decimal point or comma, a currency
// sign, a K or M for thousands or millions, and ranges such as "1K – 10K".
namespace Numbers {

struct Range
{
    std::optional<double> low;
    // The top of a range; empty for a single number.
    std::optional<double> high;
};

// Whether a field can only be read with a decimal comma ("0,45", "1.234,5"), which tells how the whole file
// writes its numbers: "1,234" alone could be either.
bool showsDecimalComma(QStringView field);
// A number or a range; nothing when the field holds no number ("", "-", "n/a").
Range parse(QStringView field, bool decimalComma);

} // namespace Numbers
