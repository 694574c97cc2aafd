#pragma once

#include <QString>

class QWidget;

namespace platform
{
class Prompts;
}

namespace fileops
{

// Before a folder command deletes or moves the current folder: the root, a mount point and
// the home folder (and the folders that hold it) are refused with a message, and so is the
// delete of a folder with another volume mounted inside it. True when refused.
bool refuseFolder(platform::Prompts& prompts, QWidget* owner, const QString& folder, bool move);

// Renames a folder by its bytes, so that a name that is not UTF-8 can be given a UTF-8 one.
// An existing target is never replaced. False when nothing was renamed.
bool renameFolderTo(const QString& folder, const QString& target);

} // namespace fileops
