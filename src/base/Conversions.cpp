#include "base/Conversions.h"

#include <QLocale>

#include <cmath>

namespace settings
{

std::optional<double> toNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> toInteger16(const QString& text)
{
    const std::optional<double> value = toNumber(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value); // the default rounding mode: half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<int>(rounded);
}

QString singleText(double value)
{
    return QString::number(static_cast<float>(value), 'g', QLocale::FloatingPointShortest);
}

} // namespace settings
