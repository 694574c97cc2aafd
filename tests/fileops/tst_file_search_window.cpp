// The file-search window on the real main window: opened from the menu in the current folder,
// names and Japanese contents found, stopping, and a double click that shows the file.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "fileops/FileSearchWindow.h"
#include "fileops/FoundFilesModel.h"
#include "platform/TextEncoding.h"
#include "preview/RichTextViewer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTreeView>
#include <QtTest>

namespace
{

QByteArray cp932(const QString& text)
{
    platform::TextFormat format;
    format.encoding = QByteArrayLiteral("windows-31j");
    QByteArray out;
    if (!platform::encodeText(text, format, out))
        qFatal("no CP932 form");
    return out;
}

QString letter(const QString& word)
{
    return QStringLiteral("お世話になっております。\n先日ご依頼の") + word +
           QStringLiteral("をお送りします。\nご確認ください。\n");
}

} // namespace

class FileSearchWindowTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        void put(const QString& relative, const QByteArray& bytes) const
        {
            const QString path = browsed(relative);
            QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        fileops::FileSearchWindow* open() const
        {
            window()->menuAction(QStringLiteral("find"))->trigger();
            return window()->findChild<fileops::FileSearchWindow*>(QStringLiteral("FileSearch"));
        }
    };

    template <typename T> static T* part(QWidget* window, const char* name)
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no %s", name);
        return widget;
    }

    // Runs the search with the window's own buttons and waits for its end.
    static bool search(fileops::FileSearchWindow* w)
    {
        part<QPushButton>(w, "searchStart")->click();
        return QTest::qWaitFor([w] { return !w->isSearching(); }, 30000);
    }

    // A double click as the user makes it: a press and release, then the second press.
    static void doubleClick(QTreeView* view, int row, int column)
    {
        const QPoint at = view->visualRect(view->model()->index(row, column)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    static QStringList foundNames(const fileops::FileSearchWindow* w)
    {
        QStringList names;
        const fileops::FoundFilesModel& m = w->results();
        for (int row = 0; row < m.rowCount(); ++row)
            names << m.data(m.index(row, fileops::FoundFilesModel::Name)).toString();
        names.sort();
        return names;
    }

private Q_SLOTS:
    void findsByNameAndByJapaneseContent()
    {
        Run run;
        const QString word = QStringLiteral("見積書");
        run.put(QStringLiteral("sjis.txt"), cp932(letter(word)));
        run.put(QStringLiteral("utf8.txt"), letter(word).toUtf8());
        run.put(QStringLiteral("other.txt"), letter(QStringLiteral("請求書")).toUtf8());
        run.put(QStringLiteral("sub/深い.txt"), cp932(letter(word)));
        run.put(QStringLiteral("sub/image.jpg"), "not text");
        run.start({run.browse.path()});

        fileops::FileSearchWindow* w = run.open();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("ファイルの検索"));
        // It starts in the current folder.
        QCOMPARE(w->startFolder(), run.window()->folderTree()->path());

        part<QLineEdit>(w, "searchPattern")->setText(QStringLiteral("*.TXT"));
        QVERIFY(search(w));
        QCOMPARE(foundNames(w),
                 QStringList({QStringLiteral("other.txt"), QStringLiteral("sjis.txt"),
                              QStringLiteral("utf8.txt"), QStringLiteral("深い.txt")}));
        QVERIFY2(part<QLabel>(w, "searchStatus")->text().contains(QStringLiteral("4 個")),
                 qPrintable(part<QLabel>(w, "searchStatus")->text()));

        part<QLineEdit>(w, "searchText")->setText(word);
        QVERIFY(search(w));
        QCOMPARE(foundNames(w), QStringList({QStringLiteral("sjis.txt"), QStringLiteral("utf8.txt"),
                                             QStringLiteral("深い.txt")}));
        // The folder column tells where each one is; the size is the file's.
        const fileops::FoundFilesModel& m = w->results();
        for (int row = 0; row < m.rowCount(); ++row) {
            const platform::FoundFile& f = m.file(row);
            QCOMPARE(QFileInfo(f.path()).size(), f.size);
            QVERIFY(f.folder == run.browse.path() ||
                    f.folder == run.browsed(QStringLiteral("sub")));
        }

        part<QCheckBox>(w, "searchSubfolders")->setChecked(false);
        QVERIFY(search(w));
        QCOMPARE(foundNames(w),
                 QStringList({QStringLiteral("sjis.txt"), QStringLiteral("utf8.txt")}));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void browseAndAMissingFolder()
    {
        Run run;
        run.start({run.browse.path()});
        fileops::FileSearchWindow* w = run.open();
        const QString other = run.browsed(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(other));
        run.prompts.answerText(other);
        part<QPushButton>(w, "searchBrowse")->click();
        QCOMPARE(run.prompts.shown().last().kind, QStringLiteral("folder"));
        QCOMPARE(w->startFolder(), other);

        w->setStartFolder(run.browsed(QStringLiteral("gone")));
        run.prompts.expectMessages(1);
        part<QPushButton>(w, "searchStart")->click();
        QVERIFY(!w->isSearching());
        QCOMPARE(run.prompts.shown().size(), 2);
        QVERIFY2(run.prompts.shown().last().text.contains(run.browsed(QStringLiteral("gone"))),
                 qPrintable(run.prompts.shown().last().text));
    }

    void stopEndsTheSearchAtOnce()
    {
        Run run;
        // A search that reads a 64 MB file 16 bytes at a time runs for several seconds.
        run.put(QStringLiteral("slow/long.txt"), QByteArray(64 * 1024 * 1024, 'a'));
        for (int i = 0; i < 3000; ++i)
            run.put(QStringLiteral("many/f%1.dat").arg(i), QByteArray());
        run.put(QStringLiteral("few/one.dat"), "1");
        run.put(QStringLiteral("few/two.dat"), "2");
        run.start({run.browse.path()});
        fileops::FileSearchWindow* w = run.open();
        w->setChunkBytes(16);

        w->setStartFolder(run.browsed(QStringLiteral("slow")));
        part<QLineEdit>(w, "searchText")->setText(QStringLiteral("not in there"));
        part<QPushButton>(w, "searchStart")->click();
        QVERIFY(w->isSearching());
        QVERIFY(!part<QPushButton>(w, "searchStart")->isEnabled());
        part<QPushButton>(w, "searchStop")->click();
        QVERIFY(!w->isSearching());
        QVERIFY(part<QPushButton>(w, "searchStart")->isEnabled());
        QVERIFY(!part<QPushButton>(w, "searchStop")->isEnabled());
        QVERIFY2(part<QLabel>(w, "searchStatus")->text().startsWith(QStringLiteral("中止しました")),
                 qPrintable(part<QLabel>(w, "searchStatus")->text()));

        // What a stopped search had already sent is not shown by the next one. The window's
        // thread sleeps (handling no events), so the search's batches wait in its queue when
        // it is stopped.
        part<QLineEdit>(w, "searchText")->clear();
        w->setStartFolder(run.browsed(QStringLiteral("many")));
        part<QPushButton>(w, "searchStart")->click();
        QThread::msleep(1000); // the window's thread handles no events while batches queue up
        part<QPushButton>(w, "searchStop")->click();
        QCOMPARE(w->results().rowCount(), 0);
        w->setStartFolder(run.browsed(QStringLiteral("few")));
        QVERIFY(search(w));
        QCOMPARE(foundNames(w),
                 QStringList({QStringLiteral("one.dat"), QStringLiteral("two.dat")}));

        // A stopped thread ends within a chunk: closing the window waits for it. The search is
        // well into the file when it is stopped.
        w->setStartFolder(run.browsed(QStringLiteral("slow")));
        part<QLineEdit>(w, "searchText")->setText(QStringLiteral("not in there"));
        part<QPushButton>(w, "searchStart")->click();
        QThread::msleep(500); // the search gets well into the slow file before it is stopped
        QVERIFY(w->isSearching());
        part<QPushButton>(w, "searchStop")->click();
        QElapsedTimer timer;
        timer.start();
        delete w;
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void doubleClickShowsTheFileInTheMainWindow()
    {
        Run run;
        run.put(QStringLiteral("a.txt"), "top");
        run.put(QStringLiteral("sub/対象.txt"), QStringLiteral("日本語の本文\n").toUtf8());
        run.put(QStringLiteral("sub/hidden.dat"), "data");
        run.start({run.browse.path()});
        app::MainWindow* main = run.window();
        fileops::FileSearchWindow* w = run.open();
        auto* view = part<QTreeView>(w, "searchResults");

        part<QLineEdit>(w, "searchPattern")->setText(QStringLiteral("対象*"));
        QVERIFY(search(w));
        QCOMPARE(w->results().rowCount(), 1);
        doubleClick(view, 0, 0);
        QCOMPARE(main->folderTree()->path(), run.browsed(QStringLiteral("sub")));
        QCOMPARE(main->fileList()->fileName(), QStringLiteral("対象.txt"));
        QCOMPARE(main->hiddenValue(QStringLiteral("Label14")),
                 run.browsed(QStringLiteral("sub/対象.txt")));
        auto* viewer =
            main->form()->findChild<preview::RichTextViewer*>(QStringLiteral("RichTextBox1"));
        QTRY_COMPARE(viewer->text(), QStringLiteral("日本語の本文\n"));

        // A file the file list's filter hides: the list goes back to all files to show it.
        main->filterList()->setCurrentIndex(2);
        run.program->navigation()->applyFilter(2);
        QVERIFY(!main->fileList()->names().contains(QStringLiteral("hidden.dat")));
        part<QLineEdit>(w, "searchPattern")->setText(QStringLiteral("*.dat"));
        QVERIFY(search(w));
        QCOMPARE(w->results().rowCount(), 1);
        doubleClick(view, 0, 1);
        QCOMPARE(main->filterList()->currentIndex(), 0);
        QCOMPARE(main->fileList()->fileName(), QStringLiteral("hidden.dat"));
        QCOMPARE(main->hiddenValue(QStringLiteral("Label14")),
                 run.browsed(QStringLiteral("sub/hidden.dat")));

        // A found file that is gone since is reported, not shown.
        QVERIFY(QFile::remove(run.browsed(QStringLiteral("sub/hidden.dat"))));
        run.prompts.expectMessages(1);
        doubleClick(view, 0, 0);
        QVERIFY2(run.prompts.shown().last().text.contains(QStringLiteral("hidden.dat")),
                 qPrintable(run.prompts.shown().last().text));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void aLinkToAFolderSaysSoAndOpensTheFolder()
    {
        Run run;
        run.put(QStringLiteral("real/inside.txt"), "12345");
        QVERIFY(QFile::link(run.browsed(QStringLiteral("real")),
                            run.browsed(QStringLiteral("リンク"))));
        run.start({run.browse.path()});
        app::MainWindow* main = run.window();
        fileops::FileSearchWindow* w = run.open();
        part<QLineEdit>(w, "searchPattern")->setText(QStringLiteral("リンク"));
        QVERIFY(search(w));
        const fileops::FoundFilesModel& m = w->results();
        QCOMPARE(m.rowCount(), 1);
        // No byte count of 0 as if it were an empty file: the size column says what it is.
        QCOMPARE(m.data(m.index(0, fileops::FoundFilesModel::Size)).toString(),
                 QStringLiteral("フォルダへのリンク"));
        // Chosen, it opens as the folder it is; no file is looked for and no message shown.
        doubleClick(part<QTreeView>(w, "searchResults"), 0, 0);
        QCOMPARE(main->folderTree()->path(), run.browsed(QStringLiteral("リンク")));
        QCOMPARE(main->fileList()->names(), QStringList({QStringLiteral("inside.txt")}));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QCOMPARE(run.prompts.shown().size(), 0);
    }
};

QTEST_MAIN(FileSearchWindowTest)
#include "tst_file_search_window.moc"
