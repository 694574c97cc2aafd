#include "platform/FolderListing.h"

#include "platform/NativePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform
{

QStringList fileNamesIn(const QString& folder, bool* ok)
{
    QStringList names;
    const QByteArray path = toNativePath(folder);
    DIR* dir = ::opendir(path.constData());
    if (ok)
        *ok = dir != nullptr;
    if (!dir)
        return names;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool isFile = false;
        switch (entry->d_type) {
        case DT_REG:
            isFile = true;
            break;
        case DT_DIR:
            break;
        default: {
            // Links, FIFOs, sockets, devices, unknown types: ask what they are (or lead to)
            // by their status alone; nothing is opened, so every one of them is listed.
            struct stat st {
            };
            isFile = ::fstatat(fd, entry->d_name, &st, 0) == 0 && !S_ISDIR(st.st_mode);
            break;
        }
        }
        if (isFile)
            names.append(fromNativePath(QByteArray(entry->d_name)));
    }
    ::closedir(dir);
    return names;
}

} // namespace platform
