#pragma once

#include "platform/shell/ShellUi.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QTimer;

namespace platform
{

// The ShellUi a file operation on a worker thread talks to. Questions, messages and the start
// and end of the progress window are handed to the windows' thread, where `inner` shows
// them, and the worker waits for the answer. Progress steps only leave their numbers behind:
// a timer on the windows' thread shows the latest every few dozen milliseconds, so that the
// worker never waits for a paint. Once the program has been asked to end, no question is
// asked (each is answered as cancelled), no message is shown and every step says cancel.
//
// Made on the windows' thread; every ShellUi call may come from any thread.
class ShellUiRelay final : public ShellUi
{
public:
    explicit ShellUiRelay(ShellUi& inner);
    ~ShellUiRelay() override;
    Q_DISABLE_COPY_MOVE(ShellUiRelay)

    Overwrite askOverwrite(QWidget* owner, const QString& text) override;
    bool ask(QWidget* owner, Question question, const QString& text) override;
    void showError(QWidget* owner, const QString& text) override;
    void progressStart(QWidget* owner, const QString& title, qint64 total, bool showNames) override;
    void progressTotal(qint64 total) override;
    bool progressStep(qint64 done, const QString& current) override;
    void progressEnd() override;

    // Stops the work at its next step, as the cancel button would.
    void cancel() { m_cancelled.store(true); }

private:
    // On the windows' thread: hands the latest step to the inner progress display.
    void showLatest();
    // Runs `work` on the windows' thread and waits for it.
    template <typename Work> void onWindowThread(Work&& work);

    ShellUi& m_inner;
    QTimer* m_timer = nullptr; // lives on the windows' thread
    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_inProgress{false};
    std::atomic<qint64> m_done{0};
    std::mutex m_mutex;
    QString m_current; // guarded by m_mutex
    bool m_changed = false;
};

} // namespace platform
