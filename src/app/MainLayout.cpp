#include "app/MainLayout.h"

#include "platform/Twips.h"

#include <QWidget>

namespace app
{

QList<PaneRect> mainLayout(double w, double h)
{
    return {
        {QStringLiteral("Label1"), 900, h - 700, 1095, 400},
        {QStringLiteral("Command3"), 5850, h - 850, 1215, 495},
        {QStringLiteral("Text2"), 2520, h - 850, 2655, 270},
        {QStringLiteral("Command1"), 5200, h - 850, 615, 375},
        {QStringLiteral("Command2"), 7100, h - 850, 975, 495},
        {QStringLiteral("WebBrowser1"), 2640, 480, w - 2600, h - 1650},
        {QStringLiteral("ListView1"), 2640, 480, w - 2600, h - 1650},
        {QStringLiteral("Picture1"), 2640, 480, w - 2600, h - 1650},
        {QStringLiteral("RichTextBox1"), 2640, 480, w - 2600, h - 1650},
        {QStringLiteral("Dir1"), 0, 840, 2535, h / 3},
        {QStringLiteral("File1"), 0, (h + 2700) / 3, 2535, (h + 800) / 3},
        {QStringLiteral("Combo1"), 0, h - 900, 3375, 270},
    };
}

void applyMainLayout(QWidget* form, double dpi)
{
    const double w = platform::pixelsToTwips(form->width(), dpi);
    const double h = platform::pixelsToTwips(form->height(), dpi);
    for (const PaneRect& pane : mainLayout(w, h)) {
        if (pane.width < 0 || pane.height < 0)
            continue;
        QWidget* widget = form->findChild<QWidget*>(pane.name, Qt::FindDirectChildrenOnly);
        if (!widget)
            continue;
        widget->setGeometry(
            platform::twipsToPixels(pane.left, dpi), platform::twipsToPixels(pane.top, dpi),
            platform::twipsToPixels(pane.width, dpi), platform::twipsToPixels(pane.height, dpi));
    }
}

} // namespace app
