#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

namespace platform
{

// Looks for a text inside files, each read in its own encoding: the encoding is detected on
// the file's first chunk (CP932, EUC-JP, UTF-8, UTF-16 with or without a BOM, ISO-2022-JP, or
// what the detector guesses), then the file is decoded chunk by chunk and the text looked for
// without regard to case. A file is never read into memory whole; a text that runs across the
// end of one chunk into the next is found all the same. Files whose first chunk holds NUL bytes
// (and that are not UTF-16) are binary and are not searched.
class TextFinder final
{
public:
    enum class Result { Found, NotFound, Binary, Unreadable, Cancelled };

    static constexpr qsizetype kDefaultChunkBytes = 256 * 1024;
    // The first read, on which the encoding is detected, is never smaller than this.
    static constexpr qsizetype kDetectionBytes = 64 * 1024;

    explicit TextFinder(const QString& text, qsizetype chunkBytes = kDefaultChunkBytes);

    // Reads the open file from its current position to its end (a regular file to the end it
    // had when the search began: what is written to it meanwhile is not read). `cancelled` is
    // looked at before every chunk. The descriptor stays the caller's.
    Result searchDescriptor(int fd, const std::atomic<bool>& cancelled) const;

    // Opens the regular file `name` of the open folder `folderFd` (a link, FIFO, socket or
    // device is refused before any read and never waited on) and searches it.
    Result searchFileAt(int folderFd, const QByteArray& name,
                        const std::atomic<bool>& cancelled) const;

    // The encoding the last detection on these bytes would choose for a search (exposed for
    // tests): an ICU converter name, or empty for binary bytes.
    static QByteArray encodingForSample(QByteArray sample, bool moreFollows);

private:
    QString m_text;
    qsizetype m_chunkBytes;
};

} // namespace platform
