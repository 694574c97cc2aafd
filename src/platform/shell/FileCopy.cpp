#include "platform/shell/FileCopy.h"

#include "platform/shell/FolderWalk.h"
#include "platform/shell/PartFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace platform::filecopy
{

namespace
{

constexpr size_t kPiece = size_t(8) << 20; // bytes between two progress reports

using Fd = folderwalk::FileDescriptor;

// The disk starts on each piece as soon as it is copied and keeps at most kAhead bytes waiting,
// so that writing to the disk overlaps the copy instead of all of it coming in one wait at the
// end; the wait for the disk that the batch does later finds little left to do.
constexpr off_t kAhead = off_t(64) << 20;

// Smaller files are left to the batch's one syncfs, which writes many of them in a few large
// requests; started one by one, each would go to the disk as a request of its own.
constexpr off_t kEarlyWriteFrom = off_t(1) << 20;

bool writesEarly(const struct stat& info)
{
    return info.st_size >= kEarlyWriteFrom;
}

void startWriteback(int out, off_t from, off_t length, off_t end)
{
    ::sync_file_range(out, from, length, SYNC_FILE_RANGE_WRITE);
    // Only the piece that fell out of the window is waited for: what lies before it was waited
    // for already, and asking for the whole start of the file again walks its pages each time.
    if (end > kAhead)
        ::sync_file_range(out, std::max<off_t>(0, end - kAhead - length), length,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER);
}

// read/write fallback for file systems that take neither reflink nor copy_file_range.
Result copyByReading(int in, int out, off_t from, bool early, const Progress& progress,
                     qint64& copied, int& error)
{
    if (::lseek(in, from, SEEK_SET) < 0 || ::lseek(out, from, SEEK_SET) < 0) {
        error = errno;
        return Result::Failed;
    }
    std::vector<char> buffer(size_t(1) << 20);
    size_t sinceReport = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return Result::Failed;
        }
        if (got == 0)
            break;
        ssize_t put = 0;
        while (put < got) {
            const ssize_t n = ::write(out, buffer.data() + put, size_t(got - put));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                return Result::Failed;
            }
            put += n;
        }
        copied += got;
        if (early)
            startWriteback(out, copied - got, got, copied);
        sinceReport += size_t(got);
        if (sinceReport >= kPiece) {
            if (!progress(qint64(sinceReport)))
                return Result::Cancelled;
            sinceReport = 0;
        }
    }
    if (sinceReport > 0 && !progress(qint64(sinceReport)))
        return Result::Cancelled;
    return Result::Ok;
}

// Whether a reflink is worth asking for between the two files' volumes.
// Without a memo, or without the target's volume, it is always asked.
bool mayClone(const struct stat& in, dev_t out, const CopyMemo* memo)
{
    return !memo || out == 0 || !memo->noClone || memo->from != in.st_dev || memo->to != out;
}

void rememberNoClone(const struct stat& in, dev_t out, CopyMemo* memo)
{
    if (memo && out != 0)
        *memo = {in.st_dev, out, true};
}

Result copyContents(int in, int out, const struct stat& info, dev_t outDevice,
                    const Progress& progress, qint64& copied, int& error, CopyMemo* memo)
{
    copied = 0;
    const bool early = writesEarly(info);
    if (info.st_size > 0 && mayClone(info, outDevice, memo)) {
        if (::ioctl(out, FICLONE, in) == 0) {
            copied = info.st_size;
            return progress(copied) ? Result::Ok : Result::Cancelled;
        }
        // Refused by the file system itself (not for this file alone): asked no more.
        if (errno == EOPNOTSUPP || errno == ENOTTY || errno == EXDEV || errno == ENOSYS)
            rememberNoClone(info, outDevice, memo);
    }
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL ||
                errno == EBADF || errno == ETXTBSY)
                return copyByReading(in, out, off_t(copied), early, progress, copied, error);
            error = errno;
            return Result::Failed;
        }
        if (n == 0)
            break;
        copied += n;
        if (early)
            startWriteback(out, copied - n, n, copied);
        if (!progress(qint64(n)))
            return Result::Cancelled;
        // Done at the size the file had when opened; a file that grew since is caught by
        // the size check that follows the copy.
        if (info.st_size > 0 && copied >= info.st_size)
            break;
    }
    // Some pseudo file systems report a size but give nothing to copy_file_range.
    if (copied == 0 && info.st_size > 0)
        return copyByReading(in, out, 0, early, progress, copied, error);
    return Result::Ok;
}

} // namespace

