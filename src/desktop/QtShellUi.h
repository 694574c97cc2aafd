#pragma once

#include "platform/shell/ShellUi.h"

#include <QElapsedTimer>
#include <QPointer>

class QProgressDialog;

namespace platform
{

// The shell's questions as message boxes and its progress as a progress dialog that shows
// itself soon and offers a cancel button; a question of a running operation sits on top of its
// progress dialog. Used on the windows' thread only (ShellUiRelay brings a worker's calls).
class QtShellUi final : public ShellUi
{
public:
    QtShellUi() = default;
    ~QtShellUi() override;
    Q_DISABLE_COPY_MOVE(QtShellUi)

    Overwrite askOverwrite(QWidget* owner, const QString& text) override;
    bool ask(QWidget* owner, Question question, const QString& text) override;
    void showError(QWidget* owner, const QString& text) override;
    void progressStart(QWidget* owner, const QString& title, qint64 total, bool showNames) override;
    void progressTotal(qint64 total) override;
    bool progressStep(qint64 done, const QString& current) override;
    void progressEnd() override;

private:
    // The window a question or message of the running operation belongs to.
    QWidget* questionOwner(QWidget* owner);

    QPointer<QProgressDialog> m_progress;
    QElapsedTimer m_sinceEvents;
    QElapsedTimer m_sinceStart;
    qint64 m_total = 0;
    bool m_showNames = true;
    bool m_cancelled = false;
};

} // namespace platform
