#include "platform/shell/RunnerPaths.h"

#include "base/NativePath.h"
#include "platform/shell/FolderWalk.h"

#include <QDir>

#include <cerrno>

namespace platform::runnerpaths
{

QString text(const QByteArray& path)
{
    return fromNativePath(path);
}

QString shown(const QByteArray& path)
{
    return displayPath(fromNativePath(path));
}

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray absolute(const QString& path)
{
    return toNativePath(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

qint64 unitsOf(const QByteArray& path, const struct stat& info, bool withBytes,
               const std::atomic<bool>* stop)
{
    const auto units = [withBytes](const struct stat& st) {
        return 1 + (withBytes && S_ISREG(st.st_mode) ? qint64(st.st_size) : 0);
    };
    if (!S_ISDIR(info.st_mode))
        return units(info);
    qint64 total = 1;
    folderwalk::Walk walk;
    walk.visit = [&](const folderwalk::Walk::Item& item) {
        if (stop && *stop)
            return folderwalk::Walk::Next::Stop;
        if (item.entry.error == 0)
            total += units(item.entry.info);
        return folderwalk::Walk::Next::Enter;
    };
    walk.run(path);
    return total;
}

bool makeFolders(const QByteArray& path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const QByteArray parent = folderOf(path);
    if (parent != path && !makeFolders(parent))
        return false;
    return ::mkdir(path.constData(), 0777) == 0 || errno == EEXIST;
}

} // namespace platform::runnerpaths
