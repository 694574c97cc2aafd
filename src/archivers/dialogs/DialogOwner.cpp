#include "DialogOwner.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace archiver
{

QWidget* ownerWidget(ArchiverWindow owner)
{
    if (owner == 0 || !qApp)
        return nullptr;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* w : widgets) {
        if (static_cast<ArchiverWindow>(w->internalWinId()) == owner)
            return w;
    }
    return nullptr;
}

void attachToOwner(QWidget* dialog, ArchiverWindow owner)
{
    if (owner == 0 || ownerWidget(owner))
        return;
    dialog->setAttribute(Qt::WA_NativeWindow);
    dialog->winId();
    if (QWindow* handle = dialog->windowHandle()) {
        if (QWindow* foreign = QWindow::fromWinId(static_cast<WId>(owner)))
            handle->setTransientParent(foreign);
    }
}

} // namespace archiver
