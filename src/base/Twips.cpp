#include "base/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace platform
{

double logicalDpi(const QScreen* screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double dpi = screen->logicalDotsPerInchY();
    return dpi > 0 ? dpi : 96.0;
}

int twipsToPixels(double twips, double dpi)
{
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

double pixelsToTwips(int pixels, double dpi)
{
    return pixels * kTwipsPerInch / dpi;
}

} // namespace platform
