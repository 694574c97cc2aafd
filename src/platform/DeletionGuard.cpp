#include "platform/DeletionGuard.h"

#include "base/NativePath.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <sys/stat.h>

namespace platform
{

namespace
{

// "\040" and the other octal escapes of a mountinfo field.
QByteArray unescapeField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The real path (links and ".." resolved), or empty when it cannot be resolved.
QByteArray realPath(const QByteArray& path)
{
    char* real = ::realpath(path.constData(), nullptr);
    if (!real)
        return QByteArray();
    QByteArray result(real);
    std::free(real);
    return result;
}

QByteArray withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `outer` is `inner` or one of the folders that hold it (real paths).
bool holds(const QByteArray& outer, const QByteArray& inner)
{
    if (outer == inner || outer == "/")
        return true;
    return inner.startsWith(QByteArray(outer + '/'));
}

} // namespace

QList<QByteArray> mountPoints()
{
    QList<QByteArray> points;
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return points;
    // A virtual file of no stated size: read to its end, then split.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        // id, parent id, major:minor, root, mount point, ...
        if (fields.size() > 4)
            points.append(unescapeField(fields.at(4)));
    }
    return points;
}

Protection protectionOf(const QString& path)
{
    if (path.isEmpty())
        return Protection::None;
    const QByteArray native = withoutTrailingSlashes(toNativePath(path));
    struct stat st {
    };
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Protection::None; // files and links go as themselves
    struct stat rootInfo {
    };
    if (::stat("/", &rootInfo) == 0 && sameFile(st, rootInfo))
        return Protection::Root;
    const QByteArray real = realPath(native);
    if (real == "/")
        return Protection::Root;

    // Home, and the folders that hold it.
    const QByteArray home = realPath(toNativePath(QDir::homePath()));
    struct stat homeInfo {
    };
    if (!home.isEmpty() && ::stat(home.constData(), &homeInfo) == 0) {
        if (sameFile(st, homeInfo) || (!real.isEmpty() && holds(real, home)))
            return Protection::Home;
    }

    // A mount point: on another device than its parent, or listed as one (a bind mount of a
    // folder of the same volume keeps the device).
    const QByteArray parent = native + "/..";
    struct stat parentInfo {
    };
    if (::stat(parent.constData(), &parentInfo) == 0 && parentInfo.st_dev != st.st_dev)
        return Protection::MountPoint;
    if (!real.isEmpty() && mountPoints().contains(real))
        return Protection::MountPoint;
    return Protection::None;
}

QByteArray mountInside(const QString& folder)
{
    const QByteArray real = realPath(withoutTrailingSlashes(toNativePath(folder)));
    if (real.isEmpty())
        return QByteArray();
    const QByteArray prefix = real == "/" ? QByteArray("/") : real + '/';
    for (const QByteArray& point : mountPoints()) {
        if (point != real && point.startsWith(prefix))
            return point;
    }
    return QByteArray();
}

QString protectedFolderText(const QString& path, bool move)
{
    return (move ? QStringLiteral(
                       "ルートフォルダ、マウントポイント、ホームフォルダは移動できません。\n")
                 : QStringLiteral(
                       "ルートフォルダ、マウントポイント、ホームフォルダは削除できません。\n")) +
           displayPath(path);
}

QString mountInsideText(const QString& path, const QString& mount)
{
    return QStringLiteral(
               "フォルダの中に別のボリュームがマウントされているため削除できません。\n") +
           displayPath(path) + QStringLiteral("\nマウントポイント: ") + displayPath(mount);
}

} // namespace platform
