#pragma once

#include <QString>

#include <optional>

namespace settings
{

// Settings are stored as text; these are the conversions their readers apply. A conversion
// that fails (empty or not a number) gives nothing, and the caller leaves its widget as it is.

// Whole number of 16 bits; a fraction rounds half to even ("1.5" → 2, "2.5" → 2).
std::optional<int> toInteger16(const QString& text);

// Floating-point number ("1", " 9000 ", "9037.5").
std::optional<double> toNumber(const QString& text);

// A size in twips as decimal text of a single-precision number ("9000", "9037.5").
QString singleText(double value);

} // namespace settings
