#include "platform/FolderDeletion.h"

#include "base/Paths.h"
#include "platform/shell/FolderWalk.h"

#include <QFile>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

using folderwalk::Entry;
using folderwalk::FileDescriptor;

// The entries of the open folder other than "." and "..", each with its lstat. False when the
// folder cannot be read or an entry cannot be looked at.
bool listFolder(int dirFd, QList<Entry>& entries)
{
    int error = 0;
    if (!folderwalk::readFolder(dirFd, entries, error))
        return false;
    return std::none_of(entries.cbegin(), entries.cend(),
                        [](const Entry& e) { return e.error != 0; });
}

// Gives the owner read, write and search rights on a folder so that it can be emptied.
bool makeFolderUsable(int parentFd, const char* name, const struct stat& st)
{
    const mode_t wanted = (st.st_mode & 07777) | S_IRWXU;
    if (wanted == (st.st_mode & 07777))
        return true;
    return ::fchmodat(parentFd, name, wanted, 0) == 0;
}

// Removes everything in the open folder: files (and links, which are never followed) first,
// then each subfolder, deepest first. Stops at the first failure.
bool emptyFolder(int dirFd, dev_t device)
{
    QList<Entry> entries;
    if (!listFolder(dirFd, entries))
        return false;
    for (const Entry& entry : entries) {
        const char* name = entry.name.constData();
        const struct stat& st = entry.info;
        if (S_ISDIR(st.st_mode))
            continue;
        // A file with other hard links is left as it is: its mode is shared with them.
        if (S_ISREG(st.st_mode) && st.st_nlink == 1 && !(st.st_mode & S_IWUSR) &&
            ::fchmodat(dirFd, name, (st.st_mode & 07777) | S_IWUSR, 0) != 0) {
            // Not fatal: removing the name below needs only the folder's permission.
        }
        if (::unlinkat(dirFd, name, 0) != 0)
            return false;
    }

    if (!listFolder(dirFd, entries))
        return false;
    for (const Entry& entry : entries) {
        const char* name = entry.name.constData();
        const struct stat& st = entry.info;
        if (!S_ISDIR(st.st_mode)) {
            // Appeared since the files were removed.
            if (::unlinkat(dirFd, name, 0) != 0)
                return false;
            continue;
        }
        // A volume mounted inside the tree is not ours to empty, and cannot be removed.
        if (st.st_dev != device)
            return false;
        if (!makeFolderUsable(dirFd, name, st))
            return false;
        const FileDescriptor sub(folderwalk::openFolderAt(dirFd, entry.name));
        if (sub.get() < 0 || !emptyFolder(sub.get(), device))
            return false;
        if (::unlinkat(dirFd, name, AT_REMOVEDIR) != 0)
            return false;
    }
    return true;
}

} // namespace

void deleteFolderTree(const QString& path)
{
    // Trailing separators are dropped, so that lstat sees a link itself, not its target.
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (folder.isEmpty())
        return;
    const QByteArray native = QFile::encodeName(folder);

    struct stat st {
    };
    if (::lstat(native.constData(), &st) != 0)
        return;
    if (S_ISLNK(st.st_mode)) {
        // The path itself is a link: the link goes, what it points to stays.
        ::unlink(native.constData());
        return;
    }
    if (!S_ISDIR(st.st_mode))
        return;

    const bool driveRoot = isDriveRoot(folder);
    if (!driveRoot && (st.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(native.constData(), (st.st_mode & 07777) | S_IRWXU);
    {
        const FileDescriptor dir(folderwalk::openFolder(native));
        if (dir.get() < 0 || !emptyFolder(dir.get(), st.st_dev))
            return;
    }
    if (!driveRoot)
        ::rmdir(native.constData());
}

} // namespace platform
