#pragma once

#include <QString>

// The freedesktop.org trash: items deleted from the home file system go to
// $XDG_DATA_HOME/Trash, items on other volumes to the volume's own .Trash/$uid or
// .Trash-$uid, each with an info file that other file managers read to restore them.
namespace platform::trash
{

enum class Result {
    Trashed, // the item is in the trash
    NoTrash, // no trash can take it (reason says why); nothing was changed
    Failed,  // a trash was found but moving the item failed; nothing was changed
};

struct Outcome {
    Result result = Result::Failed;
    QString reason;   // for NoTrash and Failed
    QString trashed;  // the item's new path under files/
    QString infoFile; // its .trashinfo
};

// Moves the file, folder or link (never followed) at the absolute path to the trash.
Outcome moveToTrash(const QString& path);

// The home trash folder ($XDG_DATA_HOME/Trash).
QString homeTrash();

} // namespace platform::trash
