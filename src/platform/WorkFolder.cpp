#include "platform/WorkFolder.h"

#include "base/Paths.h"
#include "platform/FolderDeletion.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace app
{

namespace
{

const char kLockSuffix[] = ".lock";

// This instance's folder (with a trailing separator) and its open, locked lock file; why the
// last claim failed.
struct Claim {
    QString folder;
    int lockFd = -1;
    WorkFolderFailure failure;
};

Claim& claim()
{
    static Claim c;
    return c;
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

void failed(const QString& folder, int error)
{
    claim().failure = {folder, QString::fromLocal8Bit(std::strerror(error))};
}

// Opens (or makes) the lock file of a folder, NAME.lock beside it, and locks it without
// waiting: -1 when it is missing and not to be made, or another process holds it.
int lockFolder(int rootFd, const QByteArray& name, bool create)
{
    const QByteArray lockName = name + kLockSuffix;
    const int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::openat(rootFd, lockName.constData(), flags, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// An exclusive lock on the work-folder root itself, held while an instance claims or releases
// its folder: a folder is never seen between being made and being locked. The root is made
// when missing, and made again when another instance removed it meanwhile.
class RootLock final
{
public:
    RootLock()
    {
        const QByteArray root = encoded(platform::workFolderRoot());
        for (int attempt = 0; attempt < 5 && m_fd < 0; ++attempt) {
            platform::makeWorkFolderRoot();
            const int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) {
                m_error = errno;
                // A root that is missing is missing because it could not be made: say why.
                if (m_error == ENOENT && ::mkdir(root.constData(), 0700) != 0)
                    m_error = errno;
                continue;
            }
            struct stat opened {
            }, now{};
            if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &opened) == 0 &&
                ::stat(root.constData(), &now) == 0 && opened.st_ino == now.st_ino &&
                opened.st_dev == now.st_dev)
                m_fd = fd;
            else
                ::close(fd);
        }
    }
    ~RootLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Q_DISABLE_COPY_MOVE(RootLock)

    int fd() const { return m_fd; }
    // Why the root could not be opened and locked.
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = EAGAIN;
};

// The names in the root, "." and ".." left out.
QList<QByteArray> entriesOf(int rootFd)
{
    QList<QByteArray> names;
    const int fd = ::dup(rootFd);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    return names;
}

bool isLockName(const QByteArray& name)
{
    return name.size() > qsizetype(sizeof kLockSuffix - 1) && name.endsWith(kLockSuffix);
}

// Removes what no running instance holds: a folder whose lock file can be locked, with that
// file; a folder without a lock file; anything else left loose in the root.
void removeAbandoned(int rootFd, const QString& root)
{
    const QList<QByteArray> names = entriesOf(rootFd);
    for (const QByteArray& name : names) {
        struct stat st {
        };
        if (::fstatat(rootFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (!names.contains(name + kLockSuffix))
                platform::deleteFolderTree(platform::withSlash(root) + QFile::decodeName(name));
            continue;
        }
        if (S_ISREG(st.st_mode) && isLockName(name)) {
            const QByteArray folder = name.chopped(qsizetype(sizeof kLockSuffix - 1));
            const int fd = lockFolder(rootFd, folder, false);
            if (fd < 0)
                continue; // held by a running instance
            platform::deleteFolderTree(platform::withSlash(root) + QFile::decodeName(folder));
            ::unlinkat(rootFd, name.constData(), 0);
            ::close(fd);
            continue;
        }
        ::unlinkat(rootFd, name.constData(), 0);
    }
}

// Makes a new folder for this instance and locks it.
bool makeOwnFolder(int rootFd, const QString& root)
{
    QByteArray path =
        encoded(platform::withSlash(root)) + "koramo-" + QByteArray::number(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(path.data())) {
        failed(root, errno);
        return false;
    }
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const int fd = lockFolder(rootFd, name, true);
    if (fd < 0) {
        failed(QFile::decodeName(path), errno);
        ::unlinkat(rootFd, name.constData(), AT_REMOVEDIR);
        return false;
    }
    claim().folder = QFile::decodeName(path) + QLatin1Char('/');
    claim().lockFd = fd;
    claim().failure = {};
    return true;
}

} // namespace

bool claimWorkFolder()
{
    if (!claim().folder.isEmpty())
        return true;
    const RootLock lock;
    if (lock.fd() < 0) {
        failed(platform::workFolderRoot(), lock.error());
        return false;
    }
    const QString root = platform::workFolderRoot();
    removeAbandoned(lock.fd(), root);
    return makeOwnFolder(lock.fd(), root);
}

QString workFolderPath()
{
    claimWorkFolder();
    return claim().folder;
}

WorkFolderFailure workFolderFailure()
{
    return claim().folder.isEmpty() ? claim().failure : WorkFolderFailure();
}

void prepareWorkFolder()
{
    if (!claimWorkFolder())
        return;
    deleteFolderTree(claim().folder);
    // Fails harmlessly when the folder could not be removed and is still there.
    QDir().mkdir(claim().folder);
}

void releaseWorkFolder()
{
    if (claim().folder.isEmpty())
        return;
    const QString folder = claim().folder;
    const RootLock lock;
    deleteFolderTree(folder);
    ::unlink(encoded(folder.chopped(1) + QLatin1String(kLockSuffix)).constData());
    ::close(claim().lockFd);
    claim() = Claim();
    // What no running instance holds goes too (left by one that died, or loose in the root).
    if (lock.fd() >= 0)
        removeAbandoned(lock.fd(), platform::workFolderRoot());
    // Only an empty root goes; another instance's folder keeps it.
    ::rmdir(encoded(platform::workFolderRoot()).constData());
}

void deleteFolderTree(const QString& path)
{
    platform::deleteFolderTree(path);
}

} // namespace app
