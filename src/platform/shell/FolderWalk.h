#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <sys/stat.h>

// The one walk of the shell over a folder tree. Paths are the file system's bytes; links are
// never followed (a link is an entry of its own and is never entered), and every folder is
// opened with O_NOFOLLOW, relative to its parent while walking, so that a folder swapped for
// a link meanwhile is not entered either.
namespace platform::folderwalk
{

// Owns one open descriptor and closes it when it goes.
class FileDescriptor final
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now and gives close()'s result, so that a late write error is seen.
    int close();

private:
    int m_fd;
};

// One entry of a folder, with what lstat says of it.
struct Entry {
    QByteArray name;
    struct stat info {
    };
    // errno of the lstat when it failed (info is then empty), else 0.
    int error = 0;
};

// Opens a folder for reading its entries: the path, or `name` inside the open folder
// `parentFd`. -1 with errno set when it cannot be opened or is a link.
int openFolder(const QByteArray& path);
int openFolderAt(int parentFd, const QByteArray& name);

// The entries of the open folder other than "." and "..", in the order the file system
// gives them. The descriptor stays open and may be read again. False, with `error` set,
// when the folder cannot be read to its end.
bool readFolder(int folderFd, QList<Entry>& entries, int& error);
bool readFolder(const QByteArray& path, QList<Entry>& entries, int& error);

// "folder/name" with exactly one "/" between.
QByteArray join(const QByteArray& folder, const QByteArray& name);

// A depth-first walk below a folder (the folder itself is not visited).
struct Walk {
    enum class Next { Enter, Skip, Stop };
    struct Item {
        int folderFd;       // the open folder the entry is in
        const Entry& entry; // its name and lstat
        QByteArray path;    // the entry's path
        int depth;          // 0 for the entries of the walked folder
        bool isFolder() const { return entry.error == 0 && S_ISDIR(entry.info.st_mode); }
    };
    // Every entry, a folder before its contents. Enter walks into a folder (for any other
    // entry it means the same as Skip); Stop ends the walk. Unset: every folder is entered.
    std::function<Next(const Item&)> visit;
    // A folder after its contents (only folders that were entered); false ends the walk.
    std::function<bool(const Item&)> leave;
    // A folder that cannot be opened or read to its end, with errno; true walks on past it.
    // Unset: the walk goes on.
    std::function<bool(const QByteArray& path, int error)> unreadable;

    // True when the walk came to its end, false when a callback ended it.
    bool run(const QByteArray& folder) const;

private:
    bool runIn(int folderFd, const QByteArray& path, int depth) const;
};

} // namespace platform::folderwalk
