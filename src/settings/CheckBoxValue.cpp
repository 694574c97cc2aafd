#include "settings/CheckBoxValue.h"

#include "base/Conversions.h"

#include <QCheckBox>

namespace settings
{

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
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    }
    return 0;
}

QString checkValueText(const QCheckBox* box)
{
    return QString::number(checkValue(box));
}

} // namespace settings
