#include "platform/shell/FileSearch.h"

#include "base/NameMasks.h"
#include "base/NativePath.h"
#include "platform/shell/FolderWalk.h"
#include "platform/shell/TextFinder.h"

#include <QElapsedTimer>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <set>
#include <sys/vfs.h>
#include <unistd.h>
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

// One search's walk. Each folder is read with readdir's entry types, so that only the names that
// match are looked at with a stat (their size and date), folders are listed first and entered
// after their folder is closed, and each folder is opened with O_NOFOLLOW relative to its parent.
class FileSearch::Walker final
{
public:
    Walker(const FileSearch& search, const std::atomic<bool>& cancelled)
        : m_search(search), m_query(search.m_query), m_cancelled(cancelled),
          m_masks(m_query.pattern.trimmed().isEmpty() ? QStringLiteral("*") : m_query.pattern),
          m_finder(m_query.text, m_query.chunkBytes)
    {
        m_sinceSent.start();
    }

    FileSearchSummary run()
    {
        const QByteArray root = toNativePath(m_query.folder);
        const fw::FileDescriptor top(fw::openFolder(root));
        if (top.get() < 0)
            ++m_summary.unreadableFolders;
        else
            walk(top.get(), root, m_query.folder, 0);
        m_summary.cancelled = m_cancelled.load();
        if (!m_summary.cancelled)
            send();
        return m_summary;
    }

private:
    bool stopped() const { return m_cancelled.load(std::memory_order_relaxed); }

    void send()
    {
        if (!m_batch.isEmpty())
            m_search.m_sink(std::exchange(m_batch, {}), m_folderText);
        m_sinceSent.restart();
    }

    // False when the search was stopped.
    bool walk(int fd, const QByteArray& path, const QString& text, dev_t parentDevice)
    {
        struct stat here {
        };
        if (::fstat(fd, &here) != 0)
            return true;
        // A folder seen before (a bind mount that leads back up) is not walked again; the
        // kernel's pseudo file systems are not walked at all.
        if (!m_entered.insert({here.st_dev, here.st_ino}).second)
            return true;
        if (here.st_dev != parentDevice && isPseudoFileSystem(fd))
            return true;
        m_folderText = text;
        QList<QByteArray> folders;
        if (!readEntries(fd, folders))
            return false;
        for (const QByteArray& name : std::as_const(folders)) {
            if (stopped())
                return false;
            const fw::FileDescriptor sub(fw::openFolderAt(fd, name));
            const QByteArray subPath = fw::join(path, name);
            if (sub.get() < 0) {
                ++m_summary.unreadableFolders;
                continue;
            }
            if (!walk(sub.get(), subPath, fromNativePath(subPath), here.st_dev))
                return false;
        }
        return true;
    }

    bool readEntries(int fd, QList<QByteArray>& folders)
    {
        const int copy = ::dup(fd);
        DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
        if (!dir) {
            if (copy >= 0)
                ::close(copy);
            ++m_summary.unreadableFolders;
            return true;
        }
        bool going = true;
        errno = 0;
        while (const struct dirent* d = ::readdir(dir)) {
            const char* n = d->d_name;
            if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
                continue;
            if (stopped()) {
                going = false;
                break;
            }
            ++m_summary.examined;
            unsigned char type = d->d_type;
            struct stat st {
            };
            bool haveStat = false;
            if (type == DT_UNKNOWN) {
                if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                haveStat = true;
                type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            }
            if (type == DT_DIR) {
                if (m_query.subfolders)
                    folders.append(QByteArray(n));
            } else if (!visitFile(fd, n, haveStat ? &st : nullptr)) {
                going = false;
                break;
            }
            errno = 0;
        }
        if (going && errno != 0)
            ++m_summary.unreadableFolders;
        ::closedir(dir);
        return going;
    }

    // False when the search was stopped.
    bool visitFile(int fd, const char* rawName, const struct stat* known)
    {
        const QByteArray bytes(rawName);
        const QString name = fromNativePath(bytes);
        if (!m_masks.matches(name))
            return true;
        struct stat st {
        };
        if (known)
            st = *known;
        else if (::fstatat(fd, rawName, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        if (S_ISDIR(st.st_mode))
            return true;
        if (!m_query.text.isEmpty()) {
            // Only regular files are read; a link, FIFO, socket or device is never opened.
            if (!S_ISREG(st.st_mode) || st.st_size == 0)
                return true;
            switch (m_finder.searchFileAt(fd, bytes, m_cancelled)) {
            case TextFinder::Result::Found:
                break;
            case TextFinder::Result::Cancelled:
                return false;
            case TextFinder::Result::Unreadable:
                ++m_summary.unreadableFiles;
                return true;
            default:
                return true;
            }
        }
        FoundFile found;
        found.name = name;
        found.folder = m_folderText;
        found.size = S_ISREG(st.st_mode) ? qint64(st.st_size) : 0;
        found.modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        m_batch.append(std::move(found));
        ++m_summary.found;
        if (m_batch.size() >= m_search.m_batchFiles ||
            m_sinceSent.elapsed() >= m_search.m_batchMilliseconds)
            send();
        return true;
    }

    const FileSearch& m_search;
    const FileSearchQuery& m_query;
    const std::atomic<bool>& m_cancelled;
    const NameMasks m_masks;
    const TextFinder m_finder;
    FileSearchSummary m_summary;
    QList<FoundFile> m_batch;
    QElapsedTimer m_sinceSent;
    QString m_folderText;
    std::set<std::pair<dev_t, ino_t>> m_entered;
};

FileSearchSummary FileSearch::run(const std::atomic<bool>& cancelled)
{
    return Walker(*this, cancelled).run();
}

} // namespace platform
