#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>

// The byte work of the shell's copies: one regular file, one symbolic link, a folder's
// attributes. Paths are the file system's bytes.
namespace platform::filecopy
{

enum class Result { Ok, Cancelled, Failed };

// Called after each piece of a file with the number of bytes just copied; false cancels.
using Progress = std::function<bool(qint64)>;

// Copies the regular file `source` (whose lstat is `info`) to `target`, which must not exist:
// contents (reflink, then copy_file_range, then read/write), permissions and times. The copy
// is checked against the source's size; the writing of a large file to the disk has started
// when this returns Ok, and the caller puts it on the disk (DurableBatch) before the file takes
// a name anyone sees. On failure or cancel the new file is removed and the source is left as it
// was; `reason` tells why it failed.
Result copyRegularFile(const QByteArray& source, const struct stat& info, const QByteArray& target,
                       const Progress& progress, QString& reason);

// A name inside an open folder, or a path when the folder is AT_FDCWD: a file reached through
// its folder's descriptor costs one step of lookup instead of one per folder of its path.
struct At {
    int folder = AT_FDCWD;
    QByteArray name;
    dev_t device = 0; // the folder's volume, where known (for CopyMemo)
};

// What copies between one pair of volumes learn and keep for the next file: a file system that
// refused a reflink once is not asked again for every file.
struct CopyMemo {
    dev_t from = 0;
    dev_t to = 0;
    bool noClone = false;
};

// copyRegularFile for a file that is written under a new hidden part name beside `target`
// (partfiles::createPart), which `part` gets (in the form of target.name). On failure or cancel
// nothing of the part is left.
Result copyToPart(const At& source, const struct stat& info, const At& target, QByteArray& part,
                  const Progress& progress, QString& reason, CopyMemo* memo = nullptr);

// Gives the complete file `written` the name `target`, both in the open folder `folder` (or
// paths, with AT_FDCWD): over what is there when `replace`, else only while the name is free
// (false with errno EEXIST otherwise).
bool takeNameAt(int folder, const QByteArray& written, const QByteArray& target, bool replace);

// Creates `target` as a symbolic link with the same content as the link `source`.
Result copySymlink(const QByteArray& source, const struct stat& info, const QByteArray& target,
                   QString& reason);

// Gives the folder `target` the permissions and times of `info`.
bool copyFolderAttributes(const struct stat& info, const QByteArray& target, QString& reason);

// A short Japanese text for an errno value.
QString errorText(int error);

} // namespace platform::filecopy
