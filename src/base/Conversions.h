#pragma once

#include <QString>

#include <optional>

class QCheckBox;

namespace settings
{

// Settings are stored as text; these are the conversions their readers apply. A conversion
// that fails (empty or not a number) gives nothing, and the caller leaves its widget as it is.

// Whole number of 16 bits; a fraction rounds half to even ("1.5" → 2, "2.5" → 2).
std::optional<int> toInteger16(const QString& text);

// Floating-point number ("1", " 9000 ", "9037.5").
std::optional<double> toNumber(const QString& text);

// Sets the check box from a stored flag: 0 cleared, 1 ticked, 2 greyed. Any other value, or a
// text that is not a number, leaves the box as it is and returns false.
// (The three check-box conversions are built into the GUI library: settings/CheckBoxValue.cpp.)
bool applyCheckValue(QCheckBox* box, const QString& text);

// The decimal text of a check box's value: "0", "1" or "2".
QString checkValueText(const QCheckBox* box);

// The value of a check box as a number (0, 1 or 2).
int checkValue(const QCheckBox* box);

// A size in twips as decimal text of a single-precision number ("9000", "9037.5").
QString singleText(double value);

} // namespace settings
