#pragma once

#include <QString>

namespace app
{

// Each running instance stages archive work in a folder of its own below the work-folder root
// (platform::workFolderRoot()), so that two instances never empty each other's files. The
// instance holds a lock on the file NAME.lock beside its folder for as long as it runs; a
// folder whose lock nobody holds was left by an instance that ended without cleaning up.

// Claims this instance's work folder: removes what ended instances left below the root, then
// makes a new folder and locks it. Does nothing when the folder is already claimed. False when
// no folder could be made.
bool claimWorkFolder();

// This instance's work folder with a trailing separator; claims it first when needed (an empty
// string when that fails).
QString workFolderPath();

// Why the last claim failed: the folder that could not be made or locked and the system's
// reason (both empty while the claim holds).
struct WorkFolderFailure {
    QString folder;
    QString reason;
};
WorkFolderFailure workFolderFailure();

// Empties this instance's work folder: deletes it with everything below it, then makes it again
// (its lock stays held). A failure to make it again is ignored.
void prepareWorkFolder();

// Removes this instance's work folder and gives up its claim, and what no running instance holds
// (as claimWorkFolder() does); the root goes too when nothing else is left in it. Folders of
// running instances are never touched.
void releaseWorkFolder();

// Deletes the folder tree (see platform::deleteFolderTree: links are never followed, other
// volumes never entered, a drive root is emptied but kept).
void deleteFolderTree(const QString& path);

} // namespace app
