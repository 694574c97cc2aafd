// Archive work on the real main window: the extraction menu entries, the member list's popup
// commands and its mouse events, with the prompts, the shell and the library calls recorded.
// The archives are real (written by jlha and zip) and listed by the real libraries.
#include "ArchiveTestDoubles.h"
#include "ArchiveWindowRun.h"
#include "E2eSupport.h"
#include "GuiRun.h"
#include "RecordingArchiverCall.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/ArchiveListEvents.h"
#include "archive/ArchiverCall.h"
#include "archive/ArchiverWorker.h"
#include "archive/ExtractDialog.h"
#include "archive/MemberListing.h"
#include "archive/ResultWindow.h"
#include "base/IniFile.h"
#include "platform/WorkFolder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

using archive::Family;

namespace
{
// Passes each call on and then holds its thread until released.
class HoldingCall final : public archive::ArchiverCall
{
public:
    archive::ArchiverCall* inner = nullptr;
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};

    archive::CallResult run(Family family, quintptr owner, const QString& line, int size) override
    {
        const archive::CallResult result = inner->run(family, owner, line, size);
        holding = true;
        // Holds the call (at most 20 s) until the test releases it.
        for (int i = 0; i < 20000 && !release.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        holding = false;
        return result;
    }
};

// A double click as the window system delivers it: press, release, double click, release.
void doubleClick(QWidget* widget, const QPoint& at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}
} // namespace

class ArchiveWindowTest : public QObject
{
    Q_OBJECT

    struct Run : ArchiveWindowRun {
        RecordingArchiverCall calls;

        explicit Run(const QByteArray& ini = {}, archive::ArchiverCall* through = nullptr)
        {
            // The real libraries list the archives; the commands go to the recording call.
            copyLibraries();
            if (!ini.isEmpty())
                folder.writeIni(ini);
            QTemporaryDir source;
            writeSourceTree(source.path());
            QVERIFY(makeArchive(Family::Lzh, source.path(),
                                browse.path() + QStringLiteral("/ARC.LZH")));
            QVERIFY(makeArchive(Family::Zip, source.path(),
                                browse.path() + QStringLiteral("/pack.zip")));
            archiver = through ? through : &calls;
            start({browse.path()});
            collectReports();
        }
        QString folderSlash() const { return browse.path() + QLatin1Char('/'); }
    };

private Q_SLOTS:
    void popupEntriesAndMenus()
    {
        Run run;
        const QStringList entries{QStringLiteral("senkaitou"), QStringLiteral("assyukuhenkou"),
                                  QStringLiteral("se"), QStringLiteral("tuika"),
                                  QStringLiteral("syosaku")};
        QStringList names;
        for (QAction* a : run.w()->archiveMenu()->actions())
            names << a->objectName();
        QCOMPARE(names, entries);
        QCOMPARE(run.w()->menuAction(QStringLiteral("senkaitou"))->text(),
                 QStringLiteral("選択した物を解凍"));
        QCOMPARE(run.w()->menuAction(QStringLiteral("tuika"))->text(), QStringLiteral("追加"));
        QCOMPARE(run.w()->menuAction(QStringLiteral("syosaku"))->text(), QStringLiteral("削除"));
        QCOMPARE(run.w()->menuAction(QStringLiteral("exnakami"))->text(),
                 QStringLiteral("exe形式のファイルの中身を見る(LZH)"));

        // ZIP hides the LZH-only entries; an LZH list shows them again.
        run.click(QStringLiteral("pack.zip"));
        QCOMPARE(run.rows().size(), 4);
        run.program->archiveWork()->listEvents().mouseUp(Qt::RightButton, QPoint(20, 20));
        QVERIFY(!run.w()->menuAction(QStringLiteral("tuika"))->isVisible());
        QVERIFY(!run.w()->menuAction(QStringLiteral("syosaku"))->isVisible());
        QVERIFY(!run.w()->menuAction(QStringLiteral("se"))->isVisible());
        run.w()->archiveMenu()->hide();
        run.click(QStringLiteral("ARC.LZH"));
        run.program->archiveWork()->listEvents().mouseUp(Qt::RightButton, QPoint(20, 20));
        QVERIFY(run.w()->menuAction(QStringLiteral("tuika"))->isVisible());
        QVERIFY(run.w()->menuAction(QStringLiteral("syosaku"))->isVisible());
        run.w()->archiveMenu()->hide();
        QVERIFY(run.calls.calls.isEmpty());
    }

