#pragma once

class QWidget;

namespace platform {

// 1440 twips make one inch; pixels follow the screen's logical DPI.
inline constexpr double kTwipsPerInch = 1440.0;

// Logical DPI of the screen the widget is on (the primary screen when null); 96 when no
// screen is known.
double logicalDpi(const QWidget* widget = nullptr);

// Conversions round to the nearest pixel; twips keep fractions.
int twipsToPixels(double twips, double dpi);
double pixelsToTwips(int pixels, double dpi);

} // namespace platform
