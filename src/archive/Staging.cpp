#include "archive/Staging.h"

#include "platform/FolderDeletion.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace archive
{

namespace
{
constexpr int kMaxDepth = 64;
constexpr qint64 kChunk = 1 << 20;

enum class Kind { Missing, File, Folder, Other };

// What is at the path, without following a link (follow: what a link points at).
Kind kindOf(const QString& path, bool follow)
{
    struct stat st {
    };
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        return Kind::Missing;
    if (S_ISREG(st.st_mode))
        return Kind::File;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return Kind::Other;
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
void keepTimesAndMode(const QString& from, const QString& to)
{
    struct stat st {
    };
    const QByteArray target = QFile::encodeName(to);
    if (::stat(QFile::encodeName(from).constData(), &st) != 0)
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

qint64 StagingCopy::sizeOf(const QString& path, int depth) const
{
    const Kind kind = kindOf(path, depth == 0);
    if (kind == Kind::File)
        return QFileInfo(path).size();
    if (kind != Kind::Folder || depth > kMaxDepth)
        return 0;
    qint64 sum = 0;
    for (const QString& name : namesIn(path))
        sum += sizeOf(path + QLatin1Char('/') + name, depth + 1);
    return sum;
}

void StagingCopy::run()
{
    qint64 sum = 0;
    for (const StagingItem& item : m_items)
        sum += sizeOf(item.source, 0);
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
        ok = copyFile(item.source, part, outcome.error);
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
        ok = copyFolder(item.source, part, 0, outcome);
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

bool StagingCopy::copyFile(const QString& from, const QString& to, QString& error)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("読めません (%1)").arg(in.errorString());
        return false;
    }
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = QStringLiteral("書き込めません (%1)").arg(out.errorString());
        return false;
    }
    QByteArray buffer(kChunk, Qt::Uninitialized);
    for (;;) {
        if (cancel)
            return false;
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            error = QStringLiteral("読めません (%1)").arg(in.errorString());
            return false;
        }
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n) {
            error = QStringLiteral("書き込めません (%1)").arg(out.errorString());
            return false;
        }
        done += n;
    }
    if (!out.flush() || out.error() != QFileDevice::NoError) {
        error = QStringLiteral("書き込めません (%1)").arg(out.errorString());
        return false;
    }
    out.close();
    keepTimesAndMode(from, to);
    return true;
}

bool StagingCopy::copyFolder(const QString& from, const QString& to, int depth,
                             StagingOutcome& outcome)
{
    if (depth > kMaxDepth) {
        outcome.error = QStringLiteral("フォルダが深すぎます: ") + from;
        return false;
    }
    if (!QDir().mkdir(to)) {
        outcome.error = QStringLiteral("フォルダを作れません: ") + to;
        return false;
    }
    if (!QFileInfo(from).isReadable() || !QFileInfo(from).isExecutable()) {
        outcome.error = QStringLiteral("フォルダを読めません: ") + from;
        return false;
    }
    for (const QString& name : namesIn(from)) {
        if (cancel)
            return false;
        const QString source = from + QLatin1Char('/') + name;
        const QString target = to + QLatin1Char('/') + name;
        switch (kindOf(source, false)) {
        case Kind::File:
            if (!copyFile(source, target, outcome.error)) {
                outcome.error = source + QStringLiteral(": ") + outcome.error;
                return false;
            }
            break;
        case Kind::Folder:
            if (!copyFolder(source, target, depth + 1, outcome))
                return false;
            break;
        case Kind::Missing:
        case Kind::Other:
            outcome.leftOut << source;
            break;
        }
    }
    keepTimesAndMode(from, to);
    return true;
}

} // namespace archive
