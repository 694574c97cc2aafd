#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

#include <sys/stat.h>

// Paths as the file operations handle them: the file system's bytes, turned into text only
// at the edges (NativePath.h keeps names that are not UTF-8 exact).
namespace platform::runnerpaths
{

// The path as program text, byte-exact; and as shown in a message.
QString text(const QByteArray& path);
QString shown(const QByteArray& path);

QByteArray nameOf(const QByteArray& path);
QByteArray folderOf(const QByteArray& path);
// The path made absolute against the current folder and cleaned, as bytes.
QByteArray absolute(const QString& path);
bool exists(const QByteArray& path);

// Progress units of an item: its bytes plus one per entry, so that many small files move the
// bar too; without bytes, the number of entries. Links are not followed. The walk ends early
// (with what it has) once `stop` is set.
qint64 unitsOf(const QByteArray& path, const struct stat& info, bool withBytes = true,
               const std::atomic<bool>* stop = nullptr);

// Creates the folder and any missing parents; false with errno set when one cannot be made.
bool makeFolders(const QByteArray& path);

} // namespace platform::runnerpaths
