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

bool MemberRow::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    // Sizes compare as numbers; names and the fixed-width times as text.
    if (column == 1)
        return data(1, Qt::UserRole).toLongLong() < other.data(1, Qt::UserRole).toLongLong();
    return text(column) < other.text(column);
}

namespace
{
QString timeText(int year, int month, int day, int hour, int minute, int second)
{
    // A stored date or time that names no real moment is shown as the format's epoch.
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day) ||
        !QTime::isValid(hour, minute, second))
        return QStringLiteral("1601/01/01 00:00:00");
    // Written digit by digit: a list of many members makes this text once per member.
    char16_t text[19];
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'/';
    put(5, month, 2);
    text[7] = u'/';
    put(8, day, 2);
    text[10] = u' ';
    put(11, hour, 2);
    text[13] = u':';
    put(14, minute, 2);
    text[16] = u':';
    put(17, second, 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}
} // namespace

QString memberTimeText(quint16 dosDate, quint16 dosTime)
{
    return timeText(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F,
                    (dosTime >> 11) & 0x1F, (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
}

QString memberTimeText(qint64 secondsSince1970)
{
    const time_t instant = static_cast<time_t>(secondsSince1970);
    struct tm local {
    };
    if (!localtime_r(&instant, &local))
        return QStringLiteral("1601/01/01 00:00:00");
    return timeText(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec);
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
        auto* row = new MemberRow;
        row->setText(0, QString::fromUtf8(record.fileName));
        row->setText(1, QString::number(size));
        row->setData(1, Qt::UserRole, qlonglong(size));
        // The archive's own full time when it holds one (the MS-DOS time keeps even seconds).
        int64_t seconds = 0;
        row->setText(2, writeTime && writeTime(handle, &seconds) == 0
                            ? memberTimeText(qint64(seconds))
                            : memberTimeText(record.dosDate, record.dosTime));
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
