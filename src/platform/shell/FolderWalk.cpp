#include "platform/shell/FolderWalk.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform::folderwalk
{

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int FileDescriptor::close()
{
    const int rc = ::close(m_fd);
    m_fd = -1;
    return rc;
}

int openFolder(const QByteArray& path)
{
    return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int openFolderAt(int parentFd, const QByteArray& name)
{
    return ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool readFolder(int folderFd, QList<Entry>& entries, int& error)
{
    entries.clear();
    // The stream gets a copy of the descriptor, which shares its position: rewound first, so
    // that a folder read before is read from its start again.
    const int copy = ::dup(folderFd);
    if (copy < 0) {
        error = errno;
        return false;
    }
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        error = errno;
        ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (const struct dirent* d = ::readdir(dir)) {
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        Entry entry;
        entry.name = QByteArray(n);
        if (::fstatat(folderFd, n, &entry.info, AT_SYMLINK_NOFOLLOW) != 0) {
            entry.error = errno;
            entry.info = {};
        }
        entries.append(entry);
        errno = 0;
    }
    error = errno;
    ::closedir(dir);
    return error == 0;
}

bool readFolder(const QByteArray& path, QList<Entry>& entries, int& error)
{
    const FileDescriptor folder(openFolder(path));
    if (folder.get() < 0) {
        error = errno;
        entries.clear();
        return false;
    }
    return readFolder(folder.get(), entries, error);
}

QByteArray join(const QByteArray& folder, const QByteArray& name)
{
    QByteArray path = folder;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

bool Walk::run(const QByteArray& folder) const
{
    const FileDescriptor fd(openFolder(folder));
    if (fd.get() < 0)
        return !unreadable || unreadable(folder, errno);
    return runIn(fd.get(), folder, 0);
}

bool Walk::runIn(int folderFd, const QByteArray& path, int depth) const
{
    QList<Entry> entries;
    int error = 0;
    if (!readFolder(folderFd, entries, error) && unreadable && !unreadable(path, error))
        return false;
    for (const Entry& entry : entries) {
        const Item item{folderFd, entry, join(path, entry.name), depth};
        const Next next = visit ? visit(item) : Next::Enter;
        if (next == Next::Stop)
            return false;
        if (next == Next::Skip || !item.isFolder())
            continue;
        const FileDescriptor sub(openFolderAt(folderFd, entry.name));
        if (sub.get() < 0) {
            if (unreadable && !unreadable(item.path, errno))
                return false;
        } else if (!runIn(sub.get(), item.path, depth + 1)) {
            return false;
        }
        if (leave && !leave(item))
            return false;
    }
    return true;
}

} // namespace platform::folderwalk
