#include "platform/shell/Trash.h"

#include "base/NativePath.h"
#include "platform/shell/FileCopy.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::trash
{

namespace
{

QByteArray bytes(const QString& path)
{
    return toNativePath(path);
}

bool isOwnPrivateFolder(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// Makes `folder` (mode 0700) unless it exists; true when it is a real folder of ours.
bool ensurePrivateFolder(const QByteArray& folder)
{
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isOwnPrivateFolder(folder);
}

bool ensureTrashFolders(const QByteArray& trash)
{
    return ensurePrivateFolder(trash) && ensurePrivateFolder(trash + "/files") &&
           ensurePrivateFolder(trash + "/info");
}

// The mount point holding `path`: the topmost parent on the same device.
QByteArray topFolder(const QByteArray& path, dev_t device)
{
    QByteArray current = path;
    for (;;) {
        const qsizetype slash = current.lastIndexOf('/');
        if (slash <= 0)
            return QByteArrayLiteral("/");
        const QByteArray parent = current.left(slash);
        struct stat st;
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device)
            return current;
        current = parent;
    }
}

struct Target {
    QByteArray trash;  // the trash folder (holding files/ and info/)
    QByteArray prefix; // what the Path= key is relative to ("" for absolute paths)
};

// Percent-encodes a path for the Path= key: everything but unreserved characters and '/'.
QByteArray encodedPath(const QByteArray& path)
{
    return path.toPercentEncoding(QByteArrayLiteral("/"));
}

void splitName(const QByteArray& name, QByteArray& stem, QByteArray& suffix)
{
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0) {
        stem = name.left(dot);
        suffix = name.mid(dot);
    } else {
        stem = name;
        suffix.clear();
    }
}

} // namespace

QString homeTrash()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome) + QStringLiteral("/Trash");
}

Outcome moveToTrash(const QString& pathText)
{
    Outcome outcome;
    const QByteArray path = bytes(QDir::cleanPath(pathText));
    struct stat item;
    if (::lstat(path.constData(), &item) != 0) {
        outcome.result = Result::Failed;
        outcome.reason = filecopy::errorText(errno);
        return outcome;
    }

    // Home trash when the item lives on the same device, else the volume's own trash.
    Target target;
    const QByteArray home = bytes(homeTrash());
    const QByteArray homeParent = home.left(home.lastIndexOf('/'));
    QDir().mkpath(fromNativePath(homeParent));
    struct stat homeInfo;
    if (::stat(homeParent.constData(), &homeInfo) == 0 && homeInfo.st_dev == item.st_dev) {
        if (!ensureTrashFolders(home)) {
            outcome.result = Result::NoTrash;
            outcome.reason =
                QStringLiteral("ごみ箱のフォルダを作れません: ") + fromNativePath(home);
            return outcome;
        }
        target.trash = home;
    } else {
        const QByteArray top = topFolder(path, item.st_dev);
        const QByteArray base = top == "/" ? QByteArray() : top;
        const QByteArray uid = QByteArray::number(uint(::getuid()));
        // $topdir/.Trash counts only as a real sticky folder (not a link).
        struct stat shared;
        const QByteArray sharedTrash = base + "/.Trash";
        if (::lstat(sharedTrash.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
            (shared.st_mode & S_ISVTX) && ensureTrashFolders(sharedTrash + "/" + uid)) {
            target.trash = sharedTrash + "/" + uid;
        } else if (ensureTrashFolders(base + "/.Trash-" + uid)) {
            target.trash = base + "/.Trash-" + uid;
        } else {
            outcome.result = Result::NoTrash;
            outcome.reason = QStringLiteral("このドライブ (%1) にはごみ箱がありません。")
                                 .arg(fromNativePath(top));
            return outcome;
        }
        target.prefix = base + "/";
    }
    if (path.startsWith(QByteArray(target.trash + "/")) || path == target.trash) {
        outcome.result = Result::NoTrash;
        outcome.reason = QStringLiteral("ごみ箱の中の項目です。");
        return outcome;
    }

    QByteArray relative = path;
    if (!target.prefix.isEmpty())
        relative = path.mid(target.prefix.size());
    const QByteArray content =
        "[Trash Info]\nPath=" + encodedPath(relative) + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
        "\n";

    // Reserve a name by creating its info file exclusively, then move the item in.
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    QByteArray stem, suffix;
    splitName(name, stem, suffix);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray candidate = n == 1 ? name : stem + "." + QByteArray::number(n) + suffix;
        const QByteArray info = target.trash + "/info/" + candidate + ".trashinfo";
        const QByteArray files = target.trash + "/files/" + candidate;
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            outcome.result = Result::NoTrash;
            outcome.reason = filecopy::errorText(errno);
            return outcome;
        }
        struct stat existing;
        if (::lstat(files.constData(), &existing) == 0) {
            // A stray item without an info file holds this name.
            ::close(fd);
            ::unlink(info.constData());
            continue;
        }
        const bool written =
            ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
        const int writeError = errno;
        if (::close(fd) != 0 || !written) {
            ::unlink(info.constData());
            outcome.result = Result::Failed;
            outcome.reason = filecopy::errorText(written ? errno : writeError);
            return outcome;
        }
        if (::rename(path.constData(), files.constData()) != 0) {
            const int error = errno;
            ::unlink(info.constData());
            outcome.result = error == EXDEV ? Result::NoTrash : Result::Failed;
            outcome.reason = filecopy::errorText(error);
            return outcome;
        }
        outcome.result = Result::Trashed;
        outcome.trashed = fromNativePath(files);
        outcome.infoFile = fromNativePath(info);
        return outcome;
    }
    outcome.result = Result::Failed;
    outcome.reason = QStringLiteral("ごみ箱に同じ名前の項目が多すぎます。");
    return outcome;
}

} // namespace platform::trash
