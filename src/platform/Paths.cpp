#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <sys/stat.h>

namespace platform {

namespace {
QString& overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder)
{
    overrideFolder() = folder;
}

QString withSlash(const QString& path)
{
    if (path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

QString namePart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

bool isDriveRoot(const QString& path)
{
    QString clean = QDir::cleanPath(path);
    if (clean == QLatin1String("/"))
        return true;
    // A mount point lies on another device than its parent folder.
    struct stat self{}, parent{};
    const QByteArray here = QFile::encodeName(clean);
    const QByteArray up = QFile::encodeName(QFileInfo(clean).absolutePath());
    if (::lstat(here.constData(), &self) != 0 || ::lstat(up.constData(), &parent) != 0)
        return false;
    if (S_ISLNK(self.st_mode))
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

} // namespace platform
