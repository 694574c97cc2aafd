#include "platform/shell/DurableBatch.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform::filecopy
{

DurableBatch::DurableBatch() : DurableBatch(Limits{}, &DurableBatch::syncVolumes)
{
    m_watched = true;
}

DurableBatch::DurableBatch(Limits limits, Sync sync)
    : m_limits(limits), m_sync(std::move(sync)), m_watched(false)
{
}

DurableBatch::~DurableBatch()
{
    discard();
}

void DurableBatch::addFile(const QByteArray& written, qint64 bytes, Step then, Step whenNamed,
                           std::shared_ptr<VolumeWatch> watch)
{
    const qsizetype slash = written.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? written.left(slash) : QByteArray("/");
    m_waiting.push_back({written, std::move(then), std::move(whenNamed), folder, std::move(watch)});
    ++m_files;
    m_bytes += bytes;
}

void DurableBatch::addStep(Step then, Step whenNamed, const QByteArray& folder)
{
    m_waiting.push_back({QByteArray(), std::move(then), std::move(whenNamed), folder, {}});
}

int DurableBatch::syncEach(const QList<QByteArray>& written, QByteArray& failed)
{
    for (const QByteArray& path : written) {
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        // A file system that cannot sync (some pseudo or read-only ones) has nothing to wait for.
        if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
            error = errno;
        if (fd >= 0)
            ::close(fd);
        if (error != 0) {
            failed = path;
            return error;
        }
    }
    return 0;
}

namespace
{

// Fewer files than this are synced one by one: syncfs would wait for whatever else is waiting
// for the same disk, which the one flush per file it saves does not outweigh.
constexpr qsizetype kSyncfsFrom = 16;

// File systems on a drive of this machine, where syncfs puts every file on the disk and a
// file's own writing errors stay with the file. On the others (network, FUSE) each file is
// synced by itself, which is what their servers are sure to honour.
bool syncfsIsEnough(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0xEF53UL:     // ext2, ext3, ext4
    case 0x58465342UL: // XFS
    case 0x9123683EUL: // Btrfs
    case 0xF2F52010UL: // F2FS
    case 0xCA451A4EUL: // bcachefs
    case 0x01021994UL: // tmpfs
    case 0x4D44UL:     // FAT
    case 0x2011BAB0UL: // exFAT
    case 0x7366746EUL: // NTFS (ntfs3)
        return true;
    default:
        return false;
    }
}

// The error left by writing `path` to the disk, if any (what fsync would report, without
// fsync's wait for the drive); 0 when there was none.
int writeErrorOf(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::sync_file_range(fd, 0, 0,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER) != 0 &&
        errno != EINVAL && errno != ESPIPE)
        error = errno;
    ::close(fd);
    return error;
}

// syncfs reports the writing errors of the volume since its descriptor was opened from Linux
// 5.8 on; before, it reported none.
bool syncfsReportsErrors()
{
    static const bool reports = [] {
        struct utsname name {
        };
        int major = 0;
        int minor = 0;
        return ::uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return reports;
}

} // namespace

std::shared_ptr<VolumeWatch> VolumeWatch::open(int folder)
{
    // A descriptor of its own (not a dup, which would share the error it has seen).
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {
    };
    struct statfs info {
    };
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return {};
    }
    const bool trusted =
        syncfsReportsErrors() && ::fstatfs(fd, &info) == 0 && syncfsIsEnough(info.f_type);
    return std::shared_ptr<VolumeWatch>(new VolumeWatch(fd, st.st_dev, trusted));
}

VolumeWatch::VolumeWatch(int fd, dev_t device, bool trusted)
    : m_fd(fd), m_device(device), m_trusted(trusted)
{
}

VolumeWatch::~VolumeWatch()
{
    ::close(m_fd);
}