    void extractUpperCaseLzhIntoCurrentFolder()
    {
        Run run;
        run.click(QStringLiteral("ARC.LZH"));
        archive::CallResult result;
        result.report = QStringLiteral("Melted  read me.txt");
        run.calls.results.enqueue(result);
        run.extractWith("kaitou", 1);
        QCOMPARE(run.calls.calls.size(), 1);
        const auto& call = run.calls.calls.first();
        QCOMPARE(call.family, Family::Lzh);
        QCOMPARE(call.commandLine,
                 QStringLiteral("e -d1 \"%1ARC.LZH\" \"%1\"").arg(run.folderSlash()));
        QCOMPARE(call.reportBufferSize, 2048);
        QCOMPARE(call.ownerWindow, quintptr(run.w()->winId()));
        QCOMPARE(run.reports, QStringList{QStringLiteral("Melted  read me.txt")});
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void askToShowSettingPerType()
    {
        // "mes/kaitou" = 1: the user is not asked; LZH shows no result, ZIP still does.
        Run run(cp932Lines({QStringLiteral("[mes]"), QStringLiteral("kaitou=1")}));
        run.click(QStringLiteral("ARC.LZH"));
        run.extractWith("kaitoup", 1);
        QCOMPARE(run.calls.calls.size(), 1);
        QVERIFY(run.reports.isEmpty());
        run.click(QStringLiteral("pack.zip"));
        run.extractWith("kaitou", 1);
        QCOMPARE(run.calls.calls.size(), 2);
        QCOMPARE(run.calls.calls.last().commandLine,
                 QStringLiteral("-x \"%1pack.zip\" \"%1\"").arg(run.folderSlash()));
        QCOMPARE(run.reports.size(), 1);
    }

    void membersExtractAndCancelledBrowse()
    {
        Run run;
        run.click(QStringLiteral("ARC.LZH"));
        QCOMPARE(run.rows().size(), 4);
        run.select({QStringLiteral("read me.txt"), QStringLiteral("sub folder/data.bin")});
        run.prompts.answerText(QString());
        run.trigger("senkaitou");
        QVERIFY(run.calls.calls.isEmpty());
        QVERIFY(run.reports.isEmpty());
        QTemporaryDir out;
        run.prompts.answerText(out.path());
        run.trigger("senkaitou");
        QCOMPARE(run.calls.commandLines(Family::Lzh),
                 QStringList{
                     QStringLiteral(
                         "e --exact \"%1ARC.LZH\" \"%2/\" \"read me.txt\" \"sub folder/data.bin\"")
                         .arg(run.folderSlash(), out.path())});
        QCOMPARE(run.reports.size(), 1);
    }

    void threeDeletesThreeCallsOneListing()
    {
        Run run;
        run.click(QStringLiteral("ARC.LZH"));
        run.select({QStringLiteral("read me.txt"), QStringLiteral("plain.txt"),
                    QStringLiteral("sub folder/empty.txt")});
        run.list()->topLevelItem(0)->setText(1, QStringLiteral("marker"));
        run.trigger("syosaku");
        const QString a = run.folderSlash() + QStringLiteral("ARC.LZH");
        QCOMPARE(
            run.calls.commandLines(Family::Lzh),
            (QStringList{QStringLiteral("d -jyd --exact \"%1\" \"read me.txt\"").arg(a),
                         QStringLiteral("d -jyd --exact \"%1\" \"plain.txt\"").arg(a),
                         QStringLiteral("d -jyd --exact \"%1\" \"sub folder/empty.txt\"").arg(a)}));
        for (const auto& c : run.calls.calls)
            QCOMPARE(c.reportBufferSize, 255);
        // Listed again: the rows come from the archive, the marker is gone.
        QCOMPARE(run.rows().size(), 4);
        QVERIFY(run.list()->topLevelItem(0)->text(1) != QLatin1String("marker"));
    }

    void addOnZipStillUsesTheLzhLibrary()
    {
        Run run;
        run.click(QStringLiteral("pack.zip"));
        run.prompts.answerText(QStringLiteral("/tmp/a file.txt"));
        run.trigger("tuika");
        QCOMPARE(run.calls.commandLines(Family::Lzh),
                 QStringList{
                     QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1pack.zip\" \"/\" \"/tmp/a file.txt\" ")
                         .arg(run.folderSlash())});
    }

