#include "desktop/LinuxShell.h"

#include "desktop/InputBlocker.h"
#include "desktop/OpenWithDialog.h"
#include "desktop/PropertiesDialog.h"
#include "desktop/QtShellUi.h"
#include "platform/shell/FileOperationRunner.h"
#include "platform/shell/GioApps.h"
#include "platform/shell/ShellUiRelay.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <optional>
#include <thread>

namespace platform
{

namespace
{

// The full path of `file` (relative names are taken in `directory`), and the classic code
// for it: 0 when it exists, 2 when its folder exists but it does not, 3 otherwise.
int resolve(const QString& file, const QString& directory, QString& path)
{
    if (file.isEmpty())
        return Shell::kFileNotFound;
    QString base = directory.isEmpty() ? QDir::currentPath() : directory;
    path = QDir::cleanPath(QDir(base).absoluteFilePath(file));
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return 0;
    return QFileInfo(info.absolutePath()).isDir() ? Shell::kFileNotFound : Shell::kPathNotFound;
}

} // namespace

std::unique_ptr<Shell> createDesktopShell()
{
    return std::make_unique<LinuxShell>(std::make_unique<QtShellUi>());
}

LinuxShell::LinuxShell(std::unique_ptr<ShellUi> ui) : m_ui(std::move(ui)) {}

LinuxShell::~LinuxShell() = default;

int LinuxShell::fileOperation(const FileOperation& operation)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread()) {
        FileOperationRunner runner(*m_ui, operation);
        return runner.run();
    }
    // On the windows' thread the operation runs on a worker; this thread keeps answering
    // (painting, the progress window and its questions) until it has ended, while the windows
    // that were open take no input.
    ShellUiRelay relay(*m_ui);
    std::optional<platform::InputBlocker> blocker;
    if (qobject_cast<QApplication*>(application))
        blocker.emplace();
    QEventLoop loop;
    std::atomic<bool> done{false};
    int result = kFailed;
    std::thread worker([&] {
        FileOperationRunner runner(relay, operation);
        result = runner.run();
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
    return result;
}

int LinuxShell::open(QWidget* owner, const QString& file, const QString& directory)
{
    Q_UNUSED(owner)
    m_lastOpenFailure.clear();
    if (gio::isAddress(file))
        return gio::openAddress(file, &m_lastOpenFailure);
    QString path;
    if (const int code = resolve(file, directory, path))
        return code;
    return gio::openPath(path, &m_lastOpenFailure);
}

int LinuxShell::findExecutable(const QString& file, const QString& directory, QString& program)
{
    program.clear();
    QString path;
    if (const int code = resolve(file, directory, path))
        return code;
    return gio::findDefault(path, program);
}

void LinuxShell::openWith(QWidget* owner, const QString& file)
{
    QString path;
    if (resolve(file, QString(), path) != 0) {
        m_ui->showError(owner, QStringLiteral("ファイルが見つかりません: %1").arg(file));
        return;
    }
    OpenWithDialog dialog(owner, path, gio::applicationsFor(path));
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString reason;
    const QString command = dialog.commandLine();
    const bool started = command.isEmpty()
                             ? gio::launchApplication(dialog.applicationId(), path, reason)
                             : gio::launchCommandLine(command, path, reason);
    if (!started)
        m_ui->showError(owner,
                        QStringLiteral("プログラムを起動できません: %1\n%2")
                            .arg(command.isEmpty() ? dialog.applicationId() : command, reason));
}

int LinuxShell::showProperties(QWidget* owner, const QString& file)
{
    QString path;
    if (const int code = resolve(file, QString(), path))
        return code;
    auto* dialog = new PropertiesDialog(owner, path);
    dialog->show();
    return kOpenOk;
}

qint64 LinuxShell::startEditor(Editor editor, const QString& file)
{
    // No file: the editor starts with an empty document.
    QString path;
    if (!file.isEmpty() && resolve(file, QString(), path) != 0)
        return 0;
    return gio::launchDefaultForType(
        editor == Editor::Text ? QStringLiteral("text/plain") : QStringLiteral("image/png"), path);
}

void LinuxShell::setClipboardText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

} // namespace platform
