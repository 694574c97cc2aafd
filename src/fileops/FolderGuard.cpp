#include "fileops/FolderGuard.h"

#include "base/NativePath.h"
#include "desktop/Prompts.h"
#include "platform/DeletionGuard.h"

namespace fileops
{

bool refuseFolder(platform::Prompts& prompts, QWidget* owner, const QString& folder,
                  FolderAction action)
{
    QString text;
    if (platform::protectionOf(folder) != platform::Protection::None) {
        text = action == FolderAction::Rename
                   ? QStringLiteral("ルートフォルダ、マウントポイント、ホームフォルダは"
                                    "名前を変更できません。\n") +
                         platform::displayPath(folder)
                   : platform::protectedFolderText(folder, action == FolderAction::Move);
    } else if (action == FolderAction::Delete) {
        const QByteArray mount = platform::mountInside(folder);
        if (!mount.isEmpty())
            text = platform::mountInsideText(folder, platform::fromNativePath(mount));
    }
    if (text.isEmpty())
        return false;
    prompts.message(owner, text, QString(), platform::Prompts::Exclamation);
    return true;
}

} // namespace fileops
