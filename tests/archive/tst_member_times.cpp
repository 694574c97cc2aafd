// The member list shows the time each archive holds for its members: the full time of a level-2
// LZH header (a Unix time) and of a ZIP member's extended timestamp or NTFS times, odd seconds
// included, in local time; the MS-DOS date and time as stored when that is all there is. The
// archives are written by outside tools (jlha, Info-ZIP zip, Python's zipfile) and listed through
// the real libraries by clicking them in the main window's file list.
#include "E2eSupport.h"
#include "GuiRun.h"

#include "app/FileListBox.h"
#include "app/MainWindow.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <ctime>

namespace
{
// 2021-03-04 23:59:59 in Japan (no daylight saving there), an odd second before midnight.
constexpr qint64 kInstant = 1614869999;

quint16 le16(const QByteArray& bytes, int at)
{
    return quint16(uchar(bytes.at(at)) | uchar(bytes.at(at + 1)) << 8);
}

// "yyyy/mm/dd hh:nn:ss" of MS-DOS date and time fields, written apart from the program's code.
QString dosText(quint16 date, quint16 time)
{
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(1980 + (date >> 9), 4, 10, QLatin1Char('0'))
        .arg((date >> 5) & 0x0F, 2, 10, QLatin1Char('0'))
        .arg(date & 0x1F, 2, 10, QLatin1Char('0'))
        .arg(time >> 11, 2, 10, QLatin1Char('0'))
        .arg((time >> 5) & 0x3F, 2, 10, QLatin1Char('0'))
        .arg((time & 0x1F) * 2, 2, 10, QLatin1Char('0'));
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kMember = QStringLiteral("奇数秒 odd.txt");
} // namespace

class MemberTimesTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run()
        {
            const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
            for (const char* lib : {"libunlha32.so", "libunzip32.so"})
                QFile::copy(bin + QLatin1Char('/') + QLatin1String(lib),
                            folder.path() + QLatin1Char('/') + QLatin1String(lib));
        }
        // A click on the archive in the file list, then the member list's time of its member.
        QString shownTime(const QString& name)
        {
            app::FileListBox* files = window()->fileList();
            files->refresh();
            const int entry = files->rowShowing(name);
            if (entry < 0)
                return QStringLiteral("(no %1 in the file list)").arg(name);
            files->scrollTo(files->model()->index(entry, 0));
            QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                              files->visualRect(files->model()->index(entry, 0)).center());
            settleMemberList(window());
            QTreeWidget* list = window()->archiveList();
            if (!list->isVisible() || list->topLevelItemCount() != 1)
                return QStringLiteral("(%1 members listed)").arg(list->topLevelItemCount());
            return list->topLevelItem(0)->text(2);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        // Japan's time: the instant above is 14:59:59 UTC, so showing UTC would be seen.
        qputenv("TZ", "JST-9");
        tzset();
    }

    void listShowsTheTimeTheArchiveHolds()
    {
        QTemporaryDir source;
        const QString file = source.path() + QLatin1Char('/') + kMember;
        QFile member(file);
        QVERIFY(member.open(QIODevice::WriteOnly));
        member.write("one odd second\n");
        // Written out first, so that closing does not touch the time again.
        QVERIFY(member.flush());
        QVERIFY(member.setFileTime(QDateTime::fromSecsSinceEpoch(kInstant, Qt::UTC),
                                   QFileDevice::FileModificationTime));
        member.close();

        Run run;
        const QString lzh2 = run.browsed(QStringLiteral("level2.lzh"));
        const QString lzh0 = run.browsed(QStringLiteral("level0.lzh"));
        const QString zipUt = run.browsed(QStringLiteral("extended.zip"));
        const QString zipDos = run.browsed(QStringLiteral("dos only.zip"));
        const QString zipNtfs = run.browsed(QStringLiteral("ntfs.zip"));
        QVERIFY(
            runTool(QStringLiteral("jlha"), {QStringLiteral("c2"), lzh2, kMember}, source.path()));
        QVERIFY(
            runTool(QStringLiteral("jlha"), {QStringLiteral("c0"), lzh0, kMember}, source.path()));
        QVERIFY(
            runTool(QStringLiteral("zip"), {QStringLiteral("-q"), zipUt, kMember}, source.path()));
        QVERIFY(runTool(QStringLiteral("zip"),
                        {QStringLiteral("-q"), QStringLiteral("-X"), zipDos, kMember},
                        source.path()));
        // Only an NTFS extra field (modification, access and creation time), and MS-DOS fields
        // two seconds off, as a Windows tool may write them.
        const QString python =
            QStringLiteral("import struct, sys, zipfile\n"
                           "t = (%1 + 11644473600) * 10000000\n"
                           "extra = struct.pack('<HHIHHQQQ', 0x000a, 32, 0, 1, 24, t, t, t)\n"
                           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                           "    info = zipfile.ZipInfo(sys.argv[2], (2021, 3, 4, 23, 59, 56))\n"
                           "    info.extra = extra\n"
                           "    z.writestr(info, b'one odd second\\n')\n")
                .arg(kInstant);
        QVERIFY(
            runTool(QStringLiteral("python3"), {QStringLiteral("-c"), python, zipNtfs, kMember}));

        // The headers hold what the tools wrote: level 2 and 0, the extended timestamp.
        const QByteArray level2 = contentOf(lzh2), level0 = contentOf(lzh0);
        QCOMPARE(int(level2.at(20)), 2);
        QCOMPARE(int(level0.at(20)), 0);
        QVERIFY(contentOf(zipUt).contains(QByteArrayLiteral("UT")));

        run.start({run.browse.path()});
        run.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window()));

        QCOMPARE(run.shownTime(QStringLiteral("level2.lzh")),
                 QStringLiteral("2021/03/04 23:59:59"));
        QCOMPARE(run.shownTime(QStringLiteral("extended.zip")),
                 QStringLiteral("2021/03/04 23:59:59"));
        QCOMPARE(run.shownTime(QStringLiteral("ntfs.zip")), QStringLiteral("2021/03/04 23:59:59"));
        // Without a full time the stored MS-DOS fields are shown as they are: time at 15 and
        // date at 17 of a level-0 header, at 10 and 12 of a ZIP local header.
        QCOMPARE(run.shownTime(QStringLiteral("level0.lzh")),
                 dosText(le16(level0, 17), le16(level0, 15)));
        const QByteArray dos = contentOf(zipDos);
        QCOMPARE(run.shownTime(QStringLiteral("dos only.zip")),
                 dosText(le16(dos, 12), le16(dos, 10)));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(MemberTimesTest)
#include "tst_member_times.moc"
