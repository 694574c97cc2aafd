#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform
{

// The folders no command may delete or move away: the root of the file system, a mount
// point (a volume, or a bind mount, is taken away by unmounting it, not by emptying it), and
// the user's home folder together with every folder that holds it.
enum class Protection {
    None,
    Root,
    MountPoint,
    Home,
};

// Why the path may not be deleted (or moved away); None when it may. Links are not followed:
// a link is removed as a link. The path is compared by what it really is (its device and
// inode), so "/tmp/../" or a link to home's parent does not slip through.
Protection protectionOf(const QString& path);

// The mount points of this process's view of the system, from /proc/self/mountinfo (octal
// escapes decoded), as native paths.
QList<QByteArray> mountPoints();

// The first mount point strictly inside the folder (a volume mounted somewhere below it), or
// empty when there is none. A tree that holds one is not deleted: deleting would either empty
// the other volume or stop half-way.
QByteArray mountInside(const QString& folder);

// The message shown when a command refuses to delete (or move) a protected folder, and when
// a folder holds a mounted volume.
QString protectedFolderText(const QString& path, bool move = false);
QString mountInsideText(const QString& path, const QString& mount);

} // namespace platform
