// The panes follow the window's size by the layout rule, at several sizes and a tiny one.
#include "app/MainLayout.h"
#include "app/MainWindow.h"
#include "base/Twips.h"

#include <QtTest>

class LayoutTest : public QObject
{
    Q_OBJECT

    static QRect expectedPixels(const app::PaneRect& pane, double dpi)
    {
        return QRect(
            platform::twipsToPixels(pane.left, dpi), platform::twipsToPixels(pane.top, dpi),
            platform::twipsToPixels(pane.width, dpi), platform::twipsToPixels(pane.height, dpi));
    }

private Q_SLOTS:
    void ruleAtOneSize()
    {
        // W = 12000, H = 9000 twips.
        QHash<QString, QRectF> rects;
        for (const app::PaneRect& p : app::mainLayout(12000, 9000))
            rects.insert(p.name, QRectF(p.left, p.top, p.width, p.height));
        QCOMPARE(rects.size(), 8);
        QCOMPARE(rects.value(QStringLiteral("RichTextBox1")), QRectF(2640, 480, 9400, 7350));
        QCOMPARE(rects.value(QStringLiteral("WebBrowser1")),
                 rects.value(QStringLiteral("RichTextBox1")));
        QCOMPARE(rects.value(QStringLiteral("ListView1")),
                 rects.value(QStringLiteral("RichTextBox1")));
        QCOMPARE(rects.value(QStringLiteral("Picture1")),
                 rects.value(QStringLiteral("RichTextBox1")));
        // The PDF and Markdown views share the same rectangle.
        QCOMPARE(rects.value(QStringLiteral("PdfView")),
                 rects.value(QStringLiteral("RichTextBox1")));
        QCOMPARE(rects.value(QStringLiteral("MarkdownView")),
                 rects.value(QStringLiteral("RichTextBox1")));
        QCOMPARE(rects.value(QStringLiteral("Dir1")), QRectF(0, 840, 2535, 3000));
        // The file list starts 60 below the folder tree's bottom edge.
        QCOMPARE(rects.value(QStringLiteral("File1")), QRectF(0, 3900, 2535, 3266.6666666666665));
    }

    void windowFollowsResize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1024x768") << QSize(1024, 700);
        QTest::newRow("1920x1080") << QSize(1920, 1000);
        QTest::newRow("odd") << QSize(777, 555);
    }

    void windowFollowsResize()
    {
        QFETCH(QSize, size);
        app::MainWindow window;
        window.show();
        window.resize(size);
        QTRY_COMPARE(window.size(), size);
        QWidget* form = window.form();
        const double dpi = window.dpi();
        const double w = platform::pixelsToTwips(form->width(), dpi);
        const double h = platform::pixelsToTwips(form->height(), dpi);
        for (const app::PaneRect& pane : app::mainLayout(w, h)) {
            QWidget* widget = form->findChild<QWidget*>(pane.name);
            QVERIFY2(widget, qPrintable(pane.name));
            QCOMPARE(widget->geometry(), expectedPixels(pane, dpi));
        }
        // Nothing the rule keeps apart overlaps: the viewers lie right of the left column and
        // above the destination row; the folder tree and the file list do not touch.
        const QRect viewer = form->findChild<QWidget*>(QStringLiteral("RichTextBox1"))->geometry();
        const QRect tree = form->findChild<QWidget*>(QStringLiteral("Dir1"))->geometry();
        const QRect files = form->findChild<QWidget*>(QStringLiteral("File1"))->geometry();
        const QRect drives = form->findChild<QWidget*>(QStringLiteral("Drive1"))->geometry();
        const QRect copy = form->findChild<QWidget*>(QStringLiteral("Command2"))->geometry();
        const QRect toolbar = form->findChild<QWidget*>(QStringLiteral("Toolbar1"))->geometry();
        const QRect status = form->findChild<QWidget*>(QStringLiteral("StatusBar1"))->geometry();
        QVERIFY(!viewer.intersects(tree) && !viewer.intersects(files) && !viewer.intersects(copy));
        QVERIFY(!tree.intersects(files));
        QVERIFY(!drives.intersects(tree) && !drives.intersects(viewer));
        QVERIFY(!toolbar.intersects(viewer) && !toolbar.intersects(drives));
        QVERIFY(!status.intersects(copy) && !status.intersects(viewer));
    }

    // The row below the panes at the design size and wider: nothing overlaps, no caption is cut
    // or wrapped, the destination box takes the spare width. Run at 1x and (QT_SCALE_FACTOR=2)
    // at 2x scale.
    void bottomRowFits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design") << QSize(800, 540);
        QTest::newRow("1024x700") << QSize(1024, 700);
        QTest::newRow("1920x1000") << QSize(1920, 1000);
    }

    void bottomRowFits()
    {
        QFETCH(QSize, size);
        app::MainWindow window;
        window.show();
        window.resize(size);
        QTRY_COMPARE(window.size(), size);
        QWidget* form = window.form();
        QList<QWidget*> row;
        for (const char* name : {"Combo1", "Label1", "Text2", "Command1", "Command3", "Command2"})
            row << form->findChild<QWidget*>(QLatin1String(name));
        const QRect status = form->findChild<QWidget*>(QStringLiteral("StatusBar1"))->geometry();
        const QRect viewer = form->findChild<QWidget*>(QStringLiteral("RichTextBox1"))->geometry();
        for (int i = 0; i < row.size(); ++i) {
            const QRect r = row.at(i)->geometry();
            QVERIFY2(form->rect().contains(r), qPrintable(row.at(i)->objectName()));
            QVERIFY2(!r.intersects(status) && !r.intersects(viewer),
                     qPrintable(row.at(i)->objectName()));
            for (int j = i + 1; j < row.size(); ++j)
                QVERIFY2(!r.intersects(row.at(j)->geometry()),
                         qPrintable(row.at(i)->objectName() + QLatin1Char('/') +
                                    row.at(j)->objectName()));
        }
        // Captions get the width they ask for: one line, nothing cut.
        for (QWidget* captioned : {row.at(1), row.at(3), row.at(4), row.at(5)})
            QVERIFY2(captioned->width() >= captioned->sizeHint().width(),
                     qPrintable(captioned->objectName()));
        // The box takes what is left, which grows with the window.
        QVERIFY(row.at(2)->width() >= 100);
        QCOMPARE(row.at(2)->geometry().right() + 1 + platform::twipsToPixels(105, window.dpi()),
                 row.at(3)->x());
    }

    void tinyWindowKeepsOldSizes()
    {
        app::MainWindow window;
        window.show();
        window.resize(900, 650);
        QTRY_COMPARE(window.size(), QSize(900, 650));
        QWidget* form = window.form();
        QWidget* viewer = form->findChild<QWidget*>(QStringLiteral("RichTextBox1"));
        QWidget* label = form->findChild<QWidget*>(QStringLiteral("Label1"));
        const QRect before = viewer->geometry();
        const QRect labelBefore = label->geometry();

        // H − 1650 is negative: the viewers cannot take it and keep what they had, while the
        // panes whose sizes are fixed still move with the bottom edge.
        window.resize(120, 60);
        QTRY_COMPARE(window.size(), QSize(120, 60));
        QCOMPARE(viewer->geometry(), before);
        QVERIFY(label->geometry().top() != labelBefore.top());
        QCOMPARE(label->geometry().size(), labelBefore.size());

        // Growing again applies the rule once more.
        window.resize(1000, 700);
        QTRY_COMPARE(window.size(), QSize(1000, 700));
        QVERIFY(viewer->geometry() != before);
        QVERIFY(viewer->width() > 0 && viewer->height() > 0);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
