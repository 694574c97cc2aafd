#include "fileops/ShellRoutines.h"

#include "base/FileKind.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "platform/Shell.h"

#include <QFile>

namespace fileops
{

namespace
{
QString& lastPicked()
{
    static QString folder;
    return folder;
}
} // namespace

QString PickFolder(platform::Prompts& prompts, QWidget* owner, const QString& prompt)
{
    QString folder = prompts.pickFolder(owner, prompt);
    folder.remove(QChar(u'\0'));
    lastPicked() = folder;
    return folder;
}

QString lastPickedFolder()
{
    return lastPicked();
}

void setLastPickedFolder(const QString& folder)
{
    lastPicked() = folder;
}

QString openErrorText(int result)
{
    switch (result) {
    case 0:
        return QStringLiteral("システムメモリが不足しています。");
    case 2:
        return QStringLiteral("ファイルが見つかりません。");
    case 3:
        return QStringLiteral("ファイルのパスが無効です。");
    case 8:
        return QStringLiteral("メモリが不足しています。");
    default:
        break;
    }
    if (result >= 31)
        return QString();
    return QLatin1Char(' ') + QString::number(result) +
           QStringLiteral(":起動エラー ファイルのパスを確認してください。 ");
}

bool OpenWithShell(platform::Shell& shell, platform::Prompts& prompts, QWidget* owner,
                   const QString& file, const QString& directory)
{
    const int result = shell.open(owner, file, directory);
    QString error = openErrorText(result);
    if (error.isEmpty())
        return result > 32;
    // The classic message first, then what the system said went wrong.
    const QString cause = shell.lastOpenFailure().trimmed();
    if (!cause.isEmpty())
        error += QLatin1Char('\n') + cause;
    prompts.message(owner, error, QString(), platform::Prompts::Critical);
    return false;
}

void FindAssociatedProgram(platform::Shell& shell, FileBrowser& browser, const QString& file,
                           const QString& directory)
{
    QString program;
    const int result = shell.findExecutable(file, directory, program);
    if (result == platform::Shell::kNoAssociation) {
        browser.setAssociationFlag(QStringLiteral("1"));
        browser.setAssociationText(QStringLiteral("関連づけられていません。"));
        return;
    }
    browser.setAssociationText(result > 32 ? program : QString());
    browser.setAssociationFlag(QStringLiteral("0"));
}

void OpenAsDialog(platform::Shell& shell, const QString& path, QWidget* owner)
{
    shell.openWith(owner, path);
}

int ShowProperties(platform::Shell& shell, const QString& path, QWidget* owner)
{
    return shell.showProperties(owner, path);
}

QString ProgramFolderSlash()
{
    return platform::withSlash(platform::programFolder());
}

bool FileExists(QString& path)
{
    if (path.isEmpty())
        return false;
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    // Opened for reading only when it is a regular file: a FIFO would wait for a writer, a
    // device is not a file the commands can work on.
    QFile file;
    if (!platform::openRegularFile(path, file))
        return false;
    file.close();
    return true;
}

QString QuoteText(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString FileNamePart(const QString& path)
{
    return platform::namePart(path).left(260);
}

} // namespace fileops
