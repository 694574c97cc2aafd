#include "archive/Staging.h"

#include "base/Paths.h"
#include "platform/FolderDeletion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archive
{

namespace
{
constexpr int kMaxDepth = 64;
constexpr qint64 kChunk = 1 << 20;

enum class Kind { Missing, File, Folder, Other };

// What is at the path, without following a link (follow: what a link points at).
Kind kindOf(const QByteArray& name, bool follow)
{
    struct stat st {
    };
    if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::File;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return Kind::Other;
}

Kind kindOf(const QString& path, bool follow)
{
    return kindOf(QFile::encodeName(path), follow);
}

// The names in a folder as they are on disk, sorted; a name that is not valid in the
// locale's encoding is kept byte for byte.
QList<QByteArray> rawNamesIn(const QByteArray& folder)
{
    QList<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Opens a regular file for reading without ever waiting on it: a file that was swapped for a
// pipe or a device after it was looked at is refused instead of blocking the copy for good.
int openRegularFile(const QByteArray& path, QString& error)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = QStringLiteral("読めません (%1)").arg(systemError());
        return -1;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = QStringLiteral("通常のファイルでもフォルダでもありません");
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool exists(const QString& path)
{
    struct stat st {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Takes the times and permissions of `from` over to `to` (the owner may always read and
// write the copy, so that the staging folder can be emptied).
void keepTimesAndMode(const QByteArray& from, const QByteArray& target)
{
    struct stat st {
    };
    if (::stat(from.constData(), &st) != 0)
        return;
    mode_t mode = (st.st_mode & 07777) | S_IRUSR | S_IWUSR;
    if (S_ISDIR(st.st_mode))
        mode |= S_IXUSR;
    ::chmod(target.constData(), mode);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, target.constData(), times, 0);
}
} // namespace

QString stagingFolderIn(const QString& workFolder)
{
    return platform::withSlash(workFolder) + QString::fromUtf16(kStagingFolderName) +
           QLatin1Char('/');
}

bool removeTree(const QString& path)
{
    if (kindOf(path, false) == Kind::Folder)
        platform::deleteFolderTree(path);
    else
        QFile::remove(path);
    return !exists(path);
}

bool emptyStagingFolder(const QString& staging)
{
    QString folder = staging;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    const bool removed = removeTree(folder);
    QDir().mkpath(folder);
    return removed && kindOf(folder, false) == Kind::Folder && namesIn(folder).isEmpty();
}

StagingCopy::StagingCopy(QString staging, QList<StagingItem> items)
    : m_staging(platform::withSlash(staging)), m_items(std::move(items))
{
}

qint64 StagingCopy::sizeOf(const QByteArray& path, int depth) const
{
    struct stat st {
    };
    if ((depth == 0 ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st)) != 0)
        return 0;
    if (S_ISREG(st.st_mode))
        return st.st_size;
    if (!S_ISDIR(st.st_mode) || depth > kMaxDepth)
        return 0;
    qint64 sum = 0;
    for (const QByteArray& name : rawNamesIn(path))
        sum += sizeOf(path + '/' + name, depth + 1);
    return sum;
}

void StagingCopy::run()
{
    qint64 sum = 0;
    for (const StagingItem& item : m_items)
        sum += sizeOf(QFile::encodeName(item.source), 0);
    total = sum;
    for (int i = 0; i < m_items.size(); ++i) {
        StagingOutcome outcome;
        if (cancel) {
            m_cancelled = true;
            break;
        }
        outcome.copied = copyItem(m_items.at(i), outcome);
        m_outcomes.append(outcome);
        if (cancel) {
            m_cancelled = true;
            break;
        }
    }
}

bool StagingCopy::copyItem(const StagingItem& item, StagingOutcome& outcome)
{
    const QString target = m_staging + item.name;
    const QString part = m_staging + QStringLiteral(".part-%1-").arg(m_outcomes.size()) + item.name;
    removeTree(part);
    bool ok = false;
    switch (kindOf(item.source, true)) {
    case Kind::File:
        ok = copyFile(QFile::encodeName(item.source), QFile::encodeName(part), outcome.error);
        break;
    case Kind::Folder: {
        // A folder that holds the staging folder would copy itself without end.
        const QString source = QFileInfo(item.source).canonicalFilePath();
        const QString staging = QFileInfo(m_staging).canonicalFilePath();
        if (!source.isEmpty() &&
            (staging == source || staging.startsWith(source + QLatin1Char('/')))) {
            outcome.error = QStringLiteral("作業フォルダを含むフォルダです");
            return false;
        }
        ok = copyFolder(QFile::encodeName(item.source), QFile::encodeName(part), 0, outcome);
        break;
    }
    case Kind::Missing:
        outcome.error = QStringLiteral("見つかりません");
        return false;
    case Kind::Other:
        outcome.error = QStringLiteral("通常のファイルでもフォルダでもありません");
        return false;
    }
    if (!ok || cancel) {
        removeTree(part);
        return false;
    }
    // The complete copy takes the place of an earlier one only now.
    const QByteArray from = QFile::encodeName(part);
    const QByteArray to = QFile::encodeName(target);
    if (kindOf(target, false) == Kind::Folder || kindOf(part, false) == Kind::Folder) {
        const QString old = m_staging + QStringLiteral(".old-") + item.name;
        removeTree(old);
        if (exists(target) && ::rename(to.constData(), QFile::encodeName(old).constData()) != 0) {
            outcome.error = QStringLiteral("前のコピーを置き換えられません");
            removeTree(part);
            return false;
        }
        const bool moved = ::rename(from.constData(), to.constData()) == 0;
        if (!moved)
            ::rename(QFile::encodeName(old).constData(), to.constData());
        removeTree(old);
        if (!moved) {
            outcome.error = QStringLiteral("作業フォルダに置けません");
            removeTree(part);
        }
        return moved;
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        outcome.error = QStringLiteral("作業フォルダに置けません");
        removeTree(part);
        return false;
    }
    return true;
}

bool StagingCopy::copyFile(const QByteArray& from, const QByteArray& to, QString& error)
{
    const int in = openRegularFile(from, error);
    if (in < 0)
        return false;
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        error = QStringLiteral("書き込めません (%1)").arg(systemError());
        ::close(in);
        return false;
    }
    QByteArray buffer(kChunk, Qt::Uninitialized);
    bool ok = true;
    while (ok) {
        if (cancel) {
            ok = false;
            break;
        }
        const ssize_t n = ::read(in, buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = QStringLiteral("読めません (%1)").arg(systemError());
            ok = false;
        } else if (n == 0) {
            break;
        } else if (!writeAll(out, buffer.constData(), n)) {
            error = QStringLiteral("書き込めません (%1)").arg(systemError());
            ok = false;
        } else {
            done += n;
        }
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        error = QStringLiteral("書き込めません (%1)").arg(systemError());
        ok = false;
    }
    if (ok)
        keepTimesAndMode(from, to);
    return ok;
}

bool StagingCopy::copyFolder(const QByteArray& from, const QByteArray& to, int depth,
                             StagingOutcome& outcome)
{
    if (depth > kMaxDepth) {
        outcome.error = QStringLiteral("フォルダが深すぎます: ") + shown(from);
        return false;
    }
    if (::mkdir(to.constData(), 0700) != 0) {
        outcome.error = QStringLiteral("フォルダを作れません: ") + shown(to);
        return false;
    }
    if (::access(from.constData(), R_OK | X_OK) != 0) {
        outcome.error = QStringLiteral("フォルダを読めません: ") + shown(from);
        return false;
    }
    for (const QByteArray& name : rawNamesIn(from)) {
        if (cancel)
            return false;
        const QByteArray source = from + '/' + name;
        const QByteArray target = to + '/' + name;
        switch (kindOf(source, false)) {
        case Kind::File:
            if (!copyFile(source, target, outcome.error)) {
                outcome.error = shown(source) + QStringLiteral(": ") + outcome.error;
                return false;
            }
            break;
        case Kind::Folder:
            if (!copyFolder(source, target, depth + 1, outcome))
                return false;
            break;
        case Kind::Missing:
        case Kind::Other:
            outcome.leftOut << shown(source);
            break;
        }
    }
    keepTimesAndMode(from, to);
    return true;
}

} // namespace archive
