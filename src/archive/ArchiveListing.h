#pragma once

#include "archive/ArchiveFormats.h"

#include <QString>
#include <QTreeWidgetItem>

#include <functional>

class QTreeWidget;

namespace archive
{

// Lists an archive's members into the report list through its format's library: one row per
// member with the name, the size in bytes and "yyyy/mm/dd
// hh:nn:ss". An archive that cannot be opened, or a missing library, lists nothing. The
// owner window id is handed to the library for its dialogs. Returns the rows added.
int listArchive(Family family, const QString& archivePath, QTreeWidget* list, quintptr ownerWindow,
                const QString& programFolder);

// Walks an archive's members through its family's library and hands each one's row (made
// here, owned by `take` from then on) to `take`, in the library's order, until it returns
// false. Touches no widget, so it may run on any thread. Returns the rows handed over.
int readMembers(Family family, const QString& archivePath, quintptr ownerWindow,
                const QString& programFolder, const std::function<bool(QTreeWidgetItem*)>& take);

// One member's row. Sorted by a header click, sizes compare as numbers, names and times as text.
class MemberRow final : public QTreeWidgetItem
{
public:
    bool operator<(const QTreeWidgetItem& other) const override;
};

// The member time stamp text of an MS-DOS date and time, as stored (no time-zone shift).
QString memberTimeText(quint16 dosDate, quint16 dosTime);
// The member time stamp text of an instant (seconds since 1970 UTC), in local time.
QString memberTimeText(qint64 secondsSince1970);

} // namespace archive
