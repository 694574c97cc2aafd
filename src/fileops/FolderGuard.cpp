#include "fileops/FolderGuard.h"

#include "platform/DeletionGuard.h"
#include "platform/NativePath.h"
#include "platform/Prompts.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace fileops
{

bool refuseFolder(platform::Prompts& prompts, QWidget* owner, const QString& folder, bool move)
{
    QString text;
    if (platform::protectionOf(folder) != platform::Protection::None) {
        text = platform::protectedFolderText(folder, move);
    } else if (!move) {
        const QByteArray mount = platform::mountInside(folder);
        if (!mount.isEmpty())
            text = platform::mountInsideText(folder, platform::fromNativePath(mount));
    }
    if (text.isEmpty())
        return false;
    prompts.message(owner, text, QString(), platform::Prompts::Exclamation);
    return true;
}

bool renameFolderTo(const QString& folder, const QString& target)
{
    const QByteArray from = platform::toNativePath(folder);
    const QByteArray to = platform::toNativePath(target);
    struct stat st {
    };
    if (::lstat(to.constData(), &st) == 0)
        return false;
    return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
               0 ||
           (errno == EINVAL && ::rename(from.constData(), to.constData()) == 0);
}

} // namespace fileops
