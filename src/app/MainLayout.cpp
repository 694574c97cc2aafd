#include "app/MainLayout.h"

#include "platform/Twips.h"

#include <QWidget>

namespace app
{

QList<PaneRect> mainLayout(double w, double h, const PaneSplit& split)
{
    const double c = split.column;
    const double t = split.tree;
    return {
        {QStringLiteral("Label1"), 900, h - 700, 1095, 400},
        {QStringLiteral("Command3"), 5850, h - 850, 1215, 495},
        {QStringLiteral("Text2"), 2520, h - 850, 2655, 270},
        {QStringLiteral("Command1"), 5200, h - 850, 615, 375},
        {QStringLiteral("Command2"), 7100, h - 850, 975, 495},
        {QStringLiteral("WebBrowser1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("ListView1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("Picture1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("RichTextBox1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("Dir1"), 0, 840, 2535 + c, h / 3 + t},
        {QStringLiteral("File1"), 0, (h + 2700) / 3 + t, 2535 + c, (h + 800) / 3 - t},
        {QStringLiteral("Combo1"), 0, h - 900, 3375, 270},
    };
}

void applyMainLayout(QWidget* form, double dpi)
{
    const double w = platform::pixelsToTwips(form->width(), dpi);
    const double h = platform::pixelsToTwips(form->height(), dpi);
    auto* borders = form->findChild<PaneBorders*>(QString(), Qt::FindDirectChildrenOnly);
    const PaneSplit split = borders ? clampedSplit(borders->split(), w, h) : PaneSplit();
    for (const PaneRect& pane : mainLayout(w, h, split)) {
        if (pane.width < 0 || pane.height < 0)
            continue;
        QWidget* widget = form->findChild<QWidget*>(pane.name, Qt::FindDirectChildrenOnly);
        if (!widget)
            continue;
        widget->setGeometry(
            platform::twipsToPixels(pane.left, dpi), platform::twipsToPixels(pane.top, dpi),
            platform::twipsToPixels(pane.width, dpi), platform::twipsToPixels(pane.height, dpi));
    }
    if (!borders)
        return;
    auto pane = [form](const char* name) {
        return form->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    QWidget* folders = pane("Dir1");
    QWidget* files = pane("File1");
    QWidget* viewer = pane("RichTextBox1");
    if (!folders || !files || !viewer)
        return;
    // The drive list is as wide as the column below it; the preview's notice moves with it.
    if (QWidget* drives = pane("Drive1"))
        drives->resize(folders->width(), drives->height());
    if (QWidget* notice = pane("Label2"))
        notice->move(platform::twipsToPixels(2640 + split.column + 240, dpi), notice->y());
    borders->place(folders->geometry(), files->geometry(), viewer->geometry());
}

} // namespace app
