// The progress window of a long operation whose bar does not move yet (the items are still
// being counted, or one large item is on its way): it is up within half a second, its cancel
// button answers. A whole operation runs on a worker: the copy goes on while the window's
// thread is held, and the progress window comes up while the count of a large tree runs.
#include "ShellTestFiles.h"

#include "desktop/LinuxShell.h"
#include "desktop/QtShellUi.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using platform::QtShellUi;

namespace
{

// The bytes of every file in the folder, hidden ones (a copy under way) included.
qint64 bytesIn(const QString& folder)
{
    qint64 sum = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        sum += info.size();
    return sum;
}

// A folder for large files: memory when there is some (quick, and no disk is worn).
QString roomyFolder()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                              : QDir::tempPath();
}

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
        // Shown at the first step after 0.4 s; some slack for a loaded machine.
        QVERIFY2(shownAfter >= 350 && shownAfter <= 1000, qPrintable(QString::number(shownAfter)));
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

    // The window's thread is held (as by a long repaint) once the copy has begun: the copy
    // goes on meanwhile, which it could not if it ran on that thread.
    void theCopyGoesOnWhileTheWindowThreadIsHeld()
    {
        QTemporaryDir root(roomyFolder() + QStringLiteral("/koramo-progress-XXXXXX"));
        const QString big = root.filePath(QStringLiteral("big.bin"));
        {
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray piece(1 << 20, 'x');
            for (int i = 0; i < 768; ++i)
                QCOMPARE(f.write(piece), piece.size());
        }
        const QString target = root.filePath(QStringLiteral("dst"));
        QVERIFY(QDir().mkpath(target));
        qint64 seenAtHold = -1;
        bool grewWhileHeld = false;
        QTimer look;
        look.setInterval(2);
        connect(&look, &QTimer::timeout, this, [&] {
            const qint64 first = bytesIn(target);
            if (first == 0)
                return;
            look.stop();
            seenAtHold = first;
            QElapsedTimer held;
            held.start();
            while (held.elapsed() < 5000 && !grewWhileHeld) {
                QThread::msleep(5); // polls the target's size while the window thread is held
                grewWhileHeld = bytesIn(target) > first;
            }
        });
        look.start();
        const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
        platform::Shell::FileOperation op;
        op.from = shelltest::pathList({big});
        op.to = target;
        QCOMPARE(shell->fileOperation(op), 0);
        QVERIFY2(seenAtHold > 0, "the copy was never seen under way");
        if (seenAtHold == QFileInfo(big).size())
            QSKIP("the copy was complete before it was first seen; nothing to tell");
        QVERIFY2(grewWhileHeld, "the copy stood still while the window's thread was held");
        QCOMPARE(QFileInfo(target + QStringLiteral("/big.bin")).size(), QFileInfo(big).size());
    }

    // A tree of many files: the progress window is up soon (0.4 s, with slack for a loaded
    // machine), the window's thread answers throughout, and its cancel button stops the work.
    void theWindowComesWhileALargeTreeIsCounted()
    {
        QTemporaryDir root;
        const QString tree = root.filePath(QStringLiteral("tree"));
        for (int folder = 0; folder < 40; ++folder) {
            const QString sub = tree + QStringLiteral("/f%1").arg(folder);
            QVERIFY(QDir().mkpath(sub));
            for (int file = 0; file < 500; ++file)
                shelltest::writeFile(sub + QStringLiteral("/%1.txt").arg(file), "x");
        }
        QElapsedTimer clock;
        qint64 shownAfter = -1;
        qint64 longestGap = 0;
        qint64 last = 0;
        QTimer beat;
        beat.setInterval(10);
        connect(&beat, &QTimer::timeout, this, [&] {
            longestGap = qMax(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            if (shownAfter < 0 && progressWindow()) {
                shownAfter = clock.elapsed();
                // Cancelled once seen: the count and the copy stop.
                progressWindow()->findChild<QPushButton*>()->click();
            }
        });
        const std::unique_ptr<platform::Shell> shell = platform::createDesktopShell();
        platform::Shell::FileOperation op;
        op.from = shelltest::pathList({tree});
        op.to = root.filePath(QStringLiteral("dst"));
        op.flags = platform::Shell::NoConfirmMkdir;
        clock.start();
        beat.start();
        const int result = shell->fileOperation(op);
        beat.stop();
        QVERIFY2(shownAfter >= 0, "no progress window");
        QVERIFY2(shownAfter <= 1000, qPrintable(QString::number(shownAfter)));
        QCOMPARE(result, platform::Shell::kCancelled);
        QVERIFY2(longestGap < 400, qPrintable(QString::number(longestGap)));
    }
};

QTEST_MAIN(ShellProgressTest)
#include "tst_shell_progress.moc"
