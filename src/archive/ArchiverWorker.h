#pragma once

#include "archive/ArchiverCall.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;
class QWindow;

namespace archive
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

// Runs each call of another ArchiverCall on a thread of its own. The calling thread, when it
// is the one the windows live on, keeps answering (painting, the archivers' questions and
// progress window, timers) in a local event loop until the call has ended, while the
// InputBlocker keeps the user from starting anything else in the windows that were open. A
// call made on any other thread runs there directly.
class ThreadedArchiverCall final : public ArchiverCall
{
public:
    explicit ThreadedArchiverCall(std::unique_ptr<ArchiverCall> inner);
    // Wraps a call that the caller keeps alive.
    explicit ThreadedArchiverCall(ArchiverCall& inner);
    ~ThreadedArchiverCall() override;

    CallResult run(Family family, quintptr ownerWindow, const QString& commandLine,
                   int reportBufferSize) override;

    // True while a call runs on a worker.
    bool busy() const { return m_running > 0; }

private:
    std::unique_ptr<ArchiverCall> m_own;
    ArchiverCall& m_inner;
    int m_running = 0;
};

} // namespace archive
