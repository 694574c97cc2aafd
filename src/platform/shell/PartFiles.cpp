#include "platform/shell/PartFiles.h"

#include "platform/shell/RunnerPaths.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform::partfiles
{

namespace
{

constexpr char kMark[] = ".koramo-";

// File systems another machine may write to at the same time, where a process number says
// nothing about the writer.
bool sharedWithOtherMachines(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0x6969UL:     // NFS
    case 0x517BUL:     // SMB
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs and the like)
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
    case 0x73757245UL: // Coda
    case 0x01021997UL: // 9P
    case 0x7461636FUL: // OCFS2
    case 0x01161970UL: // GFS2
        return true;
    default:
        return false;
    }
}

bool running(pid_t pid)
{
    // EPERM: there is such a process, of another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

// The number made of the digits in [begin, end), or -1 when there are none or something else.
long long numberIn(const char* begin, const char* end)
{
    if (begin == end || end - begin > 18)
        return -1;
    long long value = 0;
    for (const char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        value = value * 10 + (*p - '0');
    }
    return value;
}

} // namespace

QByteArray partName(const QByteArray& target)
{
    const QByteArray stem = runnerpaths::folderOf(target) + "/." + runnerpaths::nameOf(target) +
                            kMark + QByteArray::number(::getpid()) + '-';
    for (int n = 0;; ++n) {
        const QByteArray candidate = stem + QByteArray::number(n);
        if (!runnerpaths::exists(candidate))
            return candidate;
    }
}

int createPart(int folder, const QByteArray& target, QByteArray& part)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray stem = target.left(slash + 1) + '.' + target.mid(slash + 1) + kMark +
                            QByteArray::number(::getpid()) + '-';
    for (int n = 0;; ++n) {
        part = stem + QByteArray::number(n);
        const int fd =
            ::openat(folder, part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST || n == 1000000)
            return fd;
    }
}

pid_t writerOf(const QByteArray& name)
{
    if (!name.startsWith('.'))
        return 0;
    const qsizetype mark = name.lastIndexOf(kMark);
    // At least one byte of the file's own name between the leading dot and the mark.
    if (mark < 2)
        return 0;
    const char* const digits = name.constData() + mark + sizeof(kMark) - 1;
    const char* const end = name.constData() + name.size();
    const char* dash = digits;
    while (dash != end && *dash != '-')
        ++dash;
    if (dash == end)
        return 0;
    const long long pid = numberIn(digits, dash);
    const long long count = numberIn(dash + 1, end);
    if (pid <= 1 || count < 0 || pid > 0x3FFFFFFF)
        return 0;
    return static_cast<pid_t>(pid);
}

int removeLeftovers(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct statfs volume {
    };
    if (::fstatfs(fd, &volume) != 0 || sharedWithOtherMachines(volume.f_type)) {
        ::close(fd);
        return 0;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    const uid_t me = ::geteuid();
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' || (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        const QByteArray name(entry->d_name);
        const pid_t pid = writerOf(name);
        if (pid == 0 || pid == ::getpid() || running(pid))
            continue;
        struct stat st {
        };
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != me)
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace platform::partfiles
