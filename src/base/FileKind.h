#pragma once

#include <QDateTime>
#include <QString>

class QFile;

namespace platform
{

// What a path is, found from its status alone: nothing is ever opened, so a FIFO, a socket
// or a device (or a link to one) can be looked at without waiting on it or touching it.
enum class FileKind {
    Missing, // not there, or a link that leads nowhere
    Regular, // a regular file, or a link to one
    Folder,  // a folder, or a link to one
    Special, // a FIFO, socket or device, or a link to one
};

struct FileStatus {
    FileKind kind = FileKind::Missing;
    qint64 size = 0;     // bytes of a regular file; 0 for anything else
    QDateTime modified;  // invalid when missing
    bool isLink = false; // the path itself is a symbolic link
};

// The status of the path (links followed), by stat alone.
FileStatus fileStatus(const QString& path);
FileKind fileKind(const QString& path);
bool isRegularFile(const QString& path);

// Opens a regular file for reading. A path that is not a regular file is refused before it
// is opened; the open itself does not wait (O_NONBLOCK), and what was opened is checked
// again, so a file swapped for a FIFO or device in between is refused as well. On success the
// QFile owns the descriptor.
bool openRegularFile(const QString& path, QFile& file);

} // namespace platform
