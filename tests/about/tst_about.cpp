// The about dialog's library versions, loaded by name from the program folder.
#include "GuiRun.h"

#include "about/AboutDialog.h"
#include "app/Application.h"
#include "app/MainWindow.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class AboutTest : public QObject
{
    Q_OBJECT

    static void copyFakes(const QString& to, const QStringList& names)
    {
        for (const QString& name : names)
            QVERIFY(QFile::copy(QStringLiteral(FAKE_DIR "/") + name, to + QLatin1Char('/') + name));
    }

private Q_SLOTS:
    void versionsAreDividedByAHundred()
    {
        GuiRun run;
        const TestProgramFolder& folder = run.folder;
        copyFakes(folder.path(), {QStringLiteral("libunlha32.so"), QStringLiteral("libunzip32.so"),
                                  QStringLiteral("libcab32.so")});
        run.start();
        app::Application& program = *run.program;
        about::AboutDialog* about = program.about();
        QCOMPARE(about->versionLabel(QStringLiteral("Label6"))->text(), QStringLiteral("1.14"));
        QCOMPARE(about->versionLabel(QStringLiteral("Label7"))->text(), QStringLiteral("2"));
        // A library without the version entry point is as good as missing.
        QCOMPARE(about->versionLabel(QStringLiteral("Label8"))->text(),
                 QStringLiteral("Not Installed"));
        QCOMPARE(about->helpFile(), folder.path() + QStringLiteral("/file.hlp"));
    }

    void reopenedDialogLeavesAMissingLibraryEmpty()
    {
        GuiRun run;
        copyFakes(run.folder.path(), {QStringLiteral("libunzip32.so")});
        run.start();
        app::Application& program = *run.program;
        QCOMPARE(program.about()->versionLabel(QStringLiteral("Label6"))->text(),
                 QStringLiteral("Not Installed"));
        program.about()->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        QVERIFY(!program.isAboutLoaded());
        // Loading it again fills only the versions.
        about::AboutDialog* again = program.about();
        QCOMPARE(again->versionLabel(QStringLiteral("Label6"))->text(), QString());
        QCOMPARE(again->versionLabel(QStringLiteral("Label7"))->text(), QStringLiteral("2"));
    }

    void librariesOutsideTheProgramFolderAreNotUsed()
    {
        // The fakes stay where they were built; the program folder has none.
        TestProgramFolder folder;
        about::AboutDialog dialog(folder.path());
        QCOMPARE(dialog.versionLabel(QStringLiteral("Label7"))->text(), QString());
        dialog.markMissingLibraries();
        QCOMPARE(dialog.versionLabel(QStringLiteral("Label7"))->text(),
                 QStringLiteral("Not Installed"));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
