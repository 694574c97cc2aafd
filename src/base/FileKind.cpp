#include "base/FileKind.h"

#include "base/NativePath.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    return FileKind::Special;
}

} // namespace

FileStatus fileStatus(const QString& path)
{
    FileStatus status;
    if (path.isEmpty())
        return status;
    const QByteArray native = toNativePath(path);
    struct stat st {
    };
    if (::lstat(native.constData(), &st) != 0)
        return status;
    status.isLink = S_ISLNK(st.st_mode);
    if (status.isLink && ::stat(native.constData(), &st) != 0)
        return status; // a link that leads nowhere
    status.kind = kindOf(st.st_mode);
    status.size = status.kind == FileKind::Regular ? qint64(st.st_size) : 0;
    status.modified = QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                                     st.st_mtim.tv_nsec / 1000000);
    return status;
}

FileKind fileKind(const QString& path)
{
    return fileStatus(path).kind;
}

bool isRegularFile(const QString& path)
{
    return fileKind(path) == FileKind::Regular;
}

bool openRegularFile(const QString& path, QFile& file)
{
    if (!isRegularFile(path))
        return false;
    const QByteArray native = toNativePath(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // Regular files ignore O_NONBLOCK; cleared all the same so reads behave as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace platform
