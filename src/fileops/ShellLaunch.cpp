#include "fileops/ShellLaunch.h"

#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "platform/Shell.h"

namespace fileops
{

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

bool openWithShell(platform::Shell& shell, platform::Prompts& prompts, QWidget* owner,
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

void findAssociatedProgram(platform::Shell& shell, FileBrowser& browser, const QString& file,
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

void chooseApplication(platform::Shell& shell, const QString& path, QWidget* owner)
{
    shell.openWith(owner, path);
}

int showProperties(platform::Shell& shell, const QString& path, QWidget* owner)
{
    return shell.showProperties(owner, path);
}

} // namespace fileops
