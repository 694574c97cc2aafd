#pragma once

#include <QString>

namespace app {

// The scratch folder for archive staging: the program folder, one separator, "temp/".
QString workFolderPath();

// Empties the work folder: deletes it with everything below it, then creates it again.
void prepareWorkFolder();

// Deletes every file and folder below the path and then the folder itself; a drive root
// (a mount point or "/") is emptied but never removed. Files are made writable before they
// are removed. A symbolic link is removed as a link and never followed. The first failure
// ends the deletion quietly; what was deleted stays deleted.
void deleteFolderTree(const QString& path);

} // namespace app
