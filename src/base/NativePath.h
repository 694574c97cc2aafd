#pragma once

#include <QByteArray>
#include <QString>

namespace platform
{

// Names are bytes on Linux, and not every name is valid UTF-8 (Shift-JIS names from old discs
// and archives). A path inside the program is a QString in which every byte that is not part
// of valid UTF-8 is carried as one lone low surrogate, U+DC80 + byte, so that any name the
// system gives us goes back to the system unchanged. Every path that reaches a system call
// goes through toNativePath(); every name read from the system comes in through
// fromNativePath(). Valid UTF-8 names are the plain Unicode text, as before.
QString fromNativePath(const QByteArray& bytes);
QByteArray toNativePath(const QString& path);

// Makes the folder the process's current folder (whatever bytes its name has).
bool setCurrentFolder(const QString& folder);

// True when the text carries bytes that are not valid UTF-8.
bool hasForeignBytes(const QString& path);

// The mark put before a name that is not valid UTF-8 when it is shown.
QString foreignNameMark();

// How a name is shown to the user: as it is when it is valid UTF-8, otherwise its bytes
// decoded as CP932 behind the mark. Not a path to use: the real name stays with the caller.
QString displayName(const QString& name);

// The same for a whole path, one part at a time, for messages and titles.
QString displayPath(const QString& path);

} // namespace platform
