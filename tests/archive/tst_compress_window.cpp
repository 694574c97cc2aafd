// The compression entries of the main window's file menu on the real program: the compression
// dialog in this instance's work folder, the member list's use of the work folder beside it,
// and the self-extracting archive made from an LZH archive the user chooses.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "GuiRun.h"
#include "RecordingArchiverCall.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/ArchiveListEvents.h"
#include "archive/CompressDialog.h"
#include "archive/ResultWindow.h"
#include "base/Paths.h"
#include "platform/WorkFolder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using archive::Family;

class CompressWindowTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        RecordingArchiverCall calls;

        Run()
        {
            const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
            for (const char* lib : {"libunlha32.so", "libunzip32.so", "libcab32.so"})
                QFile::copy(bin + QLatin1Char('/') + QLatin1String(lib),
                            folder.path() + QLatin1Char('/') + QLatin1String(lib));
            QTemporaryDir source;
            writeSourceTree(source.path());
            QVERIFY(makeArchive(Family::Lzh, source.path(),
                                browse.path() + QStringLiteral("/ARC.LZH")));
            archiver = &calls;
            start({browse.path()});
        }
        app::MainWindow* w() const { return window(); }
        QAction* action(const char* name) const
        {
            return w()->menuAction(QString::fromLatin1(name));
        }
        void click(const QString& name) const
        {
            app::FileListBox* files = w()->fileList();
            files->refresh();
            const int entry = files->rowShowing(name);
            QVERIFY2(entry >= 0, qPrintable(name));
            files->setCurrentRow(-1);
            files->setCurrentRow(entry);
        }
    };

