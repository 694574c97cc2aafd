#include "app/WrappingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace app
{

WrappingButton::WrappingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void WrappingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, palette(),
                         isEnabled(), text(), QPalette::ButtonText);
}

} // namespace app
