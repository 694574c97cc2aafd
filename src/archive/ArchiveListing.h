#pragma once

#include <QString>

class QTreeWidget;

namespace archive
{

// Lists an archive's members into the report list through its family's library ("lzh",
// "zip", "cab"): one row per member with the name, the size in bytes and "yyyy/mm/dd
// hh:nn:ss". An archive that cannot be opened, or a missing library, lists nothing. The
// owner window id is handed to the library for its dialogs. Returns the rows added.
int listArchive(const QString& family, const QString& archivePath, QTreeWidget* list,
                quintptr ownerWindow, const QString& programFolder);

// The member time stamp text of an MS-DOS date and time, as stored (no time-zone shift).
QString memberTimeText(quint16 dosDate, quint16 dosTime);

} // namespace archive
