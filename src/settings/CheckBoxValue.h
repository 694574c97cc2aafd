#pragma once

#include <QString>

class QCheckBox;

// The check-box half of the settings conversions (base/Conversions.h holds the text half): it
// needs Qt Widgets, so it is built into the GUI library.
namespace settings
{

// Sets the check box from a stored flag: 0 cleared, 1 ticked, 2 greyed. Any other value, or a
// text that is not a number, leaves the box as it is and returns false.
bool applyCheckValue(QCheckBox* box, const QString& text);

// The decimal text of a check box's value: "0", "1" or "2".
QString checkValueText(const QCheckBox* box);

// The value of a check box as a number (0, 1 or 2).
int checkValue(const QCheckBox* box);

} // namespace settings
