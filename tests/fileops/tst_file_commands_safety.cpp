// The folder commands (delete, move, rename) refuse the root, mount points and the home
// folder with a message of their own, and the delete commands hand names that are not UTF-8 to the
// shell as their real bytes.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "base/NativePath.h"
#include "platform/DeletionGuard.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace
{
const QChar NUL(u'\0');
const QString kRefusal =
    QStringLiteral("ルートフォルダ、マウントポイント、ホームフォルダは削除できません。\n");
const QString kMoveRefusal =
    QStringLiteral("ルートフォルダ、マウントポイント、ホームフォルダは移動できません。\n");
const QString kRenameRefusal =
    QStringLiteral("ルートフォルダ、マウントポイント、ホームフォルダは名前を変更できません。\n");
} // namespace

class FileCommandsSafetyTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        explicit Run(const QString& startFolder = QString())
        {
            start({startFolder.isEmpty() ? browse.path() : startFolder});
        }
        app::MainWindow* w() const { return window(); }
        void trigger(const char* name) const
        {
            QAction* action = w()->menuAction(QString::fromLatin1(name));
            QVERIFY2(action, name);
            action->trigger();
        }
        void recycle(bool on) const
        {
            program->forms()
                ->general()
                ->findChild<QCheckBox*>(QStringLiteral("Check5"))
                ->setChecked(on);
        }
        // Every folder command on the current folder is refused with the same message.
        void expectRefused(const QString& refused)
        {
            for (bool trash : {false, true}) {
                recycle(trash);
                for (const char* command : {"fsakujyo", "mfolder"}) {
                    prompts.clear();
                    prompts.expectMessages(1);
                    trigger(command);
                    QCOMPARE(prompts.shown().size(), 1);
                    QCOMPARE(prompts.shown().first().text, kRefusal + refused);
                }
            }
            prompts.clear();
            prompts.expectMessages(1);
            trigger("fidou");
            QCOMPARE(prompts.shown().last().text, kMoveRefusal + refused);
            // Renaming is refused before the name is asked for, and nothing is renamed.
            prompts.clear();
            prompts.expectMessages(1);
            trigger("fhenkou");
            QCOMPARE(prompts.shown().size(), 1);
            QCOMPARE(prompts.shown().first().text, kRenameRefusal + refused);
            QVERIFY(QFileInfo(refused).isDir());
            QVERIFY(shell.callsOf(QStringLiteral("op")).isEmpty());
            QCOMPARE(prompts.unexpectedCount(), 0);
        }
    };

private Q_SLOTS:
    void theRootIsNeverDeleted()
    {
        Run run(QStringLiteral("/"));
        QCOMPARE(run.program->navigation()->currentFolder(), QStringLiteral("/"));
        run.expectRefused(QStringLiteral("/"));
    }

    void theHomeFolderIsNeverDeleted()
    {
        const QByteArray oldHome = qgetenv("HOME");
        Run run;
        qputenv("HOME", QFile::encodeName(run.browse.path()));
        run.expectRefused(run.browse.path());
        qputenv("HOME", oldHome);
    }

    void aMountPointIsNeverDeleted()
    {
        Run run;
        const QString volume = run.browsed(QStringLiteral("volume"));
        QVERIFY(QDir().mkpath(volume));
        if (::mount("tmpfs", QFile::encodeName(volume).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP(
                qPrintable(QStringLiteral("mounting a tmpfs needs root (%1); CI runs this as root")
                               .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        QVERIFY(run.program->navigation()->setCurrentFolder(volume));
        run.expectRefused(volume);
        ::umount2(QFile::encodeName(volume).constData(), MNT_DETACH);
    }

    void anOrdinaryFolderStillReachesTheShell()
    {
        Run run;
        const QString folder = run.browsed(QStringLiteral("sub"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(run.program->navigation()->setCurrentFolder(folder));
        run.recycle(false);
        run.trigger("fsakujyo");
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 1);
        QCOMPARE(ops.first().operation.from, folder + NUL);
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void namesThatAreNotUtf8ReachTheShellAsTheirBytes()
    {
        Run run;
        const QByteArray sjis("\x93\xfa\x96\x7b\x8c\xea.txt");
        const QByteArray real = QFile::encodeName(run.browse.path()) + '/' + sjis;
        const int fd = ::open(real.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "sjis", 4), ssize_t(4));
        ::close(fd);
        app::FileListBox* list = run.w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(QStringLiteral("[SJIS] 日本語.txt"));
        QVERIFY(entry >= 0);
        list->setRowSelected(entry, true);
        run.recycle(false);
        run.trigger("msakujyo");
        run.recycle(true);
        run.trigger("msakujyo");
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 2);
        for (const auto& op : ops) {
            QVERIFY(op.operation.from.endsWith(NUL));
            QCOMPARE(platform::toNativePath(op.operation.from.chopped(1)), real);
        }
        ::unlink(real.constData());
    }
};

QTEST_MAIN(FileCommandsSafetyTest)
#include "tst_file_commands_safety.moc"
