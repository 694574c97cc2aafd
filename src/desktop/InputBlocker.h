#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QEvent;
class QWidget;
class QWindow;

namespace platform
{

// While it lives, the user's input to the windows that were open when it was made is
// swallowed: mouse buttons, moves and wheel, keys and shortcuts, context menus, drags and
// drops, and the user's request to close a window. Windows that open later (an archiver's
// question, its progress window) take input as usual. A close asked for by the program itself
// (the request to end the program) is held and carried out once the blocker is gone.
class InputBlocker final : public QObject
{
public:
    InputBlocker();
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

    // Whether an event of this kind sent to this object would be swallowed.
    bool blocks(QObject* receiver, QEvent* event) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool wasOpen(const QWidget* window) const;
    bool wasOpen(const QWindow* window) const;

    QList<QPointer<QWidget>> m_widgets;
    QList<QPointer<QWindow>> m_windows;
    QList<QPointer<QObject>> m_heldCloses;
};

} // namespace platform
