#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <utility>

namespace archiver
{

// True on the thread the application object (and so every window) lives on, and when there
// is no application object at all.
inline bool onGuiThread()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return !application || QThread::currentThread() == application->thread();
}

// Runs `work` on the windows' thread and returns when it is done. The libraries may be
// called on a worker thread while the program's window thread keeps its event loop running;
// a dialog is then made, shown and destroyed on the window thread, and the worker waits for
// the answer. Called on the window thread, `work` simply runs.
template <typename Work> void runOnGuiThread(Work&& work)
{
    if (onGuiThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Work>(work),
                              Qt::BlockingQueuedConnection);
}

} // namespace archiver
