// What closing the main window writes, releases and removes.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "base/Conversions.h"
#include "base/IniFile.h"
#include "base/Twips.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

#include <memory>

using app::Application;

class ShutdownTest : public QObject
{
    Q_OBJECT

    using Run = GuiRun;

private Q_SLOTS:
    void normalSizeIsWrittenInTwips()
    {
        Run run;
        run.folder.writeIni(cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=1")}));
        run.start();
        app::MainWindow* w = run.program->mainWindow();
        w->resize(700, 500);
        const QSize outer = app::outerSize(w);
        const double dpi = w->dpi();
        w->close();
        QVERIFY(run.program->isShutDown());
        QCOMPARE(run.read("hyouji", "saidai"), QStringLiteral("0"));
        QCOMPARE(run.read("hyouji", "width"),
                 settings::singleText(platform::pixelsToTwips(outer.width(), dpi)));
        QCOMPARE(run.read("hyouji", "height"),
                 settings::singleText(platform::pixelsToTwips(outer.height(), dpi)));
        // saidai, then height, then width: a new section keeps the order of first writing.
        const QByteArray file = run.folder.readIni();
        QVERIFY(file.indexOf("saidai=") < file.indexOf("height="));
        QVERIFY(file.indexOf("height=") < file.indexOf("width="));
    }

    void maximisedWritesOnlyTheMarker()
    {
        Run run;
        run.folder.writeIni(
            cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=1"),
                        QStringLiteral("[hyouji]"), QStringLiteral("saidai=0"),
                        QStringLiteral("width=9000"), QStringLiteral("height=6000")}));
        run.start();
        run.program->mainWindow()->showMaximized();
        QTRY_VERIFY(run.program->mainWindow()->isMaximized());
        run.program->mainWindow()->close();
        QCOMPARE(run.read("hyouji", "saidai"), QStringLiteral("2"));
        QCOMPARE(run.read("hyouji", "width"), QStringLiteral("9000"));
        QCOMPARE(run.read("hyouji", "height"), QStringLiteral("6000"));
    }

    void minimisedOrRecordingOffWritesNothing_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("minimise");
        QTest::newRow("minimised") << QStringLiteral("1") << true;
        QTest::newRow("recording off") << QStringLiteral("0") << false;
    }

    void minimisedOrRecordingOffWritesNothing()
    {
        QFETCH(QString, size);
        QFETCH(bool, minimise);
        Run run;
        const QByteArray before =
            cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=") + size,
                        QStringLiteral("[hyouji]"), QStringLiteral("saidai=0"),
                        QStringLiteral("width=9000"), QStringLiteral("height=6000")});
        run.folder.writeIni(before);
        run.start();
        if (minimise) {
            run.program->mainWindow()->showMinimized();
            QTRY_VERIFY(run.program->mainWindow()->isMinimized());
        } else {
            run.program->mainWindow()->resize(640, 480);
        }
        run.program->mainWindow()->close();
        QVERIFY(run.program->isShutDown());
        QCOMPARE(run.folder.readIni(), before);
    }

    void windowsReleasedMediaStoppedWorkFolderRemoved()
    {
        Run run;
        run.start();
        const QString work = run.folder.path() + QStringLiteral("/temp");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/a/b")));
        QFile staged(work + QStringLiteral("/a/b/member.txt"));
        QVERIFY(staged.open(QIODevice::WriteOnly));
        staged.write("staged");
        staged.close();
        QFile::setPermissions(staged.fileName(), QFileDevice::ReadOwner);
        run.mci.clear();

        QSignalSpy finished(run.program.get(), &Application::shutDownFinished);
        run.program->mainWindow()->close();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(
            run.program->unloadOrder(),
            (QStringList{QStringLiteral("preview settings"), QStringLiteral("general settings"),
                         QStringLiteral("main window"), QStringLiteral("about")}));
        QCOMPARE(run.mci.commands(),
                 (QStringList{QStringLiteral("stop Media"), QStringLiteral("close Media")}));
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(QFileInfo::exists(run.folder.path()));
        // With size recording off nothing was written.
        QVERIFY(!QFile::exists(run.folder.iniPath()));
    }

    void cancelledEditOfTheSizeFlagDoesNotCount()
    {
        // The size flag lives in the general dialog. Unticking it and cancelling discards the
        // edit: closing the window reads the flag from the file again and records the size.
        Run run;
        run.folder.writeIni(cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=1")}));
        run.start();
        settings::GeneralSettingsDialog* general = run.program->forms()->general();
        general->findChild<QCheckBox*>(QStringLiteral("Check3"))->setChecked(false);
        general->findChild<QPushButton*>(QStringLiteral("Command10"))->click();
        QVERIFY(!run.program->forms()->isGeneralLoaded());
        run.program->mainWindow()->resize(640, 480);
        run.program->mainWindow()->close();
        QCOMPARE(run.read("hyouji", "saidai"), QStringLiteral("0"));
        QVERIFY(!run.read("hyouji", "width").isEmpty());
    }
};

QTEST_MAIN(ShutdownTest)
#include "tst_shutdown.moc"
