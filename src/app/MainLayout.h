#pragma once

#include "app/PaneBorders.h"

#include <QList>
#include <QString>

class QWidget;

namespace app
{

// Where one pane of the main window goes, in twips.
struct PaneRect {
    QString name;
    double left;
    double top;
    double width;
    double height;
};

// The panes that follow the window's size, for an inner width W and height H in twips, with
// the borders the user dragged (none: the window as designed).
QList<PaneRect> mainLayout(double width, double height, const PaneSplit& split = {});

// Places the panes found by name below the form. A pane whose computed width or height is
// negative (a very small window) keeps the geometry it had. The form's PaneBorders, when it
// has them, give the split and are put between the panes.
void applyMainLayout(QWidget* form, double dpi);

} // namespace app