    void renameOnlyLzh()
    {
        Run run;
        run.click(QStringLiteral("pack.zip"));
        run.select({QStringLiteral("plain.txt")});
        run.w()->menuAction(QStringLiteral("assyukuhenkou"))->setVisible(true);
        run.trigger("assyukuhenkou");
        QVERIFY(run.calls.calls.isEmpty());
        run.click(QStringLiteral("ARC.LZH"));
        run.select({QStringLiteral("plain.txt")});
        run.trigger("assyukuhenkou");
        QCOMPARE(run.calls.commandLines(Family::Lzh),
                 QStringList{QStringLiteral("n --exact \"%1ARC.LZH\" \"ARC.LZH\" \"plain.txt\"")
                                 .arg(run.folderSlash())});
        QCOMPARE(run.reports.size(), 1);
    }

    void doubleClickOpensTheMember()
    {
        Run run;
        run.click(QStringLiteral("pack.zip"));
        run.w()->setBackFolder(QStringLiteral("/somewhere"));
        QTreeWidgetItem* item =
            run.list()->findItems(QStringLiteral("sub folder/data.bin"), Qt::MatchExactly).first();
        Q_EMIT run.list()->itemDoubleClicked(item, 0);
        const QString work = app::workFolderPath();
        QCOMPARE(run.calls.calls.size(), 1);
        // A new folder of its own inside this instance's work folder.
        const QString out = quotedOperand(run.calls.calls.first().commandLine, 1);
        QVERIFY2(out.startsWith(work) && out.size() > work.size(), qPrintable(out));
        QCOMPARE(run.calls.commandLines(Family::Zip),
                 QStringList{
                     QStringLiteral("-x -j --exact \"%1pack.zip\" \"%2\" \"sub folder/data.bin\"")
                         .arg(run.folderSlash(), out)});
        QCOMPARE(run.calls.calls.first().reportBufferSize, 255);
        QCOMPARE(run.w()->backFolder(), QString());
        QVERIFY(QFileInfo(out).isDir());
        const auto opens = run.shell.callsOf(QStringLiteral("open"));
        QCOMPARE(opens.size(), 1);
        QCOMPARE(opens.first().path, out + QStringLiteral("data.bin"));
    }

