#include "fileops/NameRules.h"

#include "base/NativePath.h"
#include "base/Paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileops
{

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        return false;
    // A line break or another control character makes a name that lists, scripts and the
    // other programs of the desktop take for two names or garbage.
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QString keptExtension(const QString& oldName)
{
    const QString name = platform::namePart(oldName);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return QString();
    const QString extension = name.mid(dot);
    if (extension.compare(QStringLiteral(".html"), Qt::CaseInsensitive) == 0)
        return QStringLiteral(".html");
    return extension;
}

int renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = platform::toNativePath(from);
    const QByteArray target = platform::toNativePath(to);
    struct stat st {
    };
    if (::lstat(target.constData(), &st) == 0)
        return EEXIST;
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link fails on an existing name just
    // the same; one without hard links is left with the plain rename after the check above.
    if (::link(source.constData(), target.constData()) == 0)
        return ::unlink(source.constData()) == 0 ? 0 : errno;
    if (errno == EEXIST)
        return EEXIST;
    return ::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

int makeFolder(const QString& path)
{
    return ::mkdir(platform::toNativePath(path).constData(), 0777) == 0 ? 0 : errno;
}

} // namespace fileops
