#include "platform/shortcut/Shortcut.h"

#include "base/NativePath.h"
#include "base/Paths.h"
#include "platform/shell/FileCopy.h"
#include "platform/shortcut/DesktopEntry.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

const QString kSuffix = QStringLiteral(".desktop");

// The folder part of a path, "/" for a name in the root.
QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// What the launcher starts: an executable regular file itself, anything else through the
// desktop's opener.
desktop::Launcher launcherFor(const QString& link, const QString& target,
                              const QString& workingFolder)
{
    desktop::Launcher launcher;
    launcher.name = namePart(link);
    if (launcher.name.endsWith(kSuffix))
        launcher.name.chop(kSuffix.size());
    launcher.workingFolder = workingFolder;
    const QFileInfo info(target);
    if (info.isDir()) {
        launcher.command = {QStringLiteral("xdg-open"), target};
        launcher.icon = QStringLiteral("folder");
    } else if (info.isFile() && info.isExecutable()) {
        launcher.command = {target};
        launcher.icon = QStringLiteral("application-x-executable");
    } else {
        launcher.command = {QStringLiteral("xdg-open"), target};
        const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        launcher.icon = type.isValid() ? type.iconName() : QStringLiteral("text-x-generic");
    }
    return launcher;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Puts the finished temporary file in place: beside no existing file, or over one in a single
// rename. A file system without the no-replace rename gets a hard link, which fails on an
// existing name just the same.
bool putInPlace(const QByteArray& from, const QByteArray& to, ShortcutReplace replace)
{
    if (replace == ShortcutReplace::Existing)
        return ::rename(from.constData(), to.constData()) == 0;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// 0 when written, else the errno of the step that failed.
int writeLauncher(const QString& file, const QByteArray& text, ShortcutReplace replace)
{
    const QByteArray path = toNativePath(file);
    QByteArray temporary = toNativePath(parentOf(file)) + "/.koramo-shortcut-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    int error = 0;
    if (!writeAll(fd, text) || ::fchmod(fd, 0755) != 0 || ::fsync(fd) != 0)
        error = errno ? errno : EIO;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && !putInPlace(temporary, path, replace))
        error = errno;
    if (error)
        ::unlink(temporary.constData());
    return error;
}

bool setMetadata(GFile* file, const char* key, const QByteArray& value)
{
    GError* error = nullptr;
    const gboolean set = g_file_set_attribute_string(file, key, value.constData(),
                                                     G_FILE_QUERY_INFO_NONE, nullptr, &error);
    if (error)
        g_error_free(error);
    return set;
}

// A value of user-dirs.dirs: "$HOME/path" or "/absolute/path", between double quotes.
QString userDirValue(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    value.replace(QStringLiteral("\\\""), QStringLiteral("\""));
    if (value == QStringLiteral("$HOME") || value.startsWith(QStringLiteral("$HOME/")))
        return QDir::homePath() + value.mid(5);
    return value.startsWith(QLatin1Char('/')) ? value : QString();
}

} // namespace

QString shortcutFileOf(const QString& link)
{
    return link.endsWith(kSuffix) ? link : link + kSuffix;
}

int CreateShortCut(const QString& link, const QString& target, const QString& title,
                   const QString& workingFolder, ShortcutReplace replace, QString* reason)
{
    Q_UNUSED(title)
    auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return 0;
    };
    if (link.isEmpty() || link.endsWith(QLatin1Char('/')))
        return fail(QStringLiteral("ショートカット名がありません。"));
    if (target.isEmpty())
        return fail(QStringLiteral("リンクするファイル名がありません。"));
    const QString file = shortcutFileOf(link);
    const QByteArray text = desktop::launcherText(launcherFor(file, target, workingFolder));
    if (text.isEmpty() || hasForeignBytes(file))
        return fail(QStringLiteral("ショートカットに書けない文字が名前に含まれています。"));
    if (const int error = writeLauncher(file, text, replace))
        return fail(filecopy::errorText(error));
    markLauncherTrusted(file);
    return 1;
}

QString desktopFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !config.startsWith(QLatin1Char('/')))
        config = QDir::homePath() + QStringLiteral("/.config");
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    QString folder;
    if (dirs.open(QIODevice::ReadOnly)) {
        // A small file of shell assignments; the last assignment counts, as in the shell.
        while (!dirs.atEnd()) {
            const QString line = QString::fromUtf8(dirs.readLine(4096)).trimmed();
            if (line.startsWith(QStringLiteral("XDG_DESKTOP_DIR=")))
                folder = userDirValue(line.mid(16));
        }
    }
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Desktop");
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

int makeFolderPath(const QString& folder)
{
    const QByteArray path = toNativePath(folder);
    if (path.isEmpty())
        return ENOENT;
    // Each folder from the top down; one that is there already (made by someone else in the
    // meantime, too) is passed.
    for (qsizetype at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path.at(at) != '/')
            continue;
        const QByteArray part = path.left(at);
        if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat info {
    };
    if (::stat(path.constData(), &info) != 0)
        return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

QString shortcutErrorText(int error)
{
    return filecopy::errorText(error);
}

bool markLauncherTrusted(const QString& file)
{
    QFile launcher(file);
    if (!launcher.open(QIODevice::ReadOnly))
        return false;
    const QByteArray checksum =
        QCryptographicHash::hash(launcher.readAll(), QCryptographicHash::Sha256).toHex();
    GFile* gfile = g_file_new_for_path(toNativePath(file).constData());
    const bool trusted = setMetadata(gfile, "metadata::trusted", QByteArrayLiteral("true"));
    const bool checked = setMetadata(gfile, "metadata::xfce-exe-checksum", checksum);
    g_object_unref(gfile);
    return trusted || checked;
}

} // namespace platform
