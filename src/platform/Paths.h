#pragma once

#include <QString>

namespace platform {

// The folder of the running executable (the program folder), without a trailing separator
// unless it is the root. Tests point it at a temporary folder.
QString programFolder();
void setProgramFolder(const QString& folder);

// The path with one trailing separator appended when it does not already end in one.
QString withSlash(const QString& path);

// The part after the last separator.
QString namePart(const QString& path);

// True when the path is a mount point or the root of the file system (a "drive root").
bool isDriveRoot(const QString& path);

} // namespace platform
