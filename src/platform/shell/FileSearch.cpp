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
#include <vector>

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
        m_path = toNativePath(m_query.folder);
        const int top = fw::openFolder(m_path);
        if (top < 0)
            ++m_summary.unreadableFolders;
        else
            walk(top);
        m_summary.cancelled = m_cancelled.load();
        if (!m_summary.cancelled)
            send();
        return m_summary;
    }

private:
    // One open folder on the way down: its descriptor, its device, the subfolders still to
    // enter, and how long the shared path was before its name was added. What a level keeps
    // does not grow with the depth: the path is one buffer for the whole walk.
    struct Level {
        int fd = -1;
        dev_t device = 0;
        QList<QByteArray> folders;
        qsizetype next = 0;
        qsizetype pathLength = 0;
    };

    bool stopped() const { return m_cancelled.load(std::memory_order_relaxed); }

    void send()
    {
        if (!m_batch.isEmpty())
            m_search.m_sink(std::exchange(m_batch, {}), m_folderText);
        m_sinceSent.restart();
    }

    // Reads the open folder `fd` (whose path is m_path) onto the stack; false when it is not
    // to be walked (seen before, a pseudo file system, gone) and `fd` was closed.
    bool enter(std::vector<Level>& stack, int fd, dev_t parentDevice, qsizetype pathLength)
    {
        struct stat here {
        };
        // A folder seen before (a bind mount that leads back up) is not walked again; the
        // kernel's pseudo file systems are not walked at all.
        if (::fstat(fd, &here) != 0 || !m_entered.insert({here.st_dev, here.st_ino}).second ||
            (here.st_dev != parentDevice && isPseudoFileSystem(fd))) {
            ::close(fd);
            return false;
        }
        m_folderText = stack.empty() ? m_query.folder : fromNativePath(m_path);
        Level level;
        level.fd = fd;
        level.device = here.st_dev;
        level.pathLength = pathLength;
        stack.push_back(std::move(level));
        return true;
    }

    // Walks below the open folder `top` (whose path is m_path), depth first, without
    // recursion; closes every descriptor it opened or was given.
    void walk(int top)
    {
        std::vector<Level> stack;
        const auto closeAll = [&stack] {
            for (const Level& level : stack)
                ::close(level.fd);
        };
        if (!enter(stack, top, 0, m_path.size()))
            return;
        if (!readEntries(stack.back().fd, stack.back().folders)) {
            closeAll();
            return;
        }
        while (!stack.empty()) {
            Level& level = stack.back();
            if (level.next >= level.folders.size()) {
                ::close(level.fd);
                m_path.truncate(level.pathLength);
                stack.pop_back();
                continue;
            }
            if (stopped()) {
                closeAll();
                return;
            }
            const QByteArray name = std::move(level.folders[level.next]);
            level.folders[level.next++] = QByteArray();
            const int sub = fw::openFolderAt(level.fd, name);
            if (sub < 0) {
                ++m_summary.unreadableFolders;
                continue;
            }
            // The name is added to the path for the folder's own time on the stack.
            const qsizetype before = m_path.size();
            if (!m_path.endsWith('/'))
                m_path += '/';
            m_path += name;
            const dev_t device = level.device;
            if (!enter(stack, sub, device, before)) {
                m_path.truncate(before);
                continue;
            }
            if (!readEntries(stack.back().fd, stack.back().folders)) {
                closeAll();
                return;
            }
        }
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
        // A link is listed as what it leads to when that is a folder (it is never entered);
        // its status alone is asked, nothing is opened, no automount is set off.
        struct stat target {
        };
        found.folderLink = S_ISLNK(st.st_mode) &&
                           ::fstatat(fd, rawName, &target, AT_NO_AUTOMOUNT) == 0 &&
                           S_ISDIR(target.st_mode);
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
    QByteArray m_path; // the folder being read; names are added and taken off as the walk goes
    std::set<std::pair<dev_t, ino_t>> m_entered;
};

FileSearchSummary FileSearch::run(const std::atomic<bool>& cancelled)
{
    return Walker(*this, cancelled).run();
}

} // namespace platform
