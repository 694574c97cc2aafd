#include "ProgressWindow.h"

#include "DialogOwner.h"
#include "Dialogs.h"
#include "GuiThread.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>

#include <atomic>
#include <mutex>

namespace archiver
{

// What the working thread and the windows' thread share. The dialog is touched on the
// windows' thread only; the rest under the mutex, or atomically.
struct ProgressWindow::Shared {
    QPointer<QProgressDialog> dialog;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::string name;
    int value = 0;
    bool changed = false;
    bool posted = false;

    // On the windows' thread: shows the latest update.
    void show()
    {
        std::string latest;
        int at = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            posted = false;
            if (!changed)
                return;
            changed = false;
            latest = name;
            at = value;
        }
        if (!dialog)
            return;
        dialog->setLabelText(QString::fromUtf8(latest.c_str()));
        // A busy bar (no range) is set to its only value once, which starts the delay after
        // which the window shows.
        dialog->setValue(dialog->maximum() > 0 ? at : 0);
    }
};

ProgressWindow::ProgressWindow(ArchiverWindow owner, const std::string& title, bool enabled,
                               bool asBar)
{
    if (!enabled || !dialogsPossible())
        return;
    auto shared = std::make_shared<Shared>();
    runOnGuiThread([&] {
        auto* dialog = new QProgressDialog(ownerWidget(owner));
        dialog->setObjectName(QStringLiteral("archiverProgress"));
        dialog->setWindowTitle(QString::fromUtf8(title.c_str()));
        dialog->setCancelButtonText(QString::fromUtf8("キャンセル"));
        dialog->setMinimumDuration(300);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        if (!asBar)
            dialog->setRange(0, 0);
        else
            dialog->setRange(0, 1000);
        attachToOwner(dialog, owner);
        QObject::connect(dialog, &QProgressDialog::canceled, dialog,
                         [flag = shared] { flag->cancelled = true; });
        shared->dialog = dialog;
    });
    m_shared = std::move(shared);
}

ProgressWindow::~ProgressWindow()
{
    if (!m_shared)
        return;
    runOnGuiThread([shared = m_shared] { delete shared->dialog.data(); });
}

void ProgressWindow::setMember(const std::string& name, uint64_t done, uint64_t total)
{
    if (!m_shared)
        return;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->name = name;
        m_shared->value = total ? static_cast<int>(done * 1000 / total) : 0;
        m_shared->changed = true;
        post = !m_shared->posted;
        m_shared->posted = true;
    }
    if (onGuiThread()) {
        m_shared->show();
        QCoreApplication::processEvents();
        return;
    }
    if (post) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [shared = m_shared] { shared->show(); },
            Qt::QueuedConnection);
    }
}

bool ProgressWindow::cancelled() const
{
    return m_shared && m_shared->cancelled.load();
}

} // namespace archiver
