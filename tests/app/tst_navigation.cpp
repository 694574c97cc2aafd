// The browser's events on the real main window: filter, favourites, back, open, drag and drop.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include <memory>

namespace
{
const QChar NUL(u'\0');

void touch(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
}
} // namespace

class NavigationTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        explicit Run(const QStringList& files = {})
        {
            for (const QString& name : files)
                touch(browsed(name));
            start({browse.path()});
            shell.calls.clear();
            mci.clear();
        }
        app::MainWindow* w() const { return window(); }
        app::Navigation& nav() const { return *program->navigation(); }
        QStringList listed() const
        {
            QStringList names;
            for (int i = 0; i < w()->fileList()->count(); ++i)
                names << w()->fileList()->textAt(i);
            return names;
        }
        void selectAll() const { w()->fileList()->selectAll(); }
        void sendDrop(QWidget* target, const QList<QUrl>& urls) const
        {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at(5, 5);
            QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent drop(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
        }
    };

private Q_SLOTS:
    void filterList()
    {
        Run run({QStringLiteral("a.JPG"), QStringLiteral("b.ico"), QStringLiteral("c.bmp"),
                 QStringLiteral("d.gif"), QStringLiteral("e.txt"), QStringLiteral("f.jpeg"),
                 QStringLiteral("noext"), QStringLiteral("g.LOG")});
        QCOMPARE(run.listed().size(), 8);
        run.nav().applyFilter(4);
        QCOMPARE(run.listed(), (QStringList{QStringLiteral("a.JPG"), QStringLiteral("b.ico"),
                                            QStringLiteral("c.bmp"), QStringLiteral("d.gif")}));
        run.nav().applyFilter(2);
        QCOMPARE(run.listed(), (QStringList{QStringLiteral("e.txt"), QStringLiteral("g.LOG")}));
        run.nav().applyFilter(9);
        QCOMPARE(run.listed(), (QStringList{QStringLiteral("e.txt"), QStringLiteral("g.LOG")}));
        // Through the widget, as the user picks it.
        QComboBox* combo = run.w()->filterList();
        combo->setCurrentIndex(0);
        Q_EMIT combo->activated(0);
        QCOMPARE(run.listed().size(), 8);
    }

    void folderChangeResetsThePreviewAndStopsMedia()
    {
        Run run;
        const QString sub = run.browse.path() + QStringLiteral("/下");
        QVERIFY(QDir().mkdir(sub));
        run.w()->form()->findChild<QWidget*>(QStringLiteral("ListView1"))->show();
        QVERIFY(run.w()->folderTree()->setPath(sub));
        QCOMPARE(run.w()->windowTitle(), QStringLiteral("コラモ  - ") + sub);
        QCOMPARE(run.w()->fileList()->path(), sub);
        QCOMPARE(QDir::currentPath(), sub);
        QVERIFY(run.w()->form()->findChild<QWidget*>(QStringLiteral("ListView1"))->isHidden());
        QVERIFY(!run.w()->form()->findChild<QWidget*>(QStringLiteral("Label2"))->isHidden());
        QCOMPARE(run.mci.commands(),
                 (QStringList{QStringLiteral("stop Media"), QStringLiteral("close Media")}));
    }

    void favourites()
    {
        Run run;
        const QString fav = run.browse.path() + QStringLiteral("/お気に入り");
        QVERIFY(QDir().mkdir(fav));
        run.w()->setHiddenValue(QStringLiteral("Label11"), fav);
        run.w()->menuAction(QStringLiteral("f2"))->trigger();
        QCOMPARE(run.w()->folderTree()->path(), fav);
        // An empty favourite cannot be opened.
        run.prompts.expectMessages(1);
        run.w()->menuAction(QStringLiteral("f1"))->trigger();
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().text, QStringLiteral("パスが見つかりません。"));
        QCOMPARE(run.w()->folderTree()->path(), fav);
        // As a destination, with one trailing separator.
        run.w()->menuAction(QStringLiteral("ff2"))->trigger();
        QCOMPARE(run.w()->destinationBox()->text(), fav + QLatin1Char('/'));
        run.w()->setHiddenValue(QStringLiteral("Label12"), QStringLiteral("/srv/共有/"));
        run.w()->menuAction(QStringLiteral("ff3"))->trigger();
        QCOMPARE(run.w()->destinationBox()->text(), QStringLiteral("/srv/共有/"));
    }

    void clickingFoldersThenBack()
    {
        Run run;
        const QString first = run.browse.path() + QStringLiteral("/first");
        const QString second = run.browse.path() + QStringLiteral("/second");
        QVERIFY(QDir().mkdir(first) && QDir().mkdir(second));
        app::FolderTree* tree = run.w()->folderTree();
        tree->refresh();
        auto clickFolder = [&](const QString& folder) {
            QModelIndex index;
            QTRY_VERIFY((index = tree->model()->index(0, 0, tree->currentIndex()), [&] {
                for (int r = 0; r < tree->model()->rowCount(tree->currentIndex()); ++r) {
                    const QModelIndex i = tree->model()->index(r, 0, tree->currentIndex());
                    if (i.data().toString() == QFileInfo(folder).fileName()) {
                        index = i;
                        return true;
                    }
                }
                return false;
            }()));
            tree->scrollTo(index);
            const QRect rect = tree->visualRect(index);
            QVERIFY(rect.isValid());
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        };
        clickFolder(first);
        QCOMPARE(tree->path(), first);
        QCOMPARE(run.w()->hiddenValue(QStringLiteral("Label17")), run.browse.path());
        // Back in the parent, click the second folder: Label17 holds the first's parent, then
        // the folder clicked from.
        QVERIFY(tree->setPath(run.browse.path()));
        clickFolder(second);
        QCOMPARE(tree->path(), second);
        run.nav().goBack();
        QCOMPARE(tree->path(), run.browse.path());
        run.nav().goBack();
        QCOMPARE(tree->path(), run.browse.path());
    }

    void openingAFile()
    {
        Run run({QStringLiteral("doc.txt")});
        run.w()->fileList()->setCurrentRow(0);
        run.nav().openSelectedFile();
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).first().path,
                 run.browse.path() + QStringLiteral("/doc.txt"));
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).first().directory,
                 run.browse.path() + QLatin1Char('/'));

        run.shell.findResult = platform::Shell::kNoAssociation;
        QTest::keyClick(run.w()->fileList(), Qt::Key_Return);
        QCOMPARE(run.shell.callsOf(QStringLiteral("openWith")).size(), 1);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);

        // Not offered to the chooser when the user said so.
        run.program->forms()
            ->general()
            ->findChild<QCheckBox*>(QStringLiteral("Check1"))
            ->setChecked(true);
        run.nav().openSelectedFile();
        QCOMPARE(run.shell.callsOf(QStringLiteral("openWith")).size(), 1);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);
    }

    void deleteKeyDeletes()
    {
        Run run({QStringLiteral("x.txt")});
        run.selectAll();
        QTest::keyClick(run.w()->fileList(), Qt::Key_Delete);
        QCOMPARE(run.shell.callsOf(QStringLiteral("op")).size(), 1);
        QCOMPARE(int(run.shell.callsOf(QStringLiteral("op")).first().operation.operation), 3);
    }

    void dragOffersTheSelectedFiles()
    {
        Run run(
            {QStringLiteral("one.txt"), QStringLiteral("two.txt"), QStringLiteral("three.txt")});
        // Listed by name: one, three, two. Select one and two, then two disappears.
        QCOMPARE(run.w()->fileList()->textAt(2), QStringLiteral("two.txt"));
        run.w()->fileList()->setRowSelected(0, true);
        run.w()->fileList()->setRowSelected(2, true);
        QCOMPARE(run.nav().dragPaths(),
                 (QStringList{run.browse.path() + QStringLiteral("/one.txt"),
                              run.browse.path() + QStringLiteral("/two.txt")}));
        QFile::remove(run.browse.path() + QStringLiteral("/two.txt"));
        QCOMPARE(run.nav().dragPaths(),
                 QStringList{run.browse.path() + QStringLiteral("/one.txt")});
    }

    void dropOntoTheFileListCopiesThroughTheShell()
    {
        Run run;
        QTemporaryDir elsewhere;
        const QString a = elsewhere.path() + QStringLiteral("/a.txt");
        const QString b = elsewhere.path() + QStringLiteral("/b.txt");
        touch(a);
        touch(b);
        const QString own = run.browse.path() + QStringLiteral("/own.txt");
        touch(own);
        run.sendDrop(run.w()->fileList()->viewport(),
                     {QUrl::fromLocalFile(a), QUrl::fromLocalFile(own), QUrl::fromLocalFile(b),
                      QUrl(QStringLiteral("https://example.org/x"))});
        const auto ops = run.shell.callsOf(QStringLiteral("op"));
        QCOMPARE(ops.size(), 1);
        QCOMPARE(int(ops.first().operation.operation), 2);
        // Flags 0: the shell asks before overwriting a file of the same name.
        QCOMPARE(ops.first().operation.flags, 0u);
        QCOMPARE(ops.first().operation.from, a + NUL + b + NUL + NUL + NUL);
        QCOMPARE(ops.first().operation.to, run.browse.path() + QLatin1Char('/'));
        QCOMPARE(run.w()->panel(3)->text(),
                 QStringLiteral("ドロップによりファイルがコピーされました。"));

        // With drag and drop switched off, drops are ignored.
        run.program->forms()
            ->general()
            ->findChild<QCheckBox*>(QStringLiteral("Check2"))
            ->setChecked(true);
        run.sendDrop(run.w()->fileList()->viewport(), {QUrl::fromLocalFile(a)});
        QCOMPARE(run.shell.callsOf(QStringLiteral("op")).size(), 1);
    }

    void dropOntoTheDestinationBoxKeepsTheLastPath()
    {
        Run run;
        run.sendDrop(run.w()->destinationBox(), {QUrl::fromLocalFile(QStringLiteral("/tmp/first")),
                                                 QUrl::fromLocalFile(QStringLiteral("/tmp/最後"))});
        QCOMPARE(run.w()->destinationBox()->text(), QStringLiteral("/tmp/最後"));
        QVERIFY(run.shell.calls.isEmpty());
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
