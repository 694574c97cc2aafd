#pragma once

class QScreen;

namespace platform
{

// 1440 twips make one inch; pixels follow the screen's logical DPI.
inline constexpr double kTwipsPerInch = 1440.0;

// Logical DPI of the screen (the primary screen when null); 96 when no screen is known.
double logicalDpi(const QScreen* screen = nullptr);

// Conversions round to the nearest pixel; twips keep fractions.
int twipsToPixels(double twips, double dpi);
double pixelsToTwips(int pixels, double dpi);

} // namespace platform
