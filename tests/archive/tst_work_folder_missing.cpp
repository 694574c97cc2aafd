// Archive work when this instance's work folder cannot be made: a plain file where the
// work-folder root belongs, or the instance's folder turned into a file while the program
// runs. Every command stops and names the folder and the system's reason; nothing is extracted,
// staged, written or deleted anywhere else ("/" and the browsed folder stay as they were).
#include "ArchiveTestDoubles.h"
#include "ArchiveWindowRun.h"
#include "E2eSupport.h"
#include "GuiRun.h"
#include "RecordingArchiverCall.h"
#include "RecordingPrompts.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/ArchiveListEvents.h"
#include "archive/CompressDialog.h"
#include "archive/MemberListing.h"
#include "archive/ResultWindow.h"
#include "base/Paths.h"
#include "platform/WorkFolder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <cerrno>
#include <cstring>

using archive::Family;

namespace
{
QString notAFolder()
{
    return QString::fromLocal8Bit(std::strerror(ENOTDIR));
}

// What lies directly in "/": a command that took an empty work folder for "/" leaves traces.
QStringList rootEntries()
{
    return QDir(QStringLiteral("/"))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}
} // namespace

class WorkFolderMissingTest : public QObject
{
    Q_OBJECT

    struct Run : ArchiveWindowRun {
        RecordingArchiverCall calls;
        QString oldCurrent = QDir::currentPath();

        // `blockRoot`: a plain file named like the work-folder root is put in the program folder.
        explicit Run(bool blockRoot)
        {
            const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
            for (const char* lib : {"libunlha32.so", "libunzip32.so", "libcab32.so"})
                QFile::copy(bin + QLatin1Char('/') + QLatin1String(lib),
                            folder.path() + QLatin1Char('/') + QLatin1String(lib));
            QTemporaryDir source;
            writeSourceTree(source.path());
            QVERIFY(makeArchive(Family::Lzh, source.path(), browsed(QStringLiteral("ARC.LZH"))));
            QVERIFY(makeArchive(Family::Zip, source.path(), browsed(QStringLiteral("pack.zip"))));
            QVERIFY(QFile::copy(browsed(QStringLiteral("ARC.LZH")),
                                browsed(QStringLiteral("victim.lzh"))));
            if (blockRoot)
                writeFile(root(), "a file, not a folder");
            // Paths built relative to nothing would land in the browsed folder.
            QDir::setCurrent(browse.path());
            archiver = &calls;
            start({browse.path()});
            driver.on(QStringLiteral("Form13"), [](QWidget* w) { w->close(); });
        }
        ~Run() { QDir::setCurrent(oldCurrent); }
        QString root() const { return folder.path() + QStringLiteral("/temp"); }
        void select(const QString& name) const
        {
            for (int i = 0; i < list()->topLevelItemCount(); ++i)
                list()->topLevelItem(i)->setSelected(list()->topLevelItem(i)->text(0) == name);
        }
        // The last box named the folder and the reason, and nothing reached a library.
        void verifyRefused(const QString& folderNamed, const char* step) const
        {
            QVERIFY2(!prompts.shown().isEmpty(), step);
            const RecordingPrompts::Box& box = prompts.shown().last();
            QVERIFY2(box.text.contains(folderNamed),
                     qPrintable(QString::fromLatin1(step) + QLatin1String(": ") + box.text));
            QVERIFY2(box.text.contains(notAFolder()), qPrintable(box.text));
            QCOMPARE(box.icon, int(platform::Prompts::Critical));
            QVERIFY2(calls.calls.isEmpty(), step);
        }
    };

private Q_SLOTS:
    void blockedRootStopsEveryCommand()
    {
        const QStringList rootBefore = rootEntries();
        Run run(true);
        QVERIFY(app::workFolderPath().isEmpty());
        const QMap<QString, QByteArray> browsedBefore = filesBelow(run.browse.path());

        // A double click on a member.
        run.click(QStringLiteral("pack.zip"));
        QCOMPARE(run.list()->topLevelItemCount(), 4);
        QTreeWidgetItem* item =
            run.list()->findItems(QStringLiteral("read me.txt"), Qt::MatchExactly).first();
        run.prompts.expectMessages(1);
        Q_EMIT run.list()->itemDoubleClicked(item, 0);
        run.verifyRefused(run.root(), "double click");
        QVERIFY(run.shell.callsOf(QStringLiteral("open")).isEmpty());
        QVERIFY(run.shell.callsOf(QStringLiteral("openWith")).isEmpty());

        // Dragging members out.
        run.select(QStringLiteral("read me.txt"));
        run.prompts.expectMessages(1);
        std::unique_ptr<QMimeData> data(run.events().dragData());
        QVERIFY(!data);
        run.verifyRefused(run.root(), "drag out");

        // Files dropped on an LZH archive's list.
        QTemporaryDir elsewhere;
        const QString dropped = elsewhere.path() + QStringLiteral("/-dropped file.txt");
        writeFile(dropped, "dropped");
        run.click(QStringLiteral("ARC.LZH"));
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        run.events().addDropped({dropped});
        run.verifyRefused(run.root(), "drop");

        // The compression dialog stages nothing: it does not open.
        run.prompts.expectMessages(1);
        run.w()->menuAction(QStringLiteral("assyuku"))->trigger();
        QVERIFY(!run.program->archiveWork()->compressDialog());
        run.verifyRefused(run.root(), "compression");

        QCOMPARE(filesBelow(run.browse.path()), browsedBefore);
        QCOMPARE(rootEntries(), rootBefore);
        QVERIFY(QFileInfo(run.root()).isFile());
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        // The path helpers never turn "no folder" into the root.
        QCOMPARE(platform::withSlash(QString()), QString());
    }

