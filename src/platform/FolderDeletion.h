#pragma once

#include <QString>

namespace platform
{

// Deletes every file and folder below the path and then the folder itself; a drive root
// (a mount point or "/") is emptied but never removed. Files first (hidden ones included),
// then each subfolder, deepest first; files and folders are made writable before they are
// removed (a file with other hard links keeps its mode). A symbolic link, the path itself
// included, is removed as a link and never followed; a volume mounted below the path is
// never entered. A trailing separator makes no difference; a missing path is no error. The
// first failure ends the deletion quietly; what was deleted stays deleted.
void deleteFolderTree(const QString& path);

} // namespace platform
