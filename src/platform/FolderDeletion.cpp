#include "platform/FolderDeletion.h"

#include "platform/Paths.h"

#include <QFile>

#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

// Owns one open descriptor.
class Fd
{
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The names in the folder other than "." and "..", each with its lstat-style mode.
bool listFolder(int dirFd, std::vector<std::pair<std::string, struct stat>>& entries)
{
    entries.clear();
    const int copy = ::dup(dirFd);
    if (copy < 0)
        return false;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {
        };
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            break;
        }
        entries.emplace_back(name, st);
    }
    ::closedir(dir);
    return ok;
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
    std::vector<std::pair<std::string, struct stat>> entries;
    if (!listFolder(dirFd, entries))
        return false;
    for (const auto& [name, st] : entries) {
        if (S_ISDIR(st.st_mode))
            continue;
        // A file with other hard links is left as it is: its mode is shared with them.
        if (S_ISREG(st.st_mode) && st.st_nlink == 1 && !(st.st_mode & S_IWUSR))
            ::fchmodat(dirFd, name.c_str(), (st.st_mode & 07777) | S_IWUSR, 0);
        if (::unlinkat(dirFd, name.c_str(), 0) != 0)
            return false;
    }

    if (!listFolder(dirFd, entries))
        return false;
    for (const auto& [name, st] : entries) {
        if (!S_ISDIR(st.st_mode)) {
            // Appeared since the files were removed.
            if (::unlinkat(dirFd, name.c_str(), 0) != 0)
                return false;
            continue;
        }
        // A volume mounted inside the tree is not ours to empty, and cannot be removed.
        if (st.st_dev != device)
            return false;
        if (!makeFolderUsable(dirFd, name.c_str(), st))
            return false;
        const Fd sub(
            ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sub.get() < 0 || !emptyFolder(sub.get(), device))
            return false;
        if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0)
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

    const bool driveRoot = platform::isDriveRoot(folder);
    if (!driveRoot && (st.st_mode & S_IRWXU) != S_IRWXU)
        ::chmod(native.constData(), (st.st_mode & 07777) | S_IRWXU);
    {
        const Fd dir(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (dir.get() < 0 || !emptyFolder(dir.get(), st.st_dev))
            return;
    }
    if (!driveRoot)
        ::rmdir(native.constData());
}

} // namespace platform
