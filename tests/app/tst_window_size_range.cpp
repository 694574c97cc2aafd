// Window sizes read from exp.ini are checked: a size the screen cannot show, or too small to
// use, falls back to the design size, and the window always opens on a screen.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "base/Twips.h"

#include <QScreen>
#include <QtTest>

#include <memory>

class WindowSizeRangeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void storedSizes_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("widthKept");
        QTest::addColumn<bool>("heightKept");
        QTest::newRow("far too wide, negative height")
            << QStringLiteral("99999999999") << QStringLiteral("-5") << false << false;
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("0") << false << false;
        QTest::newRow("one pixel")
            << QStringLiteral("15") << QStringLiteral("15") << false << false;
        QTest::newRow("wider than the screen")
            << QStringLiteral("200000") << QStringLiteral("6000") << false << true;
        QTest::newRow("taller than the screen")
            << QStringLiteral("9000") << QStringLiteral("1e9") << true << false;
        QTest::newRow("in range") << QStringLiteral("9000") << QStringLiteral("6000") << true
                                  << true;
    }

    void storedSizes()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, widthKept);
        QFETCH(bool, heightKept);
        TestProgramFolder folder;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        const QSize design = std::make_unique<app::MainWindow>()->size();
        folder.writeIni(
            cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=1"),
                        QStringLiteral("[hyouji]"), QStringLiteral("saidai=0"),
                        QStringLiteral("width=") + width, QStringLiteral("height=") + height}));
        app::Application program(prompts, shell, mci);
        program.startUp({});
        app::MainWindow* w = program.mainWindow();
        const double dpi = w->dpi();
        const QSize outer = app::outerSize(w);
        // A size taken is the outer size; otherwise the window keeps its design size.
        if (widthKept)
            QCOMPARE(outer.width(), platform::twipsToPixels(width.toDouble(), dpi));
        else
            QCOMPARE(w->width(), design.width());
        if (heightKept)
            QCOMPARE(outer.height(), platform::twipsToPixels(height.toDouble(), dpi));
        else
            QCOMPARE(w->height(), design.height());
        // On a screen: its corner on it, and no stored size makes it larger than the screen
        // (the design size itself is what it is).
        QScreen* screen = w->screen();
        QVERIFY(screen);
        QVERIFY2(screen->availableGeometry().contains(w->frameGeometry().topLeft()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(w->frameGeometry().x())
                                .arg(w->frameGeometry().y())
                                .arg(w->frameGeometry().width())
                                .arg(w->frameGeometry().height())));
        // Start-up went on to its end.
        QCOMPARE(w->hiddenValue(QStringLiteral("Label17")), folder.path());
    }
};

QTEST_MAIN(WindowSizeRangeTest)
#include "tst_window_size_range.moc"
