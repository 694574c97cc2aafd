#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace platform
{

// What to look for: names that match the masks (see NameMasks) below a folder, and, when a
// text is given, only regular files that contain it (see TextFinder).
struct FileSearchQuery {
    QString folder;
    QString pattern = QStringLiteral("*");
    QString text;
    bool subfolders = true;
    qsizetype chunkBytes = 256 * 1024;
};

// One file found. Name and folder are as the system gives them (see NativePath): a name that
// is not UTF-8 keeps its bytes.
struct FoundFile {
    QString name;
    QString folder;
    qint64 size = 0; // 0 for anything but a regular file
    QDateTime modified;
    bool folderLink = false; // a symbolic link that leads to a folder

    QString path() const;
};

struct FileSearchSummary {
    bool cancelled = false;
    qint64 found = 0;
    qint64 examined = 0;          // entries looked at
    qint64 unreadableFolders = 0; // folders that could not be opened or read to their end
    qint64 unreadableFiles = 0;   // files whose contents could not be read
};

// The search itself, run on whatever thread calls run(). In each folder its files come first,
// then its subfolders. The walk never follows a symbolic link (a link is listed by its name,
// never entered or read), never enters the same folder
// twice (bind mounts that lead back up), never enters the kernel's pseudo file systems (/proc,
// /sys and their kind, whose files can block a reader), and never opens a FIFO, socket or
// device. Folders that cannot be read are counted and passed by.
class FileSearch final
{
public:
    // Receives the files found, in batches, with the folder being searched at that moment.
    using Sink = std::function<void(QList<FoundFile>&& batch, const QString& folder)>;

    FileSearch(FileSearchQuery query, Sink sink);

    // A batch is handed on when it holds this many files, or when this much time has passed
    // since the last one, so that a fast search does not send a message per file.
    void setBatching(int files, int milliseconds);

    // Runs the whole search; `cancelled` is looked at before every entry and every chunk read.
    FileSearchSummary run(const std::atomic<bool>& cancelled);

private:
    class Walker;

    FileSearchQuery m_query;
    Sink m_sink;
    int m_batchFiles = 1000;
    int m_batchMilliseconds = 100;
};

// True when the open folder lies on one of the kernel's pseudo file systems.
bool isPseudoFileSystem(int folderFd);

} // namespace platform
