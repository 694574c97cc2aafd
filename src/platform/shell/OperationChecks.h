#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform::opcheck
{

// What the file operations check before they touch anything, and the questions they ask.
// Paths are the file system's bytes.

// The message refusing the operation, or empty when it may go on: a delete or move of the
// root, a mount point or the home folder (and the folders that hold it); a delete of a
// folder with another volume mounted somewhere inside it.
QString refusal(const QList<QByteArray>& sources, bool move);

// The message refusing to carry a folder to another disk when a volume is mounted inside it
// (the move would empty that volume), or empty.
QString mountInsideMove(const QByteArray& folder);

// The question before a delete: the full path of one item, or the number of items followed
// by their full paths (at most 10, then how many more).
QString deleteQuestion(const QList<QByteArray>& sources, bool toTrash);

// How a path is shown in a message.
QString shown(const QByteArray& path);

} // namespace platform::opcheck
