#include "platform/shell/FileSearch.h"

#include "platform/NameMasks.h"
#include "platform/NativePath.h"
#include "platform/shell/FolderWalk.h"
#include "platform/shell/TextFinder.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <linux/magic.h>
#include <set>
#include <sys/vfs.h>
#include <utility>

namespace platform
{

namespace fw = folderwalk;

QString FoundFile::path() const
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool isPseudoFileSystem(int folderFd)
{
    struct statfs fs {
    };
    if (::fstatfs(folderFd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
    case BINFMTFS_MAGIC:
    case 0x62656570UL: // configfs
    case 0x65735543UL: // fusectl
        return true;
    default:
        return false;
    }
}

FileSearch::FileSearch(FileSearchQuery query, Sink sink)
    : m_query(std::move(query)), m_sink(std::move(sink))
{
}

void FileSearch::setBatching(int files, int milliseconds)
{
    m_batchFiles = qMax(1, files);
    m_batchMilliseconds = qMax(0, milliseconds);
}

FileSearchSummary FileSearch::run(const std::atomic<bool>& cancelled)
{
    FileSearchSummary summary;
    const NameMasks masks(m_query.pattern.trimmed().isEmpty() ? QStringLiteral("*")
                                                              : m_query.pattern);
    const TextFinder finder(m_query.text, m_query.chunkBytes);
    const bool byContent = !m_query.text.isEmpty();
    const QByteArray root = toNativePath(m_query.folder);

    QList<FoundFile> batch;
    QElapsedTimer sinceSent;
    sinceSent.start();
    // The folder of the entries being visited, as text, made once per folder.
    QByteArray folderBytes;
    QString folderText;
    dev_t folderDevice = 0;
    auto send = [&] {
        if (!batch.isEmpty())
            m_sink(std::exchange(batch, {}), folderText);
        sinceSent.restart();
    };
    // Folders entered, by device and inode: a bind mount that leads back up is not walked
    // round and round.
    std::set<std::pair<dev_t, ino_t>> entered;
    {
        const fw::FileDescriptor top(fw::openFolder(root));
        struct stat st {
        };
        if (top.get() >= 0 && ::fstat(top.get(), &st) == 0) {
            if (isPseudoFileSystem(top.get()))
                return summary;
            entered.insert({st.st_dev, st.st_ino});
        }
    }

    fw::Walk walk;
    walk.visit = [&](const fw::Walk::Item& item) {
        if (cancelled.load(std::memory_order_relaxed))
            return fw::Walk::Next::Stop;
        ++summary.examined;
        const QByteArrayView parent =
            QByteArrayView(item.path).first(item.path.size() - item.entry.name.size());
        if (parent != folderBytes) {
            folderBytes = parent.toByteArray();
            folderText = fromNativePath(folderBytes.size() > 1 && folderBytes.endsWith('/')
                                            ? folderBytes.chopped(1)
                                            : folderBytes);
            struct stat here {
            };
            folderDevice = ::fstat(item.folderFd, &here) == 0 ? here.st_dev : 0;
        }
        const struct stat& st = item.entry.info;
        if (item.isFolder()) {
            if (!m_query.subfolders || !entered.insert({st.st_dev, st.st_ino}).second)
                return fw::Walk::Next::Skip;
            if (st.st_dev == folderDevice)
                return fw::Walk::Next::Enter;
            // Another mounted file system begins here.
            const fw::FileDescriptor sub(fw::openFolderAt(item.folderFd, item.entry.name));
            return sub.get() >= 0 && isPseudoFileSystem(sub.get()) ? fw::Walk::Next::Skip
                                                                   : fw::Walk::Next::Enter;
        }
        if (item.entry.error != 0)
            return fw::Walk::Next::Skip;
        const QString name = fromNativePath(item.entry.name);
        if (!masks.matches(name))
            return fw::Walk::Next::Skip;
        if (byContent) {
            // Only regular files are read; a link, FIFO, socket or device is never opened.
            if (!S_ISREG(st.st_mode) || st.st_size == 0)
                return fw::Walk::Next::Skip;
            switch (finder.searchFileAt(item.folderFd, item.entry.name, cancelled)) {
            case TextFinder::Result::Found:
                break;
            case TextFinder::Result::Cancelled:
                return fw::Walk::Next::Stop;
            case TextFinder::Result::Unreadable:
                ++summary.unreadableFiles;
                return fw::Walk::Next::Skip;
            default:
                return fw::Walk::Next::Skip;
            }
        }
        FoundFile found;
        found.name = name;
        found.folder = folderText;
        found.size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
        found.modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        batch.append(std::move(found));
        ++summary.found;
        if (batch.size() >= m_batchFiles || sinceSent.elapsed() >= m_batchMilliseconds)
            send();
        return fw::Walk::Next::Skip;
    };
    walk.unreadable = [&](const QByteArray&, int) {
        ++summary.unreadableFolders;
        return true;
    };
    walk.run(root);
    summary.cancelled = cancelled.load();
    if (!summary.cancelled)
        send();
    return summary;
}

} // namespace platform
