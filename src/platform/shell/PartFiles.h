#pragma once

#include <QByteArray>

#include <sys/types.h>

// The hidden names a copy writes its files under before they take their final names:
// ".NAME.koramo-PID-N" beside the final name, PID being the writing process.
namespace platform::partfiles
{

// A free hidden name beside `target` for this process to write into.
QByteArray partName(const QByteArray& target);

// Creates a new hidden part beside `target` (a name inside the open folder `folder`, or a path
// with AT_FDCWD), empty, readable and writable by this user only, and opens it for writing;
// `part` gets its name in the form of `target`. -1 with errno set when it cannot be made. The
// first free part name is found by the creation itself, with no look beforehand.
int createPart(int folder, const QByteArray& target, QByteArray& part);

// The writing process of a hidden part's name, or 0 when `name` is no such name: a dot, a name
// of at least one byte, ".koramo-", a process number, "-" and a count, nothing after.
pid_t writerOf(const QByteArray& name);

// Removes the hidden parts in `folder` that a process that has ended left behind (killed
// mid-copy, or gone with the power). Only regular files of this user whose name is exactly a
// part's name are removed, and only when no process of that number is running; folders on
// network file systems, where the writer may run on another machine, are left alone.
// Returns how many were removed.
int removeLeftovers(const QByteArray& folder);

} // namespace platform::partfiles
