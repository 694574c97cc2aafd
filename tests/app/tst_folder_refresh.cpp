// Refreshing the browser: the folder tree re-reads for real, a current folder that is gone
// gives way to its nearest existing parent, and a refresh of the file list keeps the
// selection without previewing the selected file again. Files are chosen by real clicks.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/FolderTreeModel.h"
#include "app/MainWindow.h"
#include "preview/RichTextViewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace
{

bool writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace

class FolderRefreshTest : public QObject
{
    Q_OBJECT

    struct Run {
        TestProgramFolder program;
        QTemporaryDir browse;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        std::unique_ptr<app::Application> app;
        explicit Run(const QString& start = QString())
        {
            QDir(browse.path()).mkpath(QStringLiteral("a/b/c"));
            writeText(browse.path() + QStringLiteral("/a/b/c/one.txt"), "one");
            writeText(browse.path() + QStringLiteral("/a/b/c/two.txt"), "two before");
            writeText(browse.path() + QStringLiteral("/a/b/keep.txt"), "keep");
            app = std::make_unique<app::Application>(prompts, shell, mci);
            app->startUp({start.isEmpty() ? browse.path() + QStringLiteral("/a/b/c") : start});
        }
        QString path(const QString& relative) const
        {
            return browse.path() + QLatin1Char('/') + relative;
        }
        app::MainWindow* w() const { return app->mainWindow(); }
        app::FileListBox* list() const { return w()->fileList(); }
        QString tree() const { return w()->folderTree()->path(); }
        // A left click on the entry's rectangle, as the user gives it.
        void click(const QString& name) const
        {
            const int found = list()->rowShowing(name);
            QVERIFY2(found >= 0, qPrintable(name));
            list()->scrollTo(list()->model()->index(found, 0));
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              list()->visualRect(list()->model()->index(found, 0)).center());
        }
        int previews() const { return mci.commands().count(QStringLiteral("stop Media")); }
        QString shownText() const
        {
            return w()
                ->form()
                ->findChild<preview::RichTextViewer*>(QStringLiteral("RichTextBox1"))
                ->text();
        }
        QStringList listed() const
        {
            QStringList names;
            for (int i = 0; i < list()->count(); ++i)
                names << list()->textAt(i);
            return names;
        }
    };

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void refreshKeepsSelectionAndLeavesPreviewAlone()
    {
        Run run;
        run.click(QStringLiteral("two.txt"));
        QCOMPARE(run.shownText(), QStringLiteral("two before"));
        QCOMPARE(run.list()->selectedNames(), QStringList{QStringLiteral("two.txt")});
        const int previews = run.previews();
        QVERIFY(previews > 0);
        QVERIFY(writeText(run.path(QStringLiteral("a/b/c/two.txt")), "two after"));
        QVERIFY(writeText(run.path(QStringLiteral("a/b/c/three.txt")), "three"));

        // The menu's refresh, the toolbar's refresh and a copy (which refreshes the list).
        run.w()->menuAction(QStringLiteral("saisin"))->trigger();
        Q_EMIT run.w()->toolbarButtonClicked(15);
        run.w()->destinationBox()->setText(run.path(QStringLiteral("a")));
        run.w()->menuAction(QStringLiteral("copy2"))->trigger();
        QCoreApplication::processEvents();

        QVERIFY(run.listed().contains(QStringLiteral("three.txt")));
        QCOMPARE(run.list()->selectedNames(), QStringList{QStringLiteral("two.txt")});
        QCOMPARE(run.list()->fileName(), QStringLiteral("two.txt"));
        QCOMPARE(run.previews(), previews);
        QCOMPARE(run.shownText(), QStringLiteral("two before"));
        QVERIFY(run.prompts.shown().isEmpty());

        // A click is a selection: it previews, also of the same file again.
        run.click(QStringLiteral("two.txt"));
        QCOMPARE(run.previews(), previews + 1);
        QCOMPARE(run.shownText(), QStringLiteral("two after"));
        run.click(QStringLiteral("one.txt"));
        QCOMPARE(run.previews(), previews + 2);
        QCOMPARE(run.shownText(), QStringLiteral("one"));
    }

    void treeRefreshShowsFoldersMadeOutside()
    {
        Run run;
        const auto model = [&run] {
            return qobject_cast<app::FolderTreeModel*>(run.w()->folderTree()->model());
        };
        QVERIFY(model());
        QTRY_VERIFY(model()->indexOf(run.tree()).isValid());
        QVERIFY(QDir(run.path(QStringLiteral("a/b/c"))).mkdir(QStringLiteral("new")));
        run.w()->menuAction(QStringLiteral("saisin"))->trigger();
        QTRY_VERIFY(model()->indexOf(run.path(QStringLiteral("a/b/c/new"))).isValid());
        // Shown in the tree, below the current folder.
        QTRY_VERIFY(!run.w()
                         ->folderTree()
                         ->visualRect(model()->indexOf(run.path(QStringLiteral("a/b/c/new"))))
                         .isEmpty());
        QCOMPARE(run.tree(), run.path(QStringLiteral("a/b/c")));
    }

    void refreshAfterCurrentFolderWasRemoved()
    {
        Run run;
        QVERIFY(QDir(run.path(QStringLiteral("a/b/c"))).removeRecursively());
        run.w()->menuAction(QStringLiteral("saisin"))->trigger();
        QTRY_COMPARE(run.tree(), run.path(QStringLiteral("a/b")));
        QCOMPARE(run.list()->path(), run.path(QStringLiteral("a/b")));
        QCOMPARE(run.listed(), QStringList{QStringLiteral("keep.txt")});
        QCOMPARE(run.w()->windowTitle(),
                 QStringLiteral("コラモ  - ") + run.path(QStringLiteral("a/b")));
        QCOMPARE(run.w()->panel(3)->text(),
                 QStringLiteral("「") + run.path(QStringLiteral("a/b/c")) +
                     QStringLiteral("」がなくなったため、「") + run.path(QStringLiteral("a/b")) +
                     QStringLiteral("」を表示しています。"));
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void folderRemovedFromOutsideIsNoticedWithoutACommand()
    {
        Run run;
        // Two levels go at once; the nearest parent that is still there is shown.
        QVERIFY(QDir(run.path(QStringLiteral("a/b"))).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(run.tree(), run.path(QStringLiteral("a")), 5000);
        QCOMPARE(run.list()->path(), run.path(QStringLiteral("a")));
        QVERIFY(run.w()->panel(3)->text().endsWith(QStringLiteral("「") +
                                                   run.path(QStringLiteral("a")) +
                                                   QStringLiteral("」を表示しています。")));
        // Commands work on the folder shown.
        QVERIFY(QDir::current().exists());
        QCOMPARE(QDir::currentPath(), run.path(QStringLiteral("a")));
    }

    void folderRenamedFromOutside()
    {
        Run run;
        QVERIFY(QDir(run.path(QStringLiteral("a/b")))
                    .rename(QStringLiteral("c"), QStringLiteral("renamed")));
        QTRY_COMPARE_WITH_TIMEOUT(run.tree(), run.path(QStringLiteral("a/b")), 5000);
        QCOMPARE(run.listed(), QStringList{QStringLiteral("keep.txt")});
    }
};

QTEST_MAIN(FolderRefreshTest)
#include "tst_folder_refresh.moc"
