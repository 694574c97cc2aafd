// The progress window of a long operation whose bar does not move yet (the items are still
// being counted, or one large item is on its way): it is up within a second, its cancel
// button answers, and a copy of a large tree puts it up while the count runs elsewhere.
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "desktop/QtShellUi.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using platform::QtShellUi;

namespace
{

QProgressDialog* progressWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

class ShellProgressTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aWindowWhoseBarStandsStillIsUpWithinASecond()
    {
        QtShellUi ui;
        ui.progressStart(nullptr, QStringLiteral("コピーしています..."), 0, true);
        QElapsedTimer clock;
        clock.start();
        qint64 shownAfter = -1;
        while (clock.elapsed() < 2000) {
            QVERIFY(ui.progressStep(0, QStringLiteral("項目を数えています...")));
            if (shownAfter < 0 && progressWindow())
                shownAfter = clock.elapsed();
            // Steps that come as slowly as a count of many items, for two seconds.
            QThread::msleep(20);
        }
        QVERIFY2(shownAfter >= 0, "the progress window never showed");
        // Shown at the first step after a second; some slack for a loaded machine.
        QVERIFY2(shownAfter <= 1500, qPrintable(QString::number(shownAfter)));
        // Its cancel button answers while nothing moves.
        QProgressDialog* dialog = progressWindow();
        QVERIFY(dialog);
        auto* cancel = dialog->findChild<QPushButton*>();
        QVERIFY(cancel);
        cancel->click();
        QVERIFY(!ui.progressStep(0, QStringLiteral("項目を数えています...")));
        ui.progressEnd();
        QVERIFY(!progressWindow());
    }

    void theTotalComingLaterGivesTheBarItsRange()
    {
        QtShellUi ui;
        ui.progressStart(nullptr, QStringLiteral("削除しています..."), 0, false);
        ui.progressTotal(200);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1200) {
            QVERIFY(ui.progressStep(100, QString()));
            // Long enough for the window to be shown (after a second).
            QThread::msleep(20);
        }
        QProgressDialog* dialog = progressWindow();
        QVERIFY(dialog);
        QCOMPARE(dialog->maximum(), 1000);
        QCOMPARE(dialog->value(), 500);
        ui.progressEnd();
    }
};

QTEST_MAIN(ShellProgressTest)
#include "tst_shell_progress.moc"
