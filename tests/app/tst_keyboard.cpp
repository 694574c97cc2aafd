// The keys of a desktop file manager, pressed as a user presses them (key events to the focused
// widget of the active window): each reaches the command the window has for it, and keys typed
// into a text box stay with the text box.
#include "GuiRun.h"
#include "ModalCloser.h"
#include "RecordingArchiverCall.h"

#include "about/HelpWindow.h"
#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "editor/FindDialog.h"
#include "editor/PreviewSearch.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace
{

struct Run : GuiRun {
    RecordingArchiverCall recorder;
    QString deep;

    Run()
    {
        archiver = &recorder;
        write(QStringLiteral("b.txt"), "text of b");
        deep = browsed(QStringLiteral("one/two"));
        QDir().mkpath(deep);
        start({browse.path()});
        app::MainWindow* w = window();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    app::MainWindow* w() const { return window(); }
    QString folder() const { return w()->folderTree()->path(); }
    void select(const QString& name) const
    {
        app::FileListBox* list = w()->fileList();
        list->refresh();
        const int entry = list->rowShowing(name);
        QVERIFY2(entry >= 0, qPrintable(name));
        list->setCurrentRow(entry);
    }
    void focus(QWidget* widget) const
    {
        // A dialog that was shown and closed may have taken the activation with it.
        w()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w()));
        widget->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(widget->hasFocus());
    }
};

} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Backspace and Alt+Up go up one folder, Alt+Left comes back; F5 shows a file made meanwhile.
    void foldersByKey()
    {
        Run run;
        QVERIFY(run.w()->folderTree()->setPath(run.deep));
        run.focus(run.w()->fileList());
        QTest::keyClick(run.w()->fileList(), Qt::Key_Backspace);
        QCOMPARE(run.folder(), run.browsed(QStringLiteral("one")));
        QTest::keyClick(run.w()->fileList(), Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(run.folder(), run.browse.path());
        QTest::keyClick(run.w()->fileList(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(run.folder(), run.browsed(QStringLiteral("one")));

        run.write(QStringLiteral("one/new.txt"), "new");
        QVERIFY(run.w()->fileList()->rowShowing(QStringLiteral("new.txt")) < 0);
        QTest::keyClick(run.w()->fileList(), Qt::Key_F5);
        QVERIFY(run.w()->fileList()->rowShowing(QStringLiteral("new.txt")) >= 0);

        // At the top of the file system Backspace stays where it is.
        QVERIFY(run.w()->folderTree()->setPath(QStringLiteral("/")));
        QTest::keyClick(run.w()->fileList(), Qt::Key_Backspace);
        QCOMPARE(run.folder(), QStringLiteral("/"));
    }

    // Backspace typed into the destination box deletes a character there and leaves the folder.
    void textBoxesKeepTheirKeys()
    {
        Run run;
        QVERIFY(run.w()->folderTree()->setPath(run.deep));
        QLineEdit* box = run.w()->destinationBox();
        run.focus(box);
        box->setText(QStringLiteral("abc"));
        box->end(false);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("ab"));
        QCOMPARE(run.folder(), run.deep);
    }

    // F2 renames what the focused list holds: the file in the file list, the folder in the tree.
    void f2RenamesTheFocusedThing()
    {
        Run run;
        run.select(QStringLiteral("b.txt"));
        run.focus(run.w()->fileList());
        {
            ModalCloser modal;
            QTest::keyClick(run.w()->fileList(), Qt::Key_F2);
            QTRY_COMPARE(modal.seen, QStringList{QStringLiteral("Form10")});
        }
        run.focus(run.w()->folderTree());
        run.prompts.answerText(QString());
        QTest::keyClick(run.w()->folderTree(), Qt::Key_F2);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("input"));
    }

    // Shift+F10 and the Menu key open the pop-up of the focused list; F10 the menu bar.
    void popupsAndMenusFromTheKeyboard()
    {
        Run run;
        run.select(QStringLiteral("b.txt"));
        run.focus(run.w()->fileList());
        QTest::keyClick(run.w()->fileList(), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(run.w()->fileMenu()->isVisible());
        run.w()->fileMenu()->hide();
        QVERIFY(!run.w()->folderMenu()->isVisible());

        run.focus(run.w()->folderTree());
        QTest::keyClick(run.w()->folderTree(), Qt::Key_Menu);
        QTRY_VERIFY(run.w()->folderMenu()->isVisible());
        run.w()->folderMenu()->hide();
        QVERIFY(!run.w()->fileMenu()->isVisible());

        run.focus(run.w()->fileList());
        QTest::keyClick(run.w()->fileList(), Qt::Key_F10);
        QTRY_VERIFY(run.w()->menuBar()->activeAction() != nullptr);

        // Every entry of the menu bar has a mnemonic.
        for (QAction* entry : run.w()->menuBar()->actions()) {
            if (entry->isVisible())
                QVERIFY2(entry->text().contains(QLatin1Char('&')), qPrintable(entry->text()));
        }
    }

    // A file whose application cannot be started: the classic message, then the system's
    // reason on a line of its own.
    void failedOpenSaysWhy()
    {
        Run run;
        run.select(QStringLiteral("b.txt"));
        run.focus(run.w()->fileList());
        run.shell.openResult = platform::Shell::kLaunchFailed;
        run.shell.openFailure = QStringLiteral("Unable to find terminal required for application");
        run.prompts.expectMessages(1);
        QTest::keyClick(run.w()->fileList(), Qt::Key_Return);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().text,
                 QStringLiteral(" 5:起動エラー ファイルのパスを確認してください。 \n") +
                     run.shell.openFailure);
    }

    // Without a browser that opens it, the manual shows in the program's own browser engine.
    void manualWithoutABrowser()
    {
        Run run;
        run.focus(run.w()->fileList());
        run.shell.openResult = platform::Shell::kNoAssociation;
        QTest::keyClick(run.w()->fileList(), Qt::Key_F1);
        QTRY_VERIFY(run.program->helpWindow() && run.program->helpWindow()->isVisible());
        QVERIFY(run.prompts.shown().isEmpty());
    }

    // Ctrl+F opens the find dialog over the previewed text, F1 the manual, Ctrl+Q quits.
    void findHelpAndQuit()
    {
        Run run;
        run.select(QStringLiteral("b.txt"));
        Q_EMIT run.w()->fileList()->clicked(run.w()->fileList()->currentIndex());
        run.focus(run.w()->fileList());
        QTRY_VERIFY(run.w()->menuAction(QStringLiteral("tkensaku"))->isEnabled());
        QTest::keyClick(run.w()->fileList(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(run.program->previewSearch()->dialog() &&
                    run.program->previewSearch()->dialog()->isVisible());
        run.program->previewSearch()->dialog()->hide();

        run.focus(run.w()->fileList());
        run.shell.calls.clear();
        QTest::keyClick(run.w()->fileList(), Qt::Key_F1);
        const auto opened = run.shell.callsOf(QStringLiteral("open"));
        QCOMPARE(opened.size(), 1);
        QVERIFY2(opened.first().path.endsWith(QStringLiteral("help.html")),
                 qPrintable(opened.first().path));

        run.focus(run.w()->fileList());
        QTest::keyClick(run.w()->fileList(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(run.program->isShutDown());
    }
};

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
