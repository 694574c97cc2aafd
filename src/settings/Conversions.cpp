#include "settings/Conversions.h"

#include <QCheckBox>
#include <QLocale>

#include <cmath>

namespace settings {

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

bool applyCheckValue(QCheckBox* box, const QString& text)
{
    const std::optional<int> value = toInteger16(text);
    if (!value || *value < 0 || *value > 2)
        return false;
    if (*value == 2)
        box->setTristate(true);
    box->setCheckState(*value == 0 ? Qt::Unchecked
                                   : (*value == 1 ? Qt::Checked : Qt::PartiallyChecked));
    return true;
}

int checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    }
    return 0;
}

QString checkValueText(const QCheckBox* box)
{
    return QString::number(checkValue(box));
}

QString singleText(double value)
{
    return QString::number(static_cast<float>(value), 'g', QLocale::FloatingPointShortest);
}

} // namespace settings