    void noSecondCommandWhileACallRuns()
    {
        HoldingCall holding;
        archive::ThreadedArchiverCall threaded(holding);
        Run run({}, &threaded);
        holding.inner = &run.calls;
        run.click(QStringLiteral("pack.zip"));
        QCOMPARE(run.rows().size(), 4);
        QWidget* area = run.list()->viewport();
        const QPoint first = run.list()->visualItemRect(run.list()->topLevelItem(0)).center();
        const QPoint second = run.list()->visualItemRect(run.list()->topLevelItem(1)).center();
        // While the first member is being extracted, the user double-clicks another one and
        // presses keys in the main window.
        bool triedAgain = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!holding.holding || triedAgain)
                return;
            triedAgain = true;
            doubleClick(area, second);
            QTest::keyClick(run.w(), Qt::Key_Return);
            QTest::keyClick(run.list(), Qt::Key_Down);
            holding.release = true;
        });
        poll.start(5);
        const QString firstName = run.list()->topLevelItem(0)->text(0);
        doubleClick(area, first);
        QVERIFY(triedAgain);
        QCOMPARE(run.calls.calls.size(), 1);
        QVERIFY(run.calls.calls.first().commandLine.endsWith(QLatin1Char('"') + firstName +
                                                             QLatin1Char('"')));
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(run.list()->currentItem(), run.list()->topLevelItem(0));

        // Once it is over, the same double click opens the other member.
        poll.stop();
        doubleClick(area, second);
        QCOMPARE(run.calls.calls.size(), 2);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 2);
    }

    void dropOnZipAsksNothingAndNoLeavesLzhAlone()
    {
        Run run;
        const QString dropped = run.write(QStringLiteral("dropped.txt"), "x");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped)});
        run.click(QStringLiteral("pack.zip"));
        archive::ArchiveListEvents& events = run.program->archiveWork()->listEvents();
        QVERIFY(!events.takesDrop(&data));
        events.addDropped({dropped});
        QVERIFY(run.prompts.shown().isEmpty());

        run.click(QStringLiteral("ARC.LZH"));
        QVERIFY(run.list()->viewport()->acceptDrops());
        QVERIFY(events.takesDrop(&data));
        QFile archive(run.browsed(QStringLiteral("ARC.LZH")));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        const QByteArray before = archive.readAll();
        archive.close();
        run.prompts.answerMessage(platform::Prompts::No);
        events.addDropped({dropped});
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().text,
                 QStringLiteral("ドラッグされたファイルを書庫に追加しますか？"));
        QVERIFY(run.calls.calls.isEmpty());
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), before);
        // This instance's work folder, without its closing separator.
        const QString work = app::workFolderPath().chopped(1);
        QVERIFY(!QFileInfo::exists(work) || QDir(work).isEmpty());

        // Files left in the work folder by earlier work, and in its drop folder by an earlier
        // drop, must not go into the archive with the dropped file.
        QVERIFY(QDir().mkpath(work + QStringLiteral("/drop")));
        for (const QString& left : {QStringLiteral("/left.txt"), QStringLiteral("/drop/old.txt")}) {
            QFile file(work + left);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        run.prompts.answerMessage(platform::Prompts::Yes);
        events.addDropped({dropped});
        QCOMPARE(QDir(work + QStringLiteral("/drop")).entryList(QDir::Files),
                 QStringList{QStringLiteral("dropped.txt")});
        QCOMPARE(
            run.calls.commandLines(Family::Lzh),
            QStringList{QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1ARC.LZH\" \"/\" \"%2/drop/*.*\" ")
                            .arg(run.folderSlash(), work)});
        QVERIFY(QFileInfo(work + QStringLiteral("/drop/dropped.txt")).isFile());
    }

    void dropOfPipesAndVanishedFilesOnTheMemberList()
    {
        Run run;
        const QString good = run.write(QStringLiteral("good.txt"), "good");
        const QString pipe = run.browse.path() + QStringLiteral("/pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString gone = run.browse.path() + QStringLiteral("/gone.txt");
        run.click(QStringLiteral("ARC.LZH"));
        archive::ArchiveListEvents& events = run.program->archiveWork()->listEvents();
        // A pipe must not stop the program waiting for a writer, and what could not be
        // copied is named instead of silently missing from the archive.
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        events.addDropped({pipe, good, gone});
        QCOMPARE(run.prompts.shown().size(), 2);
        const QString text = run.prompts.shown().last().text;
        QVERIFY2(text.contains(pipe + QStringLiteral(": ")), qPrintable(text));
        QVERIFY2(text.contains(gone + QStringLiteral(": ")), qPrintable(text));
        QVERIFY2(!text.contains(good + QStringLiteral(": ")), qPrintable(text));
        const QString work = app::workFolderPath().chopped(1);
        QCOMPARE(QDir(work + QStringLiteral("/drop"))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("good.txt")});
        QCOMPARE(run.calls.commandLines(Family::Lzh).size(), 1);

        // Two files of one name from different folders: the first is added, the second is
        // named rather than silently put in its place.
        QVERIFY(QDir().mkpath(run.browse.path() + QStringLiteral("/sub")));
        const QString twin = run.write(QStringLiteral("sub/good.txt"), "twin");
        run.calls.calls.clear();
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        events.addDropped({good, twin});
        QVERIFY2(run.prompts.shown().last().text.contains(twin + QStringLiteral(": ")),
                 qPrintable(run.prompts.shown().last().text));
        QFile staged(work + QStringLiteral("/drop/good.txt"));
        QVERIFY(staged.open(QIODevice::ReadOnly));
        QCOMPARE(staged.readAll(), QByteArray("good"));
        QCOMPARE(run.calls.commandLines(Family::Lzh).size(), 1);

        // Nothing at all could be copied: the archive is left alone.
        run.calls.calls.clear();
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        events.addDropped({gone});
        QVERIFY(run.calls.calls.isEmpty());
        QVERIFY2(run.prompts.shown().last().text.contains(gone), "the failure is named");
    }

    void selfExtractingArchiveListedAsLzh()
    {
        Run run;
        // Our stub with the LZH archive behind it, written by the LZH library itself.
        archive::LibraryArchiverCall library(run.folder.path());
        const archive::CallResult made = library.run(
            Family::Lzh, 0, QStringLiteral("s \"%1ARC.LZH\" \"%1\"").arg(run.folderSlash()), 2048);
        QVERIFY2(made.code == 0, qPrintable(made.report));
        const QString sfx = run.folderSlash() + QStringLiteral("ARC.run");
        QVERIFY(QFileInfo(sfx).isFile());

        run.click(QStringLiteral("ARC.run"));
        run.trigger("exnakami");
        QVERIFY(!run.list()->isHidden());
        QCOMPARE(run.rows(),
                 (QStringList{QStringLiteral("read me.txt"), QStringLiteral("plain.txt"),
                              QStringLiteral("sub folder/data.bin"),
                              QStringLiteral("sub folder/empty.txt")}));
        // Its members are opened and extracted through the LZH library.
        QTreeWidgetItem* item = run.list()->topLevelItem(0);
        Q_EMIT run.list()->itemDoubleClicked(item, 0);
        QCOMPARE(run.calls.calls.size(), 1);
        QCOMPARE(run.calls.calls.first().family, Family::Lzh);
        QVERIFY(run.calls.calls.first().commandLine.startsWith(
            QStringLiteral("e --exact \"%1\" ").arg(sfx)));

        // The real library extracts from it, byte for byte, and refuses to change it.
        QTemporaryDir out;
        const archive::CallResult extracted = library.run(
            Family::Lzh, 0, QStringLiteral("e -d1 \"%1\" \"%2/\"").arg(sfx, out.path()), 2048);
        QVERIFY2(extracted.code == 0, qPrintable(extracted.report));
        QTemporaryDir source;
        writeSourceTree(source.path());
        QCOMPARE(filesBelow(out.path()), filesBelow(source.path()));
        QFile before(sfx);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();
        const archive::CallResult refused = library.run(
            Family::Lzh, 0, QStringLiteral("d -jyd \"%1\" \"plain.txt\"").arg(sfx), 255);
        QVERIFY(refused.code != 0);
        QVERIFY(before.open(QIODevice::ReadOnly));
        QCOMPARE(before.readAll(), bytes);
    }

    void missingLibraryIsNamed()
    {
        GuiRun run;
        QTemporaryDir source;
        writeSourceTree(source.path());
        QVERIFY(makeArchive(Family::Zip, source.path(),
                            run.browse.path() + QStringLiteral("/pack.zip")));
        run.start({run.browse.path()});
        app::FileListBox* files = run.window()->fileList();
        files->refresh();
        files->setCurrentRow(files->rowShowing(QStringLiteral("pack.zip")));
        ModalDriver driver;
        driver.on(QStringLiteral("Form5"), [](QWidget* dialog) {
            qobject_cast<archive::ExtractDialog*>(dialog)->button(1)->click();
        });
        run.prompts.answerMessage(platform::Prompts::Ok);
        driver.start();
        run.window()->menuAction(QStringLiteral("kaitou"))->trigger();
        driver.stop();
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY(run.prompts.shown().first().text.contains(QStringLiteral("libunzip32.so")));
        QCOMPARE(run.prompts.shown().first().icon, int(platform::Prompts::Critical));
        QVERIFY(!driver.seen.contains(QStringLiteral("Form13")));
    }
};

QTEST_MAIN(ArchiveWindowTest)
#include "tst_archive_window.moc"
