#include "app/MainLayout.h"

#include "base/Twips.h"

#include <QWidget>

#include <algorithm>
#include <utility>

namespace app
{

QList<PaneRect> mainLayout(double w, double h, const PaneSplit& split)
{
    const double c = split.column;
    const double t = split.tree;
    return {
        {QStringLiteral("WebBrowser1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("ListView1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("Picture1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("RichTextBox1"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("PdfView"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("MarkdownView"), 2640 + c, 480, w - 2600 - c, h - 1650},
        {QStringLiteral("Dir1"), 0, 840, 2535 + c, h / 3 + t},
        {QStringLiteral("File1"), 0, (h + 2700) / 3 + t, 2535 + c, (h + 800) / 3 - t},
    };
}

namespace
{
QWidget* paneOf(QWidget* form, const char* name)
{
    return form->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

// The row below the panes: the filter list under the left column, then the destination's
// caption, its box, which takes the spare width, and the three buttons at the right end, each
// as wide as its caption needs (and no narrower than designed), so that nothing overlaps and no
// caption is cut or wrapped at the design size or wider, at any scale.
void layoutBottomRow(QWidget* form, double dpi, double height, const PaneSplit& split)
{
    QWidget* filter = paneOf(form, "Combo1");
    QWidget* caption = paneOf(form, "Label1");
    QWidget* box = paneOf(form, "Text2");
    QWidget* browse = paneOf(form, "Command1");
    QWidget* favourite = paneOf(form, "Command3");
    QWidget* copy = paneOf(form, "Command2");
    if (!filter || !caption || !box || !browse || !favourite || !copy)
        return;
    const int gap = platform::twipsToPixels(105, dpi);
    int rowHeight = 0;
    for (QWidget* widget : {filter, caption, box, browse, favourite, copy})
        rowHeight = std::max(rowHeight, widget->sizeHint().height());
    // Just above the status bar, and never above where the design puts the row.
    int top = platform::twipsToPixels(height - 900, dpi);
    if (QWidget* status = paneOf(form, "StatusBar1"); status && status->isVisible())
        top = std::min(top, status->y() - rowHeight - 2);
    const int middle = top + rowHeight / 2;
    auto place = [middle](QWidget* widget, int left, int width) {
        const int h = widget->sizeHint().height();
        widget->setGeometry(left, middle - h / 2, std::max(0, width), h);
    };
    auto widthOf = [dpi](QWidget* widget, double designTwips) {
        return std::max(widget->sizeHint().width(), platform::twipsToPixels(designTwips, dpi));
    };
    place(filter, 0, platform::twipsToPixels(2535 + split.column, dpi));
    int left = filter->geometry().right() + 1 + gap;
    place(caption, left, caption->sizeHint().width());
    left = caption->geometry().right() + 1 + gap / 2;
    int right = form->width() - gap;
    for (auto [button, design] : {std::pair{copy, 975.0}, {favourite, 1215.0}, {browse, 615.0}}) {
        const int width = widthOf(button, design);
        right -= width;
        place(button, right, width);
        right -= gap;
    }
    place(box, left, right - left);
}
} // namespace

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
    layoutBottomRow(form, dpi, h, split);
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
