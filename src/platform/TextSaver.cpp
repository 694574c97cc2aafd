#include "platform/TextSaver.h"

#include "base/NativePath.h"

#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

int errorNumber(QFileDevice::FileError error, int savedErrno)
{
    if (savedErrno == ENOSPC || savedErrno == EFBIG || savedErrno == EDQUOT ||
        error == QFileDevice::ResourceError)
        return 61;
    if (savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS ||
        error == QFileDevice::PermissionsError)
        return 70;
    if (savedErrno == ENOENT || savedErrno == ENOTDIR)
        return 76;
    return 75;
}

bool encodes(const QString& text, const TextFormat& format)
{
    QByteArray ignored;
    return encodeText(text, format, ignored);
}

// The permissions a new file gets: what the process's mask lets through of rw-rw-rw-.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The atomic replacement done with the name's own bytes, for a name Qt cannot pass to the
// system unchanged (one that is not valid UTF-8). 0 on success, else the errno.
int replaceNative(QByteArray target, const QByteArray& bytes)
{
    // A link is followed: the file it points at is replaced, the link stays.
    if (char* real = ::realpath(target.constData(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat st {
    };
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return EISDIR;
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::fchmod(fd, exists ? (st.st_mode & 07777) : newFileMode()) != 0)
        error = errno;
    for (qsizetype done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), target.constData()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.constData());
    return error;
}

} // namespace

Unencodable firstUnencodable(const QString& text, const TextFormat& format)
{
    TextFormat plain = format;
    plain.bom = false;
    plain.lineEnd = LineEnd::Lf;
    // Line by line first, so that a long text costs one conversion per line.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype l = 0; l < lines.size(); ++l) {
        const QString& line = lines[l];
        if (encodes(line, plain))
            continue;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const qsizetype n = line[i].isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
            const QString one = line.mid(i, n);
            if (!encodes(one, plain))
                return {one, static_cast<int>(l + 1)};
            i += n - 1;
        }
        return {line, static_cast<int>(l + 1)}; // only the line as a whole fails
    }
    return {};
}

QString encodingDisplayName(const TextFormat& format)
{
    QString name;
    if (format.encoding == "windows-31j")
        name = QStringLiteral("Shift_JIS (windows-31j)");
    else
        name = QString::fromLatin1(format.encoding);
    if (format.bom)
        name += QStringLiteral(" (BOM 付き)");
    return name;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, SaveError* error)
{
    if (hasForeignBytes(path)) {
        const int failure = replaceNative(toNativePath(path), bytes);
        if (failure == 0)
            return true;
        if (error) {
            error->number = errorNumber(QFileDevice::NoError, failure);
            error->description = QStringLiteral("%1 に保存できませんでした。\n%2")
                                     .arg(displayName(QFileInfo(path).fileName()),
                                          QString::fromLocal8Bit(std::strerror(failure)));
        }
        return false;
    }
    QSaveFile file(path);
    // Every byte goes through the temporary file; if that cannot be made, nothing is written.
    file.setDirectWriteFallback(false);
    errno = 0;
    bool ok = file.open(QIODevice::WriteOnly);
    int savedErrno = errno;
    if (ok) {
        ok = file.write(bytes) == bytes.size();
        savedErrno = errno;
        if (ok) {
            ok = file.commit();
            savedErrno = errno;
        } else {
            file.cancelWriting();
        }
    }
    if (ok)
        return true;
    if (error) {
        error->number = errorNumber(file.error(), savedErrno);
        error->description = QStringLiteral("%1 に保存できませんでした。\n%2")
                                 .arg(QFileInfo(path).fileName(), file.errorString());
    }
    return false;
}

bool saveTextFile(const QString& path, const QString& text, const TextFormat& format,
                  SaveError* error)
{
    QByteArray bytes;
    if (!encodeText(text, format, bytes)) {
        if (error) {
            const Unencodable bad = firstUnencodable(text, format);
            error->number = 0;
            error->description =
                QStringLiteral("%1 行目の「%2」は %3 で保存できない文字です。\n"
                               "文字が失われないよう、保存しませんでした。")
                    .arg(QString::number(bad.line), bad.character, encodingDisplayName(format));
        }
        return false;
    }
    return writeFileAtomically(path, bytes, error);
}

TextFormat newTextFormat()
{
    return TextFormat();
}

} // namespace platform
