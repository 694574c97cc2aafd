#include "archive/ArchiveListing.h"

#include "archive/ArchiverLibrary.h"
#include "archivers/common/ArchiverApi.h"

#include <QDate>
#include <QTime>
#include <QTreeWidget>

#include <ctime>

namespace archive
{

namespace
{
using OpenArchive = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
using FindFirst = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
using FindNext = int (*)(ArchiverHandle, ArchiverMemberInfo*);
using CloseArchive = int (*)(ArchiverHandle);
using SizeEx = int (*)(ArchiverHandle, int64_t*);
using TimeEx = int (*)(ArchiverHandle, int64_t*);
} // namespace

namespace
{
// Fields packed so that the number orders as the text "yyyy/mm/dd hh:nn:ss" does.
constexpr quint64 pack(int year, int month, int day, int hour, int minute, int second)
{
    return (quint64(year) << 26) | (quint64(month) << 22) | (quint64(day) << 17) |
           (quint64(hour) << 12) | (quint64(minute) << 6) | quint64(second);
}

constexpr quint64 kEpochKey = pack(1601, 1, 1, 0, 0, 0);

quint64 timeKey(int year, int month, int day, int hour, int minute, int second)
{
    // A stored date or time that names no real moment is shown as the format's epoch.
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day) ||
        !QTime::isValid(hour, minute, second))
        return kEpochKey;
    return pack(year, month, day, hour, minute, second);
}
} // namespace

MemberRow::MemberRow(const QString& name, qint64 size, quint64 timeKey)
    : m_name(name), m_size(size), m_time(timeKey)
{
}

QVariant MemberRow::data(int column, int role) const
{
    // What was set on the row itself comes first.
    QVariant set = QTreeWidgetItem::data(column, role);
    if (set.isValid() || column < 0 || column > 2)
        return set;
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == 0)
            return m_name;
        if (column == 1)
            return QString::number(m_size);
        return memberTimeKeyText(m_time);
    }
    if (role == Qt::UserRole && column == 1)
        return qlonglong(m_size);
    return set;
}

bool MemberRow::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const auto* row = dynamic_cast<const MemberRow*>(&other);
    if (row && column == 1)
        return m_size < row->m_size;
    if (row && column == 2)
        return m_time < row->m_time;
    if (column == 1)
        return data(1, Qt::UserRole).toLongLong() < other.data(1, Qt::UserRole).toLongLong();
    return text(column) < other.text(column);
}

quint64 memberTimeKey(quint16 dosDate, quint16 dosTime)
{
    return timeKey(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F,
                   (dosTime >> 11) & 0x1F, (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
}

quint64 memberTimeKey(qint64 secondsSince1970)
{
    const time_t instant = static_cast<time_t>(secondsSince1970);
    struct tm local {
    };
    if (!localtime_r(&instant, &local))
        return kEpochKey;
    return timeKey(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min, local.tm_sec);
}

QString memberTimeKeyText(quint64 timeKey)
{
    // Written digit by digit: the view asks for this text of every row it shows.
    char16_t text[19];
    auto put = [&text](int at, quint64 value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    put(0, timeKey >> 26, 4);
    text[4] = u'/';
    put(5, (timeKey >> 22) & 0x0F, 2);
    text[7] = u'/';
    put(8, (timeKey >> 17) & 0x1F, 2);
    text[10] = u' ';
    put(11, (timeKey >> 12) & 0x1F, 2);
    text[13] = u':';
    put(14, (timeKey >> 6) & 0x3F, 2);
    text[16] = u':';
    put(17, timeKey & 0x3F, 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

QString memberTimeText(quint16 dosDate, quint16 dosTime)
{
    return memberTimeKeyText(memberTimeKey(dosDate, dosTime));
}

QString memberTimeText(qint64 secondsSince1970)
{
    return memberTimeKeyText(memberTimeKey(secondsSince1970));
}

int readMembers(Family family, const QString& archivePath, quintptr ownerWindow,
                const QString& programFolder, const std::function<bool(QTreeWidgetItem*)>& take)
{
    const ArchiverLibrary library(family, programFolder);
    auto open = reinterpret_cast<OpenArchive>(library.resolve("OpenArchive"));
    auto first = reinterpret_cast<FindFirst>(library.resolve("FindFirst"));
    auto next = reinterpret_cast<FindNext>(library.resolve("FindNext"));
    auto close = reinterpret_cast<CloseArchive>(library.resolve("CloseArchive"));
    auto size64 = reinterpret_cast<SizeEx>(library.resolve("GetOriginalSizeEx"));
    auto writeTime = reinterpret_cast<TimeEx>(library.resolve("GetWriteTime64"));
    if (!open || !first || !next || !close)
        return 0;
    const uint32_t mode = formatOf(family).listingMode;
    const QByteArray path = archivePath.toUtf8();
    const ArchiverHandle handle = open(ownerWindow, path.constData(), mode);
    if (handle == 0)
        return 0;
    ArchiverMemberInfo record{};
    int rows = 0;
    for (int found = first(handle, "*.*", &record); found == 0; found = next(handle, &record)) {
        record.fileName[sizeof record.fileName - 1] = '\0';
        // Sizes of 4 GiB and more come from the 64-bit query.
        int64_t size = record.originalSize;
        if (size64) {
            int64_t wide = 0;
            if (size64(handle, &wide) == 0)
                size = wide;
        }
        // The archive's own full time when it holds one (the MS-DOS time keeps even seconds).
        int64_t seconds = 0;
        const quint64 time = writeTime && writeTime(handle, &seconds) == 0
                                 ? memberTimeKey(qint64(seconds))
                                 : memberTimeKey(record.dosDate, record.dosTime);
        auto* row = new MemberRow(QString::fromUtf8(record.fileName), size, time);
        ++rows;
        if (!take(row))
            break;
    }
    close(handle);
    return rows;
}

int listArchive(Family family, const QString& archivePath, QTreeWidget* list, quintptr ownerWindow,
                const QString& programFolder)
{
    QList<QTreeWidgetItem*> rows;
    rows.reserve(1024);
    readMembers(family, archivePath, ownerWindow, programFolder, [&rows](QTreeWidgetItem* row) {
        rows << row;
        return true;
    });
    list->addTopLevelItems(rows);
    return static_cast<int>(rows.size());
}

} // namespace archive
