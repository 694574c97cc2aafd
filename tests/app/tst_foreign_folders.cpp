// Folders whose names are not UTF-8 (CP932 names from old discs, a lone 0xFF) on the real main
// window: the tree shows them, opens them and lists their files; the file-search window shows a
// file inside one.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "base/NativePath.h"
#include "fileops/FileSearchWindow.h"
#include "fileops/FoundFilesModel.h"
#include "platform/FolderDeletion.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// CP932 テスト, and a byte that is never valid UTF-8.
const QByteArray kCp932Name("\x83\x65\x83\x58\x83\x67");
const QByteArray kLoneByte("\xFF");

bool makeFolder(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

bool makeFile(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

} // namespace

class ForeignFoldersTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        QByteArray root;
        Run()
        {
            root = browse.path().toUtf8();
            // Namesakes apart from their bytes: the same file name in each folder, and a
            // UTF-8 folder beside them.
            for (const QByteArray& name : {kCp932Name, kLoneByte, QByteArray("plain")}) {
                QVERIFY(makeFolder(root + '/' + name));
                QVERIFY(makeFile(root + '/' + name + "/memo.txt", "in " + name.toHex() + '\n'));
            }
            // A file whose own name is CP932 (メモ.txt) inside the CP932 folder, a folder below.
            QVERIFY(makeFile(root + '/' + kCp932Name + "/\x83\x81\x83\x82.txt", "memo\n"));
            QVERIFY(makeFolder(root + '/' + kCp932Name + "/sub"));
            start({browse.path()});
        }
        ~Run()
        {
            // The temporary folder's own removal goes by UTF-8 names: these go by their bytes.
            program.reset();
            for (const QByteArray& name : {kCp932Name, kLoneByte})
                platform::deleteFolderTree(path(name));
        }
        QString path(const QByteArray& relative) const
        {
            return platform::fromNativePath(root + '/' + relative);
        }
        app::FolderTree* tree() const { return window()->folderTree(); }
        // The tree's row of a folder below the current one, by the name it shows.
        QModelIndex rowShowing(const QString& shown) const
        {
            QAbstractItemModel* model = tree()->model();
            const QModelIndex current = tree()->currentIndex();
            for (int r = 0; r < model->rowCount(current); ++r) {
                const QModelIndex i = model->index(r, 0, current);
                if (i.data().toString() == shown)
                    return i;
            }
            return {};
        }
    };

private Q_SLOTS:
    void theTreeShowsEntersAndListsThem()
    {
        Run run;
        app::FolderTree* tree = run.tree();
        // Shown as CP932 behind the mark, under the folder the program started in.
        QTRY_COMPARE(tree->currentIndex().data().toString(),
                     run.browse.path().section(QLatin1Char('/'), -1));
        const QString shown = platform::foreignNameMark() + QStringLiteral("テスト");
        QTRY_VERIFY(run.rowShowing(shown).isValid());
        QVERIFY(
            run.rowShowing(platform::displayName(platform::fromNativePath(kLoneByte))).isValid());
        QVERIFY(run.rowShowing(QStringLiteral("plain")).isValid());

        // A click on it opens it: its path keeps the bytes, the file list lists it.
        const QModelIndex row = run.rowShowing(shown);
        tree->scrollTo(row);
        const QRect rect = tree->visualRect(row);
        QVERIFY(rect.isValid());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(tree->path(), run.path(kCp932Name));
        QCOMPARE(platform::toNativePath(tree->path()), run.root + '/' + kCp932Name);
        app::FileListBox* list = run.window()->fileList();
        QCOMPARE(list->path(), run.path(kCp932Name));
        QStringList names = list->names();
        names.sort();
        QCOMPARE(names, QStringList({QStringLiteral("memo.txt"),
                                     platform::fromNativePath("\x83\x81\x83\x82.txt")}));
        QTRY_COMPARE(tree->currentIndex().data().toString(), shown);
        QVERIFY(run.window()->windowTitle().endsWith(shown));
        // Its sub-folder is there to open below it, and Backspace comes back up.
        QTRY_VERIFY(run.rowShowing(QStringLiteral("sub")).isValid());
        QVERIFY(tree->setPath(run.path(kCp932Name + "/sub")));
        QVERIFY(list->names().isEmpty());
        run.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(run.window()));
        list->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Backspace);
        QCOMPARE(tree->path(), run.path(kCp932Name));
        QCOMPARE(list->names().size(), 2);

        // The lone byte: set from outside (as the favourites and the search window do).
        QVERIFY(tree->setPath(run.path(kLoneByte)));
        QCOMPARE(list->path(), run.path(kLoneByte));
        QCOMPARE(list->names(), QStringList{QStringLiteral("memo.txt")});
        QTRY_COMPARE(tree->currentIndex().data().toString(),
                     platform::displayName(platform::fromNativePath(kLoneByte)));
        QCOMPARE(tree->highlightedPath(), run.path(kLoneByte));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QVERIFY(run.prompts.shown().isEmpty());

        // Gone from outside: the tree falls back to the folder above.
        const QByteArray lone = run.root + '/' + kLoneByte;
        QVERIFY(::unlink(QByteArray(lone + "/memo.txt").constData()) == 0);
        QVERIFY(::rmdir(lone.constData()) == 0);
        QVERIFY(!tree->keepToExistingFolder());
        QCOMPARE(tree->path(), run.browse.path());
    }

    void theSearchWindowShowsAFileInsideOne()
    {
        Run run;
        run.window()->menuAction(QStringLiteral("find"))->trigger();
        auto* w = run.window()->findChild<fileops::FileSearchWindow*>(QStringLiteral("FileSearch"));
        QVERIFY(w);
        w->findChild<QLineEdit*>(QStringLiteral("searchPattern"))->setText(QStringLiteral("memo*"));
        w->findChild<QPushButton*>(QStringLiteral("searchStart"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isSearching(), 30000);
        QCOMPARE(w->results().rowCount(), 3);
        for (const QByteArray& folder : {kCp932Name, kLoneByte}) {
            int row = -1;
            for (int r = 0; r < w->results().rowCount(); ++r) {
                if (w->results().file(r).path() == run.path(folder + "/memo.txt"))
                    row = r;
            }
            QVERIFY2(row >= 0, folder.toHex().constData());
            // A double click on the row, as the user makes it.
            auto* view = w->findChild<QTreeView*>(QStringLiteral("searchResults"));
            const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
            QCOMPARE(run.tree()->path(), run.path(folder));
            QCOMPARE(run.window()->fileList()->fileName(), QStringLiteral("memo.txt"));
            QCOMPARE(run.window()->hiddenValue(QStringLiteral("Label14")),
                     run.path(folder + "/memo.txt"));
        }
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QVERIFY(run.prompts.shown().isEmpty());
    }
};

QTEST_MAIN(ForeignFoldersTest)
#include "tst_foreign_folders.moc"