    // The work folder was made at start, then its root became a plain file: the self-extracting
    // archives of the compression dialog stop before asking anything, and so does the member list.
    void folderTurnedIntoAFile()
    {
        Run run(false);
        const QString work = app::workFolderPath();
        QVERIFY(!work.isEmpty());
        run.w()->menuAction(QStringLiteral("assyuku"))->trigger();
        archive::CompressDialog* dialog = run.program->archiveWork()->compressDialog();
        QVERIFY(dialog);
        const QString staged = run.write(QStringLiteral("staged.txt"), "staged");
        dialog->addDropped({staged});
        QCOMPARE(dialog->list()->count(), 1);
        const QMap<QString, QByteArray> browsedBefore = filesBelow(run.browse.path());

        // The root with this instance's folder is gone, and a plain file took its name.
        QVERIFY(work.startsWith(run.root() + QLatin1Char('/')));
        QVERIFY(QDir(run.root()).removeRecursively());
        writeFile(run.root(), "no longer a folder");

        // "自己解凍式書庫の作成(LZH)" without details: no name is asked, no library runs.
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.expectMessages(1);
        dialog->button(4)->click();
        run.verifyRefused(work.chopped(1), "self-extracting LZH");
        // "自己解凍式書庫の作成(CAB)".
        run.prompts.expectMessages(1);
        dialog->button(7)->click();
        run.verifyRefused(work.chopped(1), "self-extracting CAB");
        QVERIFY(dialog->isVisible());

        // The member list.
        run.click(QStringLiteral("pack.zip"));
        run.prompts.expectMessages(1);
        Q_EMIT run.list()->itemDoubleClicked(run.list()->topLevelItem(0), 0);
        run.verifyRefused(work.chopped(1), "double click");

        for (const RecordingPrompts::Box& box : run.prompts.shown())
            QVERIFY2(box.kind == QLatin1String("message"), qPrintable(box.kind));
        QCOMPARE(filesBelow(run.browse.path()), browsedBefore);
        QVERIFY(QFileInfo(run.browsed(QStringLiteral("victim.lzh"))).isFile());
        dialog->close();
        QFile::remove(run.root());
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    // A dialog given no work folder at all (an empty path): it stages nothing and its commands
    // build no path relative to the current folder.
    void compressDialogWithoutWorkFolder()
    {
        QTemporaryDir current;
        const QString victim = current.path() + QStringLiteral("/victim.lzh");
        writeFile(victim, "the user's archive");
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(current.path());
        const QStringList rootBefore = rootEntries();
        QWidget window;
        RecordingPrompts prompts;
        RecordingRunner runner;
        archive::Services services;
        services.prompts = &prompts;
        services.archiver = &runner;
        services.mainWindow = &window;
        services.workFolder = [] { return QString(); };
        auto* dialog = new archive::CompressDialog(services, &window);
        dialog->show();
        QVERIFY(dialog->stagingFolder().isEmpty());

        QTemporaryDir sources;
        const QString file = sources.path() + QStringLiteral("/a.txt");
        writeFile(file, "a");
        prompts.expectMessages(1);
        dialog->addDropped({file});
        QCOMPARE(dialog->list()->count(), 0);
        prompts.expectMessages(1);
        dialog->button(4)->click(); // the name "victim" is never asked for
        prompts.expectMessages(1);
        dialog->button(7)->click();
        prompts.expectMessages(1);
        dialog->button(1)->click();
        prompts.expectMessages(1);
        dialog->button(5)->click();
        dialog->button(2)->click();
        QVERIFY(runner.calls.isEmpty());
        for (const RecordingPrompts::Box& box : prompts.shown())
            QVERIFY2(box.kind == QLatin1String("message"), qPrintable(box.kind));
        QCOMPARE(prompts.shown().size(), 5);
        QVERIFY(QFileInfo(victim).isFile());
        QCOMPARE(rootEntries(), rootBefore);
        QCOMPARE(prompts.unexpectedCount(), 0);
        QDir::setCurrent(oldCurrent);
    }
};

QTEST_MAIN(WorkFolderMissingTest)
#include "tst_work_folder_missing.moc"
