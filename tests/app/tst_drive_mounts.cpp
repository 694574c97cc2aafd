// The drive list follows volumes as they are mounted and unmounted. Runs in a mount namespace
// of its own (run_in_mount_namespace.sh), where it mounts small tmpfs volumes under /media and
// /mnt as a desktop mounts a USB stick, without touching the machine's own mounts.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "desktop/DriveList.h"
#include "platform/MountedDrives.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace
{

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool mountTmpfs(const QString& where)
{
    return QDir().mkpath(where) &&
           run(QStringLiteral("mount"),
               {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                QStringLiteral("size=1m"), QStringLiteral("koramo-test"), where});
}

bool unmountLazily(const QString& where)
{
    return run(QStringLiteral("umount"), {QStringLiteral("-l"), where});
}

QStringList driveTexts(const platform::DriveList* drives)
{
    QStringList texts;
    for (int i = 0; i < drives->count(); ++i)
        texts << drives->itemText(i);
    return texts;
}

} // namespace

class DriveMountsTest : public QObject
{
    Q_OBJECT
    bool m_ownNamespace = false;

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_ownNamespace = qEnvironmentVariable("KORAMO_MOUNT_NAMESPACE") == QLatin1String("1");
        if (!m_ownNamespace)
            return;
        // Fresh, private /media and /mnt in this namespace only.
        QVERIFY(mountTmpfs(QStringLiteral("/media")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt")));
    }

    void removableMediaFolders()
    {
        // Volumes under /run/media/$USER, /media and /mnt are the user's; the rest of /run is not.
        QVERIFY(platform::isUserVolume(QStringLiteral("/run/media/user/USB"), "vfat"));
        QVERIFY(platform::isUserVolume(QStringLiteral("/media/user/DISC"), "iso9660"));
        QVERIFY(platform::isUserVolume(QStringLiteral("/mnt/data"), "ext4"));
        QVERIFY(platform::isUserVolume(QStringLiteral("/"), "ext4"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/run/user/1000"), "tmpfs"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/run/lock"), "tmpfs"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/run/media"), "tmpfs"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/run/media/user"), "tmpfs"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/proc"), "proc"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/sys/fs/cgroup"), "cgroup2"));
        QVERIFY(!platform::isUserVolume(QStringLiteral("/snap/core/1"), "squashfs"));
    }

    void listFollowsMountsAndARemovedDriveFallsBackToRoot()
    {
        if (!m_ownNamespace)
            QSKIP("needs a mount namespace of its own (run through run_in_mount_namespace.sh)");
        TestProgramFolder program;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        app::Application app(prompts, shell, mci);
        app.startUp({QStringLiteral("/")});
        platform::DriveList* drives = app.mainWindow()->driveList();
        QVERIFY(!driveTexts(drives).contains(QStringLiteral("/media/USBSTICK")));

        // Mounted after start-up: the list shows it without any command.
        QVERIFY(mountTmpfs(QStringLiteral("/media/USBSTICK")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/disk")));
        QTRY_VERIFY_WITH_TIMEOUT(driveTexts(drives).contains(QStringLiteral("/media/USBSTICK")),
                                 5000);
        QTRY_VERIFY(driveTexts(drives).contains(QStringLiteral("/mnt/disk")));

        // The user picks it.
        const int index = driveTexts(drives).indexOf(QStringLiteral("/media/USBSTICK"));
        drives->setCurrentIndex(index);
        Q_EMIT drives->activated(index);
        QCOMPARE(app.mainWindow()->folderTree()->path(), QStringLiteral("/media/USBSTICK"));

        // Another volume goes: nothing is said, the list just loses it.
        QVERIFY(unmountLazily(QStringLiteral("/mnt/disk")));
        QTRY_VERIFY_WITH_TIMEOUT(!driveTexts(drives).contains(QStringLiteral("/mnt/disk")), 5000);
        QVERIFY(prompts.shown().isEmpty());
        QCOMPARE(app.mainWindow()->folderTree()->path(), QStringLiteral("/media/USBSTICK"));

        // The selected one goes (pulled out): the user is told and the browser shows "/".
        prompts.expectMessages(1);
        QVERIFY(unmountLazily(QStringLiteral("/media/USBSTICK")));
        QTRY_COMPARE_WITH_TIMEOUT(prompts.shown().size(), qsizetype(1), 5000);
        QCOMPARE(prompts.shown().first().text, QStringLiteral("デバイスが準備できていません。"));
        QCOMPARE(app.mainWindow()->folderTree()->path(), QStringLiteral("/"));
        QCOMPARE(drives->selectedMountPoint(), QStringLiteral("/"));
        QVERIFY(!driveTexts(drives).contains(QStringLiteral("/media/USBSTICK")));
    }
};

QTEST_MAIN(DriveMountsTest)
#include "tst_drive_mounts.moc"