private Q_SLOTS:
    void fileMenuOpensOneDialogInTheWorkFolder()
    {
        Run run;
        QMenu* file = run.w()->findChild<QMenu*>(QStringLiteral("file"));
        QVERIFY(file);
        QVERIFY(file->actions().contains(run.action("assyuku")));
        QVERIFY(file->actions().contains(run.action("jidou")));
        QCOMPARE(run.action("assyuku")->text(), QStringLiteral("圧縮"));
        QCOMPARE(run.action("jidou")->text(), QStringLiteral("LZHから自動解凍式書庫の作成"));

        run.action("assyuku")->trigger();
        archive::CompressDialog* dialog = run.program->archiveWork()->compressDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        const QString work = app::workFolderPath();
        QVERIFY(!work.isEmpty());
        QCOMPARE(dialog->stagingFolder(), work + QStringLiteral("compress/"));
        // A folder of this instance's own, never the shared root of the work folders.
        QVERIFY(work.startsWith(platform::withSlash(platform::workFolderRoot())));
        QVERIFY(work != platform::withSlash(platform::workFolderRoot()));
        QVERIFY(QDir(dialog->stagingFolder()).isEmpty());
        run.action("assyuku")->trigger();
        QCOMPARE(run.program->archiveWork()->compressDialog(), dialog);
        const QList<archive::CompressDialog*> open =
            run.w()->findChildren<archive::CompressDialog*>();
        QCOMPARE(open.size(), 1);
        dialog->close();
        QTRY_VERIFY(!run.program->archiveWork()->compressDialog());
    }

    void filesAreAddedFromAFileDialogByKeyboard()
    {
        Run run;
        // Awkward names: a leading "-", blanks, Japanese, one in a subfolder.
        const QString a = run.write(QStringLiteral("-first file.txt"), "first");
        QDir().mkpath(run.browsed(QStringLiteral("二つ目")));
        const QString b = run.write(QStringLiteral("二つ目/名前 二.txt"), "second");
        run.action("assyuku")->trigger();
        archive::CompressDialog* dialog = run.program->archiveWork()->compressDialog();
        QVERIFY(dialog);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto* add = dialog->findChild<QPushButton*>(QStringLiteral("Command8"));
        QVERIFY(add);
        QCOMPARE(add->text(), QStringLiteral("ファイルを追加(&A)..."));

        // Tab from the list reaches the button; the space bar presses it.
        dialog->list()->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 12 && QApplication::focusWidget() != add; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), add);
        run.prompts.answerFiles({a, b});
        QTest::keyClick(add, Qt::Key_Space);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().last().kind, QStringLiteral("open files"));
        QCOMPARE(run.prompts.shown().last().title, QStringLiteral("圧縮するファイルの選択"));
        QStringList listed;
        for (int i = 0; i < dialog->list()->count(); ++i)
            listed << dialog->list()->item(i)->text();
        QCOMPARE(listed,
                 (QStringList{QStringLiteral("-first file.txt"), QStringLiteral("名前 二.txt")}));
        QCOMPARE(QFile(dialog->stagingFolder() + QStringLiteral("/名前 二.txt")).size(), 6);

        // It has a mnemonic; a cancelled choice changes nothing.
        QCOMPARE(add->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
        // (The copy's progress window may have taken the activation for a moment.)
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        add->setFocus(Qt::TabFocusReason);
        run.prompts.answerFiles({});
        QTest::keyClick(add, Qt::Key_Space);
        QCOMPARE(run.prompts.shown().size(), 2);
        QCOMPARE(dialog->list()->count(), 2);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        dialog->close();
    }

    void memberListLeavesTheStagedFilesAlone()
    {
        Run run;
        run.action("assyuku")->trigger();
        archive::CompressDialog* dialog = run.program->archiveWork()->compressDialog();
        QVERIFY(dialog);
        const QString staged = run.write(QStringLiteral("staged.txt"), "staged");
        dialog->addDropped({staged});
        QCOMPARE(dialog->list()->count(), 1);
        const QString leftover = app::workFolderPath() + QStringLiteral("old member.txt");
        QFile old(leftover);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();

        // A drop on the member list empties the work folder first (here it is then declined).
        run.click(QStringLiteral("ARC.LZH"));
        archive::ArchiveListEvents& events = run.program->archiveWork()->listEvents();
        run.prompts.answerMessage(platform::Prompts::No);
        events.addDropped({staged});
        QVERIFY(!QFileInfo::exists(leftover));
        QCOMPARE(filesBelow(dialog->stagingFolder()).value(QStringLiteral("staged.txt")),
                 QByteArray("staged"));
        dialog->close();
        QTRY_VERIFY(!run.program->archiveWork()->compressDialog());
        QVERIFY(!QFileInfo::exists(app::workFolderPath() + QStringLiteral("compress")));
    }

    void selfExtractingFromAnLzhArchive()
    {
        Run run;
        run.prompts.answerText(QString());
        run.action("jidou")->trigger();
        QVERIFY(run.calls.calls.isEmpty());
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("open"));
        QCOMPARE(run.prompts.shown().first().title, QStringLiteral("元になるファイル"));

        // A chosen archive, but no folder.
        run.prompts.answerText(run.browsed(QStringLiteral("ARC.LZH")));
        run.prompts.answerText(QString());
        run.action("jidou")->trigger();
        QVERIFY(run.calls.calls.isEmpty());

        QTemporaryDir into;
        run.prompts.clear();
        run.prompts.answerText(run.browsed(QStringLiteral("ARC.LZH")));
        run.prompts.answerText(into.path());
        archive::CallResult result;
        result.report = QStringLiteral("Self-extracting archive : ARC.run");
        run.calls.results.enqueue(result);
        run.action("jidou")->trigger();
        QCOMPARE(run.prompts.shown().at(1).text,
                 QStringLiteral("ファイルを保存するﾌｫﾙﾀﾞを選択してください。"));
        QCOMPARE(run.calls.commandLines(Family::Lzh),
                 QStringList{QStringLiteral("s -gw3 \"%1\" \"%2/\"")
                                 .arg(run.browsed(QStringLiteral("ARC.LZH")), into.path())});
        QCOMPARE(run.calls.calls.first().reportBufferSize, 2048);
        archive::ResultWindow* shown = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* r = qobject_cast<archive::ResultWindow*>(top); r && r->isVisible())
                shown = r;
        }
        QVERIFY(shown);
        QVERIFY(!shown->isModal());
        QCOMPARE(shown->reportText(), result.report);
        shown->close();
    }
};

QTEST_MAIN(CompressWindowTest)
#include "tst_compress_window.moc"
