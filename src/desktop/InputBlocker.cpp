#include "desktop/InputBlocker.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace platform
{

namespace
{
bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// The widget an object acts for: itself, or the nearest widget among its parents (a shortcut
// or an action belongs to the widget it was made for).
QWidget* widgetOf(QObject* object)
{
    for (QObject* o = object; o; o = o->parent()) {
        if (auto* widget = qobject_cast<QWidget*>(o))
            return widget;
    }
    return nullptr;
}
} // namespace

InputBlocker::InputBlocker()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        m_widgets.append(widget);
    for (QWindow* window : QGuiApplication::topLevelWindows())
        m_windows.append(window);
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker()
{
    if (qApp)
        qApp->removeEventFilter(this);
    for (const QPointer<QObject>& held : m_heldCloses) {
        if (!held)
            continue;
        QMetaObject::invokeMethod(
            held,
            [held] {
                if (auto* window = qobject_cast<QWindow*>(held))
                    window->close();
                else if (auto* widget = qobject_cast<QWidget*>(held))
                    widget->close();
            },
            Qt::QueuedConnection);
    }
}

bool InputBlocker::wasOpen(const QWidget* window) const
{
    for (const QPointer<QWidget>& w : m_widgets) {
        if (w == window)
            return true;
    }
    return false;
}

bool InputBlocker::wasOpen(const QWindow* window) const
{
    for (const QPointer<QWindow>& w : m_windows) {
        if (w == window)
            return true;
    }
    return false;
}

bool InputBlocker::blocks(QObject* receiver, QEvent* event) const
{
    if (!receiver || !isInput(event->type()))
        return false;
    if (auto* window = qobject_cast<QWindow*>(receiver))
        return wasOpen(window);
    QWidget* widget = widgetOf(receiver);
    if (!widget) {
        // A shortcut of no window may act anywhere.
        return event->type() == QEvent::Shortcut;
    }
    return wasOpen(widget->window());
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event)
{
    if (!blocks(watched, event))
        return false;
    switch (event->type()) {
    case QEvent::Close:
        // A widget's close reaches its native window first.
        if (!event->spontaneous() && !m_heldCloses.contains(watched))
            m_heldCloses.append(watched);
        event->ignore();
        break;
    case QEvent::ShortcutOverride:
        // Taken by the focused widget: no shortcut of the window is looked up for the key.
        event->accept();
        break;
    default:
        // A refused drag, a close request turned down, a key nobody took.
        event->ignore();
        break;
    }
    return true;
}

} // namespace platform
