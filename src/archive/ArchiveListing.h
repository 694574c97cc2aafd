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

// One member's row: its name, its size in bytes (also as a number under Qt::UserRole of
// column 1) and its time. A huge archive makes a hundred thousand of them: the size and time
// are kept as numbers and made into text only when the view asks for them. Sorted by a
// header click, sizes and times compare as numbers (times as their text would), names as text.
class MemberRow final : public QTreeWidgetItem
{
public:
    // `timeKey` is what memberTimeKey() gives.
    MemberRow(const QString& name, qint64 size, quint64 timeKey);
    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    QString m_name;
    qint64 m_size;
    quint64 m_time;
};

// A member time as a number that orders as its text does: the local date and time fields,
// packed. A stored date or time that names no real moment gives the format's epoch.
quint64 memberTimeKey(quint16 dosDate, quint16 dosTime);
quint64 memberTimeKey(qint64 secondsSince1970);
// The text "yyyy/mm/dd hh:nn:ss" of a time key.
QString memberTimeKeyText(quint64 timeKey);

// The member time stamp text of an MS-DOS date and time, as stored (no time-zone shift).
QString memberTimeText(quint16 dosDate, quint16 dosTime);
// The member time stamp text of an instant (seconds since 1970 UTC), in local time.
QString memberTimeText(qint64 secondsSince1970);

} // namespace archive
