#include "desktop/LinuxShell.h"

#include "desktop/OpenWithDialog.h"
#include "desktop/PropertiesDialog.h"
#include "desktop/QtShellUi.h"
#include "platform/shell/FileOperationRunner.h"
#include "platform/shell/GioApps.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

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
    FileOperationRunner runner(*m_ui, operation);
    return runner.run();
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
