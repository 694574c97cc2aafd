#pragma once

#include <QString>

namespace app {

// The scratch folder for archive staging: the program folder, one separator, "temp/".
QString workFolderPath();

// Empties the work folder: deletes it with everything below it, then creates it again (a
// failure to create it is ignored).
void prepareWorkFolder();

// Deletes the folder tree (see platform::deleteFolderTree: links are never followed, other
// volumes never entered, a drive root is emptied but kept).
void deleteFolderTree(const QString& path);

} // namespace app
