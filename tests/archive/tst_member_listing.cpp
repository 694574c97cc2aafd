// The member list of an archive through the real libraries: every member once, in the
// archive's order, with its size and time text; a second search on the same handle lists the
// same members again; the time text is the stored DOS time written out; pinning the local time
// zone keeps every local time as it was.
#include "archive/ArchiveListing.h"
#include "archive/MemberListing.h"
#include "archivers/common/ArchiverApi.h"
#include "platform/LocalTimeZone.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLibrary>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTime>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace
{

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A ZIP of `count` members written by Python's zipfile: namesakes in different folders, names
// starting with "-", blanks, quotes and Japanese names, sizes growing with the index.
bool pythonZip(const QString& archive, int count)
{
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    for i in range(int(sys.argv[2])):\n"
        "        name = ['-m%d.txt', 'd%d/same.txt', 'a b \"%d\".txt', '日本語%d.txt'][i % 4] % i\n"
        "        info = zipfile.ZipInfo(name, (1999 + i % 20, 1 + i % 12, 1 + i % 28, i % 24, i % "
        "60, i % 60))\n"
        "        z.writestr(info, b'x' * (i % 97))\n");
    QProcess p;
    p.start(QStringLiteral("python3"),
            {QStringLiteral("-c"), script, archive, QString::number(count)});
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

QStringList rowTexts(const QTreeWidget& list)
{
    QStringList out;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list.topLevelItem(i);
        out << row->text(0) + QLatin1Char('|') + row->text(1) + QLatin1Char('|') + row->text(2);
    }
    return out;
}

bool zipFolder(const QString& folder, const QString& archive)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("zip"), {QStringLiteral("-qr"), archive, QStringLiteral(".")});
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

} // namespace

class MemberListingTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeTextIsTheStoredDosTime()
    {
        // Every month, days at the ends of months, odd and even seconds, the first and the
        // last year the format holds.
        for (int year : {1980, 1999, 2000, 2024, 2107}) {
            for (int month = 1; month <= 12; ++month) {
                for (int day : {1, 9, 10, 28, 31}) {
                    for (const QTime& time :
                         {QTime(0, 0, 0), QTime(9, 5, 58), QTime(23, 59, 58), QTime(12, 30, 2)}) {
                        const quint16 dosDate = quint16(((year - 1980) << 9) | (month << 5) | day);
                        const quint16 dosTime = quint16((time.hour() << 11) | (time.minute() << 5) |
                                                        (time.second() / 2));
                        const QDate date(year, month, day);
                        const QString want = date.isValid()
                                                 ? date.toString(QStringLiteral("yyyy/MM/dd")) +
                                                       QLatin1Char(' ') +
                                                       time.toString(QStringLiteral("HH:mm:ss"))
                                                 : QStringLiteral("1601/01/01 00:00:00");
                        QCOMPARE(archive::memberTimeText(dosDate, dosTime), want);
                    }
                }
            }
        }
        // Month 0 and 13, day 0, hour 24, minute 60: no real moment.
        const QString epoch = QStringLiteral("1601/01/01 00:00:00");
        QCOMPARE(archive::memberTimeText(quint16((44 << 9) | (0 << 5) | 1), 0), epoch);
        QCOMPARE(archive::memberTimeText(quint16((44 << 9) | (13 << 5) | 1), 0), epoch);
        QCOMPARE(archive::memberTimeText(quint16((44 << 9) | (1 << 5) | 0), 0), epoch);
        QCOMPARE(archive::memberTimeText(quint16((44 << 9) | (1 << 5) | 1), quint16(24 << 11)),
                 epoch);
        QCOMPARE(archive::memberTimeText(quint16((44 << 9) | (1 << 5) | 1), quint16(60 << 5)),
                 epoch);
    }

    void pinnedTimeZoneKeepsLocalTimes()
    {
        const bool hadTz = std::getenv("TZ") != nullptr;
        std::vector<std::tm> before;
        const time_t moments[] = {0, 946684800, 1719792000, 1735689599};
        for (time_t t : moments) {
            std::tm out{};
            QVERIFY(localtime_r(&t, &out));
            before.push_back(out);
        }
        platform::pinLocalTimeZone();
        if (!hadTz && QFile::exists(QStringLiteral("/etc/localtime")))
            QCOMPARE(QByteArray(std::getenv("TZ")), QByteArray(":/etc/localtime"));
        for (size_t i = 0; i < std::size(moments); ++i) {
            std::tm out{};
            QVERIFY(localtime_r(&moments[i], &out));
            QCOMPARE(out.tm_hour, before[i].tm_hour);
            QCOMPARE(out.tm_mday, before[i].tm_mday);
            QCOMPARE(out.tm_gmtoff, before[i].tm_gmtoff);
            std::tm copy = out;
            QCOMPARE(mktime(&copy), moments[i]);
        }
    }

    void zipListsEveryMemberOnceAndAgainOnTheSameHandle()
    {
        const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/sub")));
        QStringList names;
        for (int i = 0; i < 30; ++i) {
            const QString name = QStringLiteral("m%1.txt").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(writeFile(tree + QLatin1Char('/') + name, QByteArray(i * 3, 'x')));
        }
        QVERIFY(writeFile(tree + QStringLiteral("/sub/last.log"), QByteArray("end")));
        const QString zip = dir.filePath(QStringLiteral("many.zip"));
        if (!zipFolder(tree, zip))
            QSKIP("zip is not installed");

        QTreeWidget list;
        list.setColumnCount(3);
        const int rows = archive::listArchive(archive::Family::Zip, zip, &list, 0, bin);
        QCOMPARE(rows, list.topLevelItemCount());
        QStringList listed;
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            listed << list.topLevelItem(i)->text(0);
        // The first member (read when the archive is opened) is there once, like all others.
        QVERIFY(listed.contains(QStringLiteral("m00.txt")));
        QCOMPARE(listed.count(QStringLiteral("m00.txt")), 1);
        QCOMPARE(listed.count(QStringLiteral("sub/last.log")), 1);
        QCOMPARE(listed.filter(QStringLiteral(".txt")).size(), 30);
        const QList<QTreeWidgetItem*> m10 =
            list.findItems(QStringLiteral("m10.txt"), Qt::MatchExactly);
        QCOMPARE(m10.size(), 1);
        QCOMPARE(m10.first()->text(1), QStringLiteral("30"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                    .match(m10.first()->text(2))
                    .hasMatch());

        // Through the entry points: a narrower search, then everything again, on one handle.
        QLibrary library(bin + QStringLiteral("/libunzip32.so"));
        QVERIFY2(library.load(), qPrintable(library.errorString()));
        using Open = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
        using Find = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
        using Next = int (*)(ArchiverHandle, ArchiverMemberInfo*);
        using Close = int (*)(ArchiverHandle);
        auto open = reinterpret_cast<Open>(library.resolve("UnZipOpenArchive"));
        auto first = reinterpret_cast<Find>(library.resolve("UnZipFindFirst"));
        auto next = reinterpret_cast<Next>(library.resolve("UnZipFindNext"));
        auto close = reinterpret_cast<Close>(library.resolve("UnZipCloseArchive"));
        QVERIFY(open && first && next && close);
        const QByteArray path = zip.toUtf8();
        const ArchiverHandle handle = open(0, path.constData(), 0);
        QVERIFY(handle != 0);
        ArchiverMemberInfo record{};
        int found = 0;
        for (int r = first(handle, "*.log", &record); r == 0; r = next(handle, &record))
            ++found;
        QCOMPARE(found, 1);
        QCOMPARE(QByteArray(record.fileName), QByteArray("sub/last.log"));
        found = 0;
        for (int r = first(handle, "*", &record); r == 0; r = next(handle, &record))
            ++found;
        QCOMPARE(found, rows);
        QCOMPARE(close(handle), 0);
    }

    // A row keeps its size and time as numbers: sorted by the time column, the rows come in the
    // order of their texts (the epoch shown for a date that names no real day first, a later
    // minute before an earlier second of the same day never), by size as numbers; a text set on
    // a row afterwards is what it shows.
    void rowsSortByTheirTimesAndSizesAsNumbers()
    {
        QTreeWidget list;
        list.setColumnCount(3);
        const quint16 day = quint16((10 << 9) | (12 << 5) | 31);
        const quint64 keys[] = {
            archive::memberTimeKey(qint64(1700000000)),
            archive::memberTimeKey(quint16((44 << 9) | (1 << 5) | 0), quint16(0)),
            archive::memberTimeKey(day, quint16((23 << 11) | (5 << 5) | 29)),
            archive::memberTimeKey(day, quint16((9 << 11) | (59 << 5) | 0)),
            archive::memberTimeKey(day, quint16((9 << 11) | (58 << 5) | 29)),
            archive::memberTimeKey(qint64(4102444800)),
        };
        const qint64 sizes[] = {10, 9, 100, 4294967296, 0, 96};
        for (int i = 0; i < 6; ++i)
            list.addTopLevelItem(
                new archive::MemberRow(QStringLiteral("m%1").arg(i), sizes[i], keys[i]));
        const auto column = [&list](int c) {
            QStringList out;
            for (int i = 0; i < list.topLevelItemCount(); ++i)
                out << list.topLevelItem(i)->text(c);
            return out;
        };
        list.sortItems(2, Qt::AscendingOrder);
        QStringList times = column(2);
        QStringList sorted = times;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(times, sorted);
        QCOMPARE(times.first(), QStringLiteral("1601/01/01 00:00:00"));
        QCOMPARE(times.at(1), QStringLiteral("1990/12/31 09:58:58"));
        list.sortItems(1, Qt::AscendingOrder);
        QCOMPARE(column(1), (QStringList{QStringLiteral("0"), QStringLiteral("9"),
                                         QStringLiteral("10"), QStringLiteral("96"),
                                         QStringLiteral("100"), QStringLiteral("4294967296")}));
        QCOMPARE(list.topLevelItem(5)->data(1, Qt::UserRole).toLongLong(), 4294967296LL);
        list.topLevelItem(0)->setText(1, QStringLiteral("?"));
        QCOMPARE(list.topLevelItem(0)->text(1), QStringLiteral("?"));
    }

    // Columns fit what they hold once the list is filled; a click on a header sorts by that
    // column (sizes as numbers: 9 before 10 before 96), a second click the other way.
    void columnsFitAndHeadersSort()
    {
        const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
        QTemporaryDir dir;
        const QString zip = dir.filePath(QStringLiteral("sizes.zip"));
        QVERIFY(pythonZip(zip, 100));
        QTreeWidget list;
        list.setColumnCount(3);
        list.resize(1200, 400);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        archive::MemberListing* listing = archive::MemberListing::of(&list);
        QSignalSpy finished(listing, &archive::MemberListing::finished);
        listing->start(archive::Family::Zip, zip, 0, bin);
        QVERIFY(finished.wait(60000));
        QCOMPARE(list.topLevelItemCount(), 100);
        // The longest name and the time text are shown whole.
        for (int column : {0, 2}) {
            int widest = 0;
            for (int i = 0; i < list.topLevelItemCount(); ++i)
                widest = std::max(widest, list.fontMetrics().horizontalAdvance(
                                              list.topLevelItem(i)->text(column)));
            QVERIFY2(list.columnWidth(column) >= widest, qPrintable(QString::number(column)));
        }
        // Still in the archive's order until a header is clicked.
        QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("-m0.txt"));

        QHeaderView* header = list.header();
        auto clickHeader = [header](int column) {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(x, header->height() / 2));
        };
        auto sizes = [&list] {
            QList<qlonglong> out;
            for (int i = 0; i < list.topLevelItemCount(); ++i)
                out << list.topLevelItem(i)->text(1).toLongLong();
            return out;
        };
        clickHeader(1);
        QList<qlonglong> up = sizes();
        QVERIFY(std::is_sorted(up.begin(), up.end()));
        QCOMPARE(up.last(), 96);
        clickHeader(1);
        const QList<qlonglong> down = sizes();
        QVERIFY(std::is_sorted(down.rbegin(), down.rend()));
        QCOMPARE(down.first(), 96);
        clickHeader(0);
        QCOMPARE(list.topLevelItem(0)->text(0), QStringLiteral("-m0.txt"));
        QVERIFY(list.topLevelItem(99)->text(0).startsWith(QStringLiteral("日本語")));
    }

    void workerListingMatchesAndANewerOneWins()
    {
        const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
        QTemporaryDir dir;
        const QString big = dir.filePath(QStringLiteral("big.zip"));
        const QString small = dir.filePath(QStringLiteral("small.zip"));
        QVERIFY(pythonZip(big, 12000));
        QVERIFY(pythonZip(small, 3));

        // Every member, in the library's order, with the same texts as the direct listing,
        // although they arrive in several batches.
        QTreeWidget direct;
        QCOMPARE(archive::listArchive(archive::Family::Zip, big, &direct, 0, bin), 12000);
        QTreeWidget list;
        archive::MemberListing* listing = archive::MemberListing::of(&list);
        QCOMPARE(archive::MemberListing::of(&list), listing);
        QSignalSpy finished(listing, &archive::MemberListing::finished);
        QSignalSpy inserted(list.model(), &QAbstractItemModel::rowsInserted);
        listing->start(archive::Family::Zip, big, 0, bin);
        QVERIFY(listing->running());
        QVERIFY(finished.wait(60000));
        QVERIFY(!listing->running());
        QCOMPARE(finished.first().first().toInt(), 12000);
        QCOMPARE(rowTexts(list), rowTexts(direct));
        QVERIFY(inserted.size() >= 2);
        QCOMPARE(list.topLevelItem(2)->text(0), QStringLiteral("a b \"2\".txt"));
        QCOMPARE(list.topLevelItem(3)->text(0), QStringLiteral("日本語3.txt"));

        // The user picks another archive while the big one is still being listed: only the
        // newer one's rows are in the list, and none of the older one's come late.
        finished.clear();
        listing->start(archive::Family::Zip, big, 0, bin);
        listing->start(archive::Family::Zip, small, 0, bin);
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), 3);
        // Rows of the older listing would come late, if at all: time for them to show up.
        QTest::qWait(300);
        QStringList names;
        for (int i = 0; i < list.topLevelItemCount(); ++i)
            names << list.topLevelItem(i)->text(0);
        QCOMPARE(names, (QStringList{QStringLiteral("-m0.txt"), QStringLiteral("d1/same.txt"),
                                     QStringLiteral("a b \"2\".txt")}));

        // Abandoned and emptied (another kind of file was picked): the list stays empty.
        finished.clear();
        listing->start(archive::Family::Zip, big, 0, bin);
        listing->abandon();
        list.clear();
        // Rows of the abandoned listing would come late, if at all: time for them to show up.
        QTest::qWait(300);
        QCOMPARE(list.topLevelItemCount(), 0);
        QVERIFY(finished.isEmpty());
        QVERIFY(!listing->running());

        // A missing library lists nothing, and says so by finishing.
        QTemporaryDir empty;
        listing->start(archive::Family::Cab, big, 0, empty.path());
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toInt(), 0);
        QCOMPARE(list.topLevelItemCount(), 0);
    }
};

QTEST_MAIN(MemberListingTest)
#include "tst_member_listing.moc"
