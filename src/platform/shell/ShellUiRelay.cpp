#include "platform/shell/ShellUiRelay.h"

#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace platform
{

namespace
{
constexpr int kShowEveryMs = 40;

bool onWindowThreadNow()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return !application || QThread::currentThread() == application->thread();
}
} // namespace

ShellUiRelay::ShellUiRelay(ShellUi& inner) : m_inner(inner)
{
    m_timer = new QTimer;
    m_timer->setInterval(kShowEveryMs);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] { showLatest(); });
}

ShellUiRelay::~ShellUiRelay()
{
    delete m_timer;
}

template <typename Work> void ShellUiRelay::onWindowThread(Work&& work)
{
    if (onWindowThreadNow()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(m_timer, std::forward<Work>(work), Qt::BlockingQueuedConnection);
}

ShellUi::Overwrite ShellUiRelay::askOverwrite(QWidget* owner, const QString& text)
{
    Overwrite answer = Overwrite::Cancel;
    if (endRequested() || m_cancelled)
        return answer;
    onWindowThread([&] { answer = m_inner.askOverwrite(owner, text); });
    return endRequested() ? Overwrite::Cancel : answer;
}

bool ShellUiRelay::ask(QWidget* owner, Question question, const QString& text)
{
    bool answer = false;
    if (endRequested() || m_cancelled)
        return answer;
    onWindowThread([&] { answer = m_inner.ask(owner, question, text); });
    return answer && !endRequested();
}

void ShellUiRelay::showError(QWidget* owner, const QString& text)
{
    if (endRequested())
        return;
    onWindowThread([&] { m_inner.showError(owner, text); });
}

void ShellUiRelay::progressStart(QWidget* owner, const QString& title, qint64 total, bool showNames)
{
    m_done.store(0);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_current.clear();
        m_changed = false;
    }
    onWindowThread([&] {
        m_inner.progressStart(owner, title, total, showNames);
        m_inProgress.store(true);
        m_timer->start();
        // The first look at once: the window's clock starts now.
        showLatest();
    });
}

void ShellUiRelay::progressTotal(qint64 total)
{
    onWindowThread([&] { m_inner.progressTotal(total); });
}

bool ShellUiRelay::progressStep(qint64 done, const QString& current)
{
    m_done.store(done);
    if (!current.isEmpty()) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_current = current;
        m_changed = true;
    }
    return !m_cancelled.load() && !endRequested();
}

void ShellUiRelay::progressEnd()
{
    onWindowThread([&] {
        m_timer->stop();
        m_inProgress.store(false);
        m_inner.progressEnd();
    });
}

void ShellUiRelay::showLatest()
{
    if (!m_inProgress.load())
        return;
    QString current;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_changed)
            current = m_current;
        m_changed = false;
    }
    if (!m_inner.progressStep(m_done.load(), current))
        m_cancelled.store(true);
}

} // namespace platform
