#include "base/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{
QString& overrideFolder()
{
    static QString folder;
    return folder;
}

// Where an installed executable (PREFIX/bin) finds the program's parts (PREFIX/lib/koramo).
const char* const kInstalledPartsFolder = "../lib/koramo";
const char* const kMarkerLibrary = "libunlha32.so";

// An XDG base folder: the variable when it names an absolute path, else the fallback in home.
QString baseFolder(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

// Makes the folder and its missing parents; the folder itself is given the mode (which only
// its owner can do).
bool makeFolder(const QString& path, mode_t mode)
{
    if (!QDir().mkpath(path))
        return false;
    ::chmod(QFile::encodeName(path).constData(), mode);
    return true;
}

QString userFolder(const char* variable, const char* fallback)
{
    return baseFolder(variable, fallback) + QStringLiteral("/koramo");
}
} // namespace

QString programFolderOf(const QString& executableFolder)
{
    const QString marker = QLatin1String(kMarkerLibrary);
    if (QFileInfo::exists(withSlash(executableFolder) + marker))
        return executableFolder;
    const QString installed =
        QDir::cleanPath(withSlash(executableFolder) + QLatin1String(kInstalledPartsFolder));
    if (QFileInfo::exists(withSlash(installed) + marker))
        return installed;
    return executableFolder;
}

QString dataFolderOf(const QString& programFolder)
{
    const QDir parts(programFolder);
    QDir lib(programFolder);
    if (parts.dirName() != QLatin1String("koramo") || !lib.cdUp() ||
        lib.dirName() != QLatin1String("lib"))
        return programFolder;
    const QString shared = QDir::cleanPath(lib.absolutePath() + QStringLiteral("/../share/koramo"));
    return QFileInfo(shared).isDir() ? shared : programFolder;
}

QString programFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    static const QString folder = programFolderOf(QCoreApplication::applicationDirPath());
    return folder;
}

bool keepsFilesBesideProgram()
{
    const QString folder = programFolder();
    if (overrideFolder().isEmpty() && folder != QCoreApplication::applicationDirPath())
        return false; // installed: the parts folder belongs to the system
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

QString settingsFolder()
{
    if (keepsFilesBesideProgram())
        return programFolder();
    const QString folder = userFolder("XDG_CONFIG_HOME", ".config");
    makeFolder(folder, 0700);
    return folder;
}

QString settingsFilePath()
{
    return settingsFolder() + QStringLiteral("/exp.ini");
}

QString workFolderRoot()
{
    if (keepsFilesBesideProgram())
        return withSlash(programFolder()) + QStringLiteral("temp");
    return userFolder("XDG_CACHE_HOME", ".cache") + QStringLiteral("/temp");
}

bool makeWorkFolderRoot()
{
    const QString root = workFolderRoot();
    if (keepsFilesBesideProgram())
        return QDir().mkpath(root);
    return makeFolder(QFileInfo(root).path(), 0700) && makeFolder(root, 0700);
}

void setProgramFolder(const QString& folder)
{
    overrideFolder() = folder;
}

QString withSlash(const QString& path)
{
    // An empty path names no folder; it never becomes the root.
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
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
    struct stat self {
    }, parent{};
    const QByteArray here = QFile::encodeName(clean);
    const QByteArray up = QFile::encodeName(QFileInfo(clean).absolutePath());
    if (::lstat(here.constData(), &self) != 0 || ::lstat(up.constData(), &parent) != 0)
        return false;
    if (S_ISLNK(self.st_mode))
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

} // namespace platform
