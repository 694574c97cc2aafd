#pragma once

#include <QString>

class QWidget;

namespace platform
{
class Prompts;
}

namespace fileops
{

// What a folder command is about to do to the current folder.
enum class FolderAction { Delete, Move, Rename };

// Before a folder command deletes, moves or renames the current folder: the root, a mount
// point and the home folder (and the folders that hold it) are refused with a message, and so
// is the delete of a folder with another volume mounted inside it. True when refused.
bool refuseFolder(platform::Prompts& prompts, QWidget* owner, const QString& folder,
                  FolderAction action);

} // namespace fileops
