#include "platform/shell/TextFinder.h"

#include "platform/TextEncoding.h"

#include <unicode/ucnv.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Reads up to `size` bytes, going on after short reads; -1 on an error.
qsizetype readFully(int fd, char* into, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, into + got, static_cast<size_t>(size - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

bool isUtf16(const QByteArray& encoding)
{
    return encoding.startsWith("UTF-16");
}

// Decodes one chunk onto the end of `out`, keeping a character cut at the chunk's end inside
// the converter for the next chunk.
bool decodeInto(UConverter* converter, const char* bytes, qsizetype size, bool last, QString& out)
{
    const qsizetype start = out.size();
    out.resize(start + 2 * size + 16);
    UChar* target = reinterpret_cast<UChar*>(out.data()) + start;
    UChar* const targetEnd = reinterpret_cast<UChar*>(out.data()) + out.size();
    const char* source = bytes;
    UErrorCode error = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, targetEnd, &source, bytes + size, nullptr, last, &error);
    out.truncate(target - reinterpret_cast<UChar*>(out.data()));
    return U_SUCCESS(error);
}

} // namespace

TextFinder::TextFinder(const QString& text, qsizetype chunkBytes)
    : m_text(text), m_chunkBytes(qMax<qsizetype>(chunkBytes, 16))
{
}

QByteArray TextFinder::encodingForSample(QByteArray sample, bool moreFollows)
{
    if (moreFollows) {
        // A sample cut inside a multi-byte character would not read as what it is: the cut
        // character's bytes are left out of the detection.
        for (int i = 0; i < 3 && !sample.isEmpty() && (sample.back() & 0x80); ++i)
            sample.chop(1);
    }
    const TextFormat format = detectEncoding(sample);
    if (!isUtf16(format.encoding) && sample.contains('\0'))
        return QByteArray();
    return format.encoding;
}

TextFinder::Result TextFinder::searchDescriptor(int fd, const std::atomic<bool>& cancelled) const
{
    if (m_text.isEmpty())
        return Result::Found;
    if (cancelled.load(std::memory_order_relaxed))
        return Result::Cancelled;
    // A regular file is searched as far as it reached when its search began: a log that
    // another program keeps writing would otherwise hold the search for as long as it grows.
    struct stat st {
    };
    qint64 left = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        left = qMax<qint64>(0, qint64(st.st_size) - qMax<qint64>(0, at));
    }
    const auto readChunk = [fd, &left](QByteArray& into) -> qsizetype {
        const qsizetype want = left < 0 ? into.size() : qsizetype(qMin<qint64>(left, into.size()));
        const qsizetype n = readFully(fd, into.data(), want);
        if (n > 0 && left >= 0)
            left -= n;
        return n;
    };
    const auto atEnd = [&left](qsizetype got, const QByteArray& chunk) {
        return got < chunk.size() || left == 0;
    };
    // The first read is large enough for the encoding to be told, whatever the chunk size.
    QByteArray chunk(qMax(m_chunkBytes, kDetectionBytes), Qt::Uninitialized);
    qsizetype got = readChunk(chunk);
    if (got < 0)
        return Result::Unreadable;
    bool last = atEnd(got, chunk);
    const QByteArray encoding = encodingForSample(QByteArray(chunk.constData(), got), !last);
    if (encoding.isEmpty())
        return Result::Binary;
    UErrorCode error = U_ZERO_ERROR;
    const Converter converter(ucnv_open(encoding.constData(), &error));
    if (U_FAILURE(error) || !converter)
        return Result::Unreadable;
    chunk.resize(m_chunkBytes);

    // What is searched each time: the end of the text decoded before (one character short of
    // the searched text, so that a text cut by the chunk's end is found whole) and this chunk.
    const qsizetype keep = m_text.size() - 1;
    QString window;
    for (;;) {
        if (!decodeInto(converter.get(), chunk.constData(), got, last, window))
            return Result::Unreadable;
        if (QStringView(window).indexOf(m_text, 0, Qt::CaseInsensitive) >= 0)
            return Result::Found;
        if (last)
            return Result::NotFound;
        window.remove(0, qMax<qsizetype>(0, window.size() - keep));
        if (cancelled.load(std::memory_order_relaxed))
            return Result::Cancelled;
        got = readChunk(chunk);
        if (got < 0)
            return Result::Unreadable;
        last = atEnd(got, chunk);
    }
}

TextFinder::Result TextFinder::searchFileAt(int folderFd, const QByteArray& name,
                                            const std::atomic<bool>& cancelled) const
{
    // O_NONBLOCK: even a FIFO put in the file's place meanwhile does not hold the open up; it
    // is then refused by the check below.
    const int fd = ::openat(folderFd, name.constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Result::Unreadable;
    struct stat st {
    };
    Result result = Result::Unreadable;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        result = searchDescriptor(fd, cancelled);
    }
    ::close(fd);
    return result;
}

} // namespace platform
