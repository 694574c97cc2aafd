#include "archive/ArchiverWorker.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <atomic>
#include <thread>

namespace archive
{

ThreadedArchiverCall::ThreadedArchiverCall(std::unique_ptr<ArchiverCall> inner)
    : m_own(std::move(inner)), m_inner(*m_own)
{
}

ThreadedArchiverCall::ThreadedArchiverCall(ArchiverCall& inner) : m_inner(inner) {}

ThreadedArchiverCall::~ThreadedArchiverCall() = default;

CallResult ThreadedArchiverCall::run(Family family, quintptr ownerWindow,
                                     const QString& commandLine, int reportBufferSize)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return m_inner.run(family, ownerWindow, commandLine, reportBufferSize);

    ++m_running;
    platform::InputBlocker blocker;
    QEventLoop loop;
    std::atomic<bool> done{false};
    CallResult result;
    std::thread worker([&] {
        result = m_inner.run(family, ownerWindow, commandLine, reportBufferSize);
        done.store(true, std::memory_order_release);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    while (!done.load(std::memory_order_acquire)) {
        loop.exec();
        // An event loop does not run once the program has been asked to quit: the worker's
        // questions and progress are still served, one event at a time, until it ends.
        if (!done.load(std::memory_order_acquire))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    --m_running;
    return result;
}

} // namespace archive