int DurableBatch::syncVolumes(const QList<QByteArray>& written, QByteArray& failed)
{
    // The files by volume, in the order they were written.
    QHash<dev_t, QList<QByteArray>> byVolume;
    QList<dev_t> volumes;
    for (const QByteArray& path : written) {
        struct stat st {
        };
        if (::lstat(path.constData(), &st) != 0) {
            failed = path;
            return errno;
        }
        if (!byVolume.contains(st.st_dev))
            volumes.append(st.st_dev);
        byVolume[st.st_dev].append(path);
    }
    for (const dev_t volume : volumes) {
        const QList<QByteArray>& files = byVolume[volume];
        const int fd = ::open(files.first().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            failed = files.first();
            return errno;
        }
        struct statfs info {
        };
        const bool whole =
            files.size() >= kSyncfsFrom && ::fstatfs(fd, &info) == 0 && syncfsIsEnough(info.f_type);
        const bool synced = whole && ::syncfs(fd) == 0;
        ::close(fd);
        int error = 0;
        if (synced) {
            for (const QByteArray& path : files) {
                error = writeErrorOf(path);
                if (error != 0) {
                    failed = path;
                    return error;
                }
            }
            continue;
        }
        // Not a local file system, or syncfs met an error somewhere on it (maybe in a file
        // that is not ours): each file by itself says whether it is on the disk.
        error = syncEach(files, failed);
        if (error != 0)
            return error;
    }
    return 0;
}

int DurableBatch::syncWritten(const std::vector<Waiting>& waiting, QByteArray& failed)
{
    // The files of each trusted watch, in the order they were written; the rest.
    std::vector<std::pair<VolumeWatch*, QList<QByteArray>>> watched;
    QList<QByteArray> rest;
    for (const Waiting& item : waiting) {
        if (item.written.isEmpty())
            continue;
        VolumeWatch* const watch = item.watch.get();
        if (!m_watched || !watch || !watch->m_trusted || watch->m_spoiled) {
            rest.append(item.written);
            continue;
        }
        auto it = std::find_if(watched.begin(), watched.end(),
                               [watch](const auto& entry) { return entry.first == watch; });
        if (it == watched.end()) {
            watched.push_back({watch, {}});
            it = watched.end() - 1;
        }
        it->second.append(item.written);
    }
    for (auto& [watch, files] : watched) {
        if (files.size() < kSyncfsFrom) {
            rest.append(files);
            continue;
        }
        if (::syncfs(watch->m_fd) == 0)
            continue;
        // An error somewhere on the volume since the watch was opened, maybe in a file that is
        // not ours: each file by itself says whether it is on the disk, from now on.
        watch->m_spoiled = true;
        const int error = syncEach(files, failed);
        if (error != 0)
            return error;
    }
    return rest.isEmpty() ? 0 : m_sync(rest, failed);
}

DurableBatch::Outcome DurableBatch::flush(int& error, QByteArray& failed)
{
    std::vector<Waiting> waiting;
    waiting.swap(m_waiting);
    m_files = 0;
    m_bytes = 0;
    error = syncWritten(waiting, failed);
    Outcome outcome = error == 0 ? Outcome::Done : Outcome::SyncFailed;
    std::vector<Step> whenNamed;
    QList<QByteArray> folders;
    for (Waiting& item : waiting) {
        if (outcome == Outcome::Done && !item.then()) {
            outcome = Outcome::StepFailed;
            // The step that failed cleans up its own file; the rest are removed below.
            continue;
        }
        if (outcome != Outcome::Done) {
            if (!item.written.isEmpty())
                ::unlink(item.written.constData());
            continue;
        }
        if (item.whenNamed) {
            whenNamed.push_back(std::move(item.whenNamed));
            if (!item.folder.isEmpty() && !folders.contains(item.folder))
                folders.append(item.folder);
        }
    }
    // What took its name before a failed step stays named; its own follow-up still runs.
    if (whenNamed.empty() || outcome == Outcome::SyncFailed)
        return outcome;
    if (!folders.isEmpty()) {
        error = m_sync(folders, failed);
        if (error != 0)
            return Outcome::SyncFailed;
    }
    for (const Step& step : whenNamed) {
        if (!step())
            return Outcome::StepFailed;
    }
    return outcome;
}

void DurableBatch::discard()
{
    for (const Waiting& item : m_waiting) {
        if (!item.written.isEmpty())
            ::unlink(item.written.constData());
    }
    m_waiting.clear();
    m_files = 0;
    m_bytes = 0;
}

} // namespace platform::filecopy
