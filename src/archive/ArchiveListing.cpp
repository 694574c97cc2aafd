#include "archive/ArchiveListing.h"

#include "archive/ArchiverLibrary.h"
#include "platform/archiver/common/ArchiverApi.h"

#include <QDate>
#include <QTime>
#include <QTreeWidget>

namespace archive
{

namespace
{
using OpenArchive = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
using FindFirst = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
using FindNext = int (*)(ArchiverHandle, ArchiverMemberInfo*);
using CloseArchive = int (*)(ArchiverHandle);
using SizeEx = int (*)(ArchiverHandle, int64_t*);

Family familyOf(const QString& family)
{
    if (family == QLatin1String("zip"))
        return Family::Zip;
    if (family == QLatin1String("cab"))
        return Family::Cab;
    return Family::Lzh;
}
} // namespace

QString memberTimeText(quint16 dosDate, quint16 dosTime)
{
    const QDate date(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F);
    const QTime time((dosTime >> 11) & 0x1F, (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2);
    // A stored date or time that names no real moment is shown as the format's epoch.
    if (!date.isValid() || !time.isValid())
        return QStringLiteral("1601/01/01 00:00:00");
    return date.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') +
           time.toString(QStringLiteral("HH:mm:ss"));
}

int listArchive(const QString& family, const QString& archivePath, QTreeWidget* list,
                quintptr ownerWindow, const QString& programFolder)
{
    const ArchiverLibrary library(familyOf(family), programFolder);
    auto open = reinterpret_cast<OpenArchive>(library.resolve("OpenArchive"));
    auto first = reinterpret_cast<FindFirst>(library.resolve("FindFirst"));
    auto next = reinterpret_cast<FindNext>(library.resolve("FindNext"));
    auto close = reinterpret_cast<CloseArchive>(library.resolve("CloseArchive"));
    auto size64 = reinterpret_cast<SizeEx>(library.resolve("GetOriginalSizeEx"));
    if (!open || !first || !next || !close)
        return 0;
    const uint32_t mode = family == QLatin1String("zip") ? 0x20000000u : 0u;
    const QByteArray path = archivePath.toUtf8();
    const ArchiverHandle handle = open(ownerWindow, path.constData(), mode);
    if (handle == 0)
        return 0;
    ArchiverMemberInfo record{};
    QList<QTreeWidgetItem*> rows;
    for (int found = first(handle, "*.*", &record); found == 0; found = next(handle, &record)) {
        record.fileName[sizeof record.fileName - 1] = '\0';
        // Sizes of 4 GiB and more come from the 64-bit query.
        int64_t size = record.originalSize;
        if (size64) {
            int64_t wide = 0;
            if (size64(handle, &wide) == 0)
                size = wide;
        }
        rows << new QTreeWidgetItem(QStringList{QString::fromUtf8(record.fileName),
                                                QString::number(size),
                                                memberTimeText(record.dosDate, record.dosTime)});
    }
    close(handle);
    list->addTopLevelItems(rows);
    return static_cast<int>(rows.size());
}

} // namespace archive