QString errorText(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダが見つかりません。");
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが拒否されました。");
    case ENOSPC:
        return QStringLiteral("ディスクの空き領域が不足しています。");
    case EDQUOT:
        return QStringLiteral("ディスク使用量の上限を超えました。");
    case EROFS:
        return QStringLiteral("読み取り専用のドライブです。");
    case EEXIST:
        return QStringLiteral("同じ名前の項目が既にあります。");
    case ENOTEMPTY:
        return QStringLiteral("フォルダが空ではありません。");
    case EIO:
        return QStringLiteral("読み書き中にエラーが発生しました。");
    case ENAMETOOLONG:
        return QStringLiteral("名前が長すぎます。");
    case EBUSY:
        return QStringLiteral("使用中です。");
    case EISDIR:
        return QStringLiteral("フォルダです。");
    case ENOTDIR:
        return QStringLiteral("フォルダではありません。");
    case EXDEV:
        return QStringLiteral("別のドライブには移動できません。");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

namespace
{

// Opens the source for reading: never through a link, never waiting for a writer (a FIFO put
// in the file's place since it was listed is opened at once and refused), and only as a
// regular file.
int openSource(const At& source, struct stat& opened, QString& reason)
{
    const int fd = ::openat(source.folder, source.name.constData(),
                            O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        reason = errorText(errno);
        return -1;
    }
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        reason = QStringLiteral("通常のファイルではありません。");
        return -1;
    }
    return fd;
}

// Everything but the closing: contents, the size check, permissions and times. `out` is the
// new file; on anything but Ok the caller removes it.
Result fill(int in, const struct stat& opened, const struct stat& info, int out, dev_t outDevice,
            const Progress& progress, QString& reason, CopyMemo* memo)
{
    qint64 copied = 0;
    int error = 0;
    const Result result = copyContents(in, out, opened, outDevice, progress, copied, error, memo);
    if (result != Result::Ok) {
        if (result == Result::Failed)
            reason = errorText(error);
        return result;
    }
    // The copy counts only when it holds as many bytes as the source has now.
    struct stat after;
    if (::fstat(in, &after) != 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    if (after.st_size != copied) {
        reason = QStringLiteral("コピー中に元のファイルの大きさが変わりました。");
        return Result::Failed;
    }
    if (::fchmod(out, info.st_mode & 07777) != 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::futimens(out, times) != 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    // The rest of a large file goes to the disk meanwhile; the caller waits for it
    // (DurableBatch) before the file takes its name.
    if (writesEarly(opened))
        ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
    return Result::Ok;
}

// Closes the new file `out` after fill() and removes it (as `folder`/`name`) unless all went
// well; a late write error that close reports fails the copy too.
Result finish(Result result, Fd& out, int folder, const QByteArray& name, QString& reason)
{
    if (out.close() != 0 && result == Result::Ok) {
        reason = errorText(errno);
        result = Result::Failed;
    }
    if (result != Result::Ok)
        ::unlinkat(folder, name.constData(), 0);
    return result;
}

} // namespace

Result copyRegularFile(const QByteArray& source, const struct stat& info, const QByteArray& target,
                       const Progress& progress, QString& reason)
{
    struct stat opened;
    Fd in(openSource({AT_FDCWD, source}, opened, reason));
    if (in.get() < 0)
        return Result::Failed;
    Fd out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    const Result result = fill(in.get(), opened, info, out.get(), 0, progress, reason, nullptr);
    return finish(result, out, AT_FDCWD, target, reason);
}

Result copyToPart(const At& source, const struct stat& info, const At& target, QByteArray& part,
                  const Progress& progress, QString& reason, CopyMemo* memo)
{
    struct stat opened;
    Fd in(openSource(source, opened, reason));
    if (in.get() < 0)
        return Result::Failed;
    Fd out(partfiles::createPart(target.folder, target.name, part));
    if (out.get() < 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    const Result result =
        fill(in.get(), opened, info, out.get(), target.device, progress, reason, memo);
    return finish(result, out, target.folder, part, reason);
}

bool takeNameAt(int folder, const QByteArray& written, const QByteArray& target, bool replace)
{
    const char* const from = written.constData();
    const char* const to = target.constData();
    if (replace)
        return ::renameat(folder, from, folder, to) == 0;
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link takes the name only while it
    // is free; without hard links, a rename after a last look.
    if (::linkat(folder, from, folder, to, 0) == 0) {
        ::unlinkat(folder, from, 0);
        return true;
    }
    if (errno == EEXIST)
        return false;
    struct stat st;
    if (::fstatat(folder, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(folder, from, folder, to) == 0;
}

Result copySymlink(const QByteArray& source, const struct stat& info, const QByteArray& target,
                   QString& reason)
{
    std::vector<char> content(size_t(info.st_size > 0 ? info.st_size : 255) + 2);
    const ssize_t n = ::readlink(source.constData(), content.data(), content.size() - 1);
    if (n < 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    content[size_t(n)] = '\0';
    if (::symlink(content.data(), target.constData()) != 0) {
        reason = errorText(errno);
        return Result::Failed;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, target.constData(), times, AT_SYMLINK_NOFOLLOW); // best effort
    return Result::Ok;
}

bool copyFolderAttributes(const struct stat& info, const QByteArray& target, QString& reason)
{
    if (::chmod(target.constData(), info.st_mode & 07777) != 0) {
        reason = errorText(errno);
        return false;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (::utimensat(AT_FDCWD, target.constData(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        reason = errorText(errno);
        return false;
    }
    return true;
}

} // namespace platform::filecopy
