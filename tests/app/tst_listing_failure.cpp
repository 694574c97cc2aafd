// A folder whose listing fails (no permission to read it) is reported, not shown as an empty
// folder. Permissions only matter to an ordinary user: run_unprivileged.sh runs this test as
// one when CTest runs as root.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <unistd.h>

class ListingFailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (geteuid() == 0)
            QSKIP("root reads every folder; run through run_unprivileged.sh");
    }

    void unreadableFolderIsReported()
    {
        TestProgramFolder program;
        QTemporaryDir browse;
        QVERIFY(QDir(browse.path()).mkdir(QStringLiteral("locked")));
        const QString locked = browse.path() + QStringLiteral("/locked");
        QFile inside(locked + QStringLiteral("/secret.txt"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.close();
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner | QFileDevice::ExeOwner));

        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        app::Application app(prompts, shell, mci);
        app.startUp({browse.path()});
        QVERIFY(prompts.shown().isEmpty());
        prompts.expectMessages(1);
        app.mainWindow()->folderTree()->setPath(locked);
        QCOMPARE(prompts.shown().size(), 1);
        QCOMPARE(prompts.shown().first().text,
                 QStringLiteral("パスが見つからないか、その他のエラーです。"));
        QCOMPARE(app.mainWindow()->fileList()->count(), 0);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
};

QTEST_MAIN(ListingFailureTest)
#include "tst_listing_failure.moc"
