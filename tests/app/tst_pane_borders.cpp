// The borders between the left column and the preview and between the folder tree and the file
// list, dragged with the mouse as a user drags them; where they were left is kept in exp.ini
// in a section of its own, and a file without that section gives the window as designed.
#include "GuiRun.h"
#include "RecordingArchiverCall.h"

#include "app/Application.h"
#include "app/FolderTree.h"
#include "app/MainLayout.h"
#include "app/MainWindow.h"
#include "app/PaneBorders.h"
#include "base/Twips.h"

#include <QDir>
#include <QScrollBar>
#include <QtTest>

namespace
{

QWidget* pane(app::MainWindow* w, const char* name)
{
    return w->form()->findChild<QWidget*>(QLatin1String(name));
}

// Presses the left button in the middle of the border, moves by the offset in steps and lets
// go, as a hand does: the points are fixed on the screen while the border follows the mouse.
void drag(QWidget* border, QPoint offset)
{
    const QPoint start = border->mapToGlobal(border->rect().center());
    QTest::mousePress(border, Qt::LeftButton, Qt::NoModifier, border->mapFromGlobal(start));
    for (int step = 1; step <= 4; ++step)
        QTest::mouseMove(border, border->mapFromGlobal(start + offset * step / 4));
    QTest::mouseRelease(border, Qt::LeftButton, Qt::NoModifier,
                        border->mapFromGlobal(start + offset));
}

// Nothing that the borders keep apart overlaps, and each border lies in the gap it divides.
void checkApart(app::MainWindow* w)
{
    const QRect tree = pane(w, "Dir1")->geometry();
    const QRect files = pane(w, "File1")->geometry();
    const QRect viewer = pane(w, "RichTextBox1")->geometry();
    const QRect drives = pane(w, "Drive1")->geometry();
    const QRect column = w->paneBorders()->columnBorder()->geometry();
    const QRect between = w->paneBorders()->treeBorder()->geometry();
    QVERIFY(!tree.intersects(files));
    QVERIFY(!viewer.intersects(tree) && !viewer.intersects(files) && !viewer.intersects(drives));
    QVERIFY(!column.intersects(tree) && !column.intersects(viewer) && !column.intersects(files));
    QVERIFY(!between.intersects(tree) && !between.intersects(files));
    QCOMPARE(drives.width(), tree.width());
    QVERIFY(column.width() > 0 && between.height() > 0);
}

struct Run : GuiRun {
    RecordingArchiverCall recorder;
    explicit Run(const QByteArray& ini = QByteArray())
    {
        archiver = &recorder;
        if (!ini.isEmpty())
            folder.writeIni(ini);
        start({browse.path()});
        w()->show();
        w()->resize(1200, 800);
        QTRY_COMPARE(w()->size(), QSize(1200, 800));
    }
    app::MainWindow* w() const { return window(); }
};

} // namespace

class PaneBordersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Six folders down, with long names, the open folder's row starts beyond the tree's right
    // edge at the design's width: the tree scrolls sideways so that its name can be read.
    void theOpenFolderDeepDownShowsItsName()
    {
        Run run;
        QString deep = run.browse.path();
        for (const char* part : {"第一階層の長い名前のフォルダ", "二番目の階層にある資料置き場",
                                 "三番目のとても長い名前の作業用フォルダ", "四番目",
                                 "2026年度の報告書と添付資料", "-六番目 'の' \"階層\""})
            deep += QLatin1Char('/') + QString::fromUtf8(part);
        QVERIFY(QDir().mkpath(deep));
        app::FolderTree* tree = run.w()->folderTree();
        QVERIFY(tree->setPath(deep));
        QTRY_VERIFY(tree->currentIndex().isValid() && tree->currentIndex().data().toString() ==
                                                          QStringLiteral("-六番目 'の' \"階層\""));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QRect row = tree->visualRect(tree->currentIndex());
                return row.isValid() && row.left() >= 0 &&
                       row.left() + tree->iconSize().width() < tree->viewport()->width() / 2;
            }(),
            5000);
        QVERIFY(tree->horizontalScrollBar()->value() > 0);
    }

    // Dragging the column border widens the left column and narrows the preview by as much;
    // dragging the other one gives the tree what the file list gives up.
    void dragsMoveThePanes()
    {
        Run run;
        app::MainWindow* w = run.w();
        const QRect treeBefore = pane(w, "Dir1")->geometry();
        const QRect filesBefore = pane(w, "File1")->geometry();
        const QRect viewerBefore = pane(w, "RichTextBox1")->geometry();
        checkApart(w);

        drag(w->paneBorders()->columnBorder(), QPoint(150, 0));
        const QRect tree = pane(w, "Dir1")->geometry();
        const QRect viewer = pane(w, "RichTextBox1")->geometry();
        QVERIFY2(qAbs(tree.width() - treeBefore.width() - 150) <= 1,
                 qPrintable(QString::number(tree.width())));
        QVERIFY(qAbs(viewer.left() - viewerBefore.left() - 150) <= 1);
        QCOMPARE(viewer.right(), viewerBefore.right());
        QCOMPARE(pane(w, "File1")->width(), tree.width());
        checkApart(w);

        drag(w->paneBorders()->treeBorder(), QPoint(0, 80));
        QVERIFY(qAbs(pane(w, "Dir1")->height() - treeBefore.height() - 80) <= 1);
        QVERIFY(qAbs(pane(w, "File1")->y() - filesBefore.y() - 80) <= 1);
        QCOMPARE(pane(w, "File1")->geometry().bottom(), filesBefore.bottom());
        checkApart(w);

        // Dragged far beyond the window, every pane keeps a usable size.
        drag(w->paneBorders()->columnBorder(), QPoint(5000, 0));
        QVERIFY(pane(w, "RichTextBox1")->width() >= 60);
        drag(w->paneBorders()->treeBorder(), QPoint(0, -5000));
        QVERIFY(pane(w, "Dir1")->height() >= 30);
        checkApart(w);

        // A smaller window later on still keeps the panes apart.
        w->resize(700, 450);
        QTRY_COMPARE(w->size(), QSize(700, 450));
        checkApart(w);
    }

    // The split is written when the window closes after a drag, and read at the next start.
    void splitIsKeptInItsOwnSection()
    {
        QByteArray written;
        {
            Run run;
            drag(run.w()->paneBorders()->columnBorder(), QPoint(120, 0));
            drag(run.w()->paneBorders()->treeBorder(), QPoint(0, -40));
            const app::PaneSplit split = run.w()->paneBorders()->split();
            QVERIFY(split.column > 0 && split.tree < 0);
            run.w()->close();
            QVERIFY(run.program->isShutDown());
            QCOMPARE(run.read("panes", "column"), QString::number(qRound(split.column)));
            QCOMPARE(run.read("panes", "tree"), QString::number(qRound(split.tree)));
            written = run.folder.readIni();
        }
        Run again(written);
        app::MainWindow* w = again.w();
        const double dpi = w->dpi();
        const app::PaneSplit split = w->paneBorders()->split();
        QCOMPARE(again.read("panes", "column"), QString::number(qRound(split.column)));
        QCOMPARE(pane(w, "Dir1")->width(), platform::twipsToPixels(2535 + split.column, dpi));
        checkApart(w);
    }

    // Without the section the window is laid out as designed, and closing it writes nothing new.
    void olderFilesKeepTheDesign()
    {
        const QByteArray before =
            cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=0")});
        Run run(before);
        app::MainWindow* w = run.w();
        const double dpi = w->dpi();
        const double width = platform::pixelsToTwips(w->form()->width(), dpi);
        const double height = platform::pixelsToTwips(w->form()->height(), dpi);
        for (const app::PaneRect& p : app::mainLayout(width, height)) {
            const QRect expected(
                platform::twipsToPixels(p.left, dpi), platform::twipsToPixels(p.top, dpi),
                platform::twipsToPixels(p.width, dpi), platform::twipsToPixels(p.height, dpi));
            QCOMPARE(pane(w, qPrintable(p.name))->geometry(), expected);
        }
        QCOMPARE(pane(w, "Drive1")->width(), platform::twipsToPixels(2535, dpi));
        w->close();
        QVERIFY(run.program->isShutDown());
        QCOMPARE(run.folder.readIni(), before);
    }
};

QTEST_MAIN(PaneBordersTest)
#include "tst_pane_borders.moc"
