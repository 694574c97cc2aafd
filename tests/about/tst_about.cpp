// The about dialog's library versions, loaded by name from the program folder.
#include "GuiRun.h"

#include "about/AboutDialog.h"
#include "app/Application.h"
#include "app/MainWindow.h"
#include "base/Paths.h"
#include "settings/SettingsTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        QCOMPARE(about->helpFile(), folder.path() + QStringLiteral("/help.html"));
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

    // "ヘルプを見る" and "ホームページを見に行く" go through the shell's open routine.
    void helpAndHomePageOpenThroughTheShell()
    {
        GuiRun run;
        run.start();
        about::AboutDialog* about = run.program->about();
        about->show();
        about->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        about->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        const auto opened = run.shell.callsOf(QStringLiteral("open"));
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened.at(0).path, run.folder.path() + QStringLiteral("/help.html"));
        QCOMPARE(opened.at(1).path, about->findChild<QLabel*>(QStringLiteral("Label1"))->text());
        QVERIFY(opened.at(1).path.startsWith(QLatin1String("https://")));
        // A help file the shell cannot find: its own message, and the dialog stays open.
        run.shell.openResult = platform::Shell::kFileNotFound;
        run.prompts.expectMessages(1);
        about->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY(!run.prompts.shown().at(0).text.isEmpty());
        QVERIFY(about->isVisible());
    }

    // The manual is built into the program folder: Japanese HTML with its five chapters.
    void helpDocumentIsShipped()
    {
        const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
        QVERIFY(!bin.isEmpty());
        about::AboutDialog dialog(bin);
        QFile help(dialog.helpFile());
        QVERIFY2(help.open(QIODevice::ReadOnly), qPrintable(dialog.helpFile()));
        const QString text = QString::fromUtf8(help.readAll());
        QVERIFY(text.startsWith(QLatin1String("<!DOCTYPE html>")));
        QVERIFY(text.contains(QLatin1String("<html lang=\"ja\">")));
        for (const char* id : {"window", "commands", "archives", "previews", "settings", "expini"})
            QVERIFY2(text.contains(QStringLiteral("id=\"%1\"").arg(QLatin1String(id))), id);
        QVERIFY(text.contains(QStringLiteral("exp.ini")));
        QVERIFY(text.contains(QStringLiteral("圧縮ファイル")));
        // Every section the program keeps in exp.ini has its row in the help's table.
        const QString table = text.mid(text.indexOf(QLatin1String("id=\"expini\"")));
        for (int k = 0; k <= static_cast<int>(settings::Key::ZipNameEncoding); ++k) {
            const QString section = settings::sectionOf(static_cast<settings::Key>(k));
            QVERIFY2(table.contains(QStringLiteral("<tr><td>%1</td>").arg(section)),
                     qPrintable(section));
        }
    }

    // Installed, the parts are in PREFIX/lib/koramo and the manual in PREFIX/share/koramo.
    void helpDocumentOfAnInstalledProgram()
    {
        QTemporaryDir prefix;
        const QString parts = prefix.path() + QStringLiteral("/lib/koramo");
        QVERIFY(QDir().mkpath(parts));
        // No data folder: the program folder.
        QCOMPARE(platform::dataFolderOf(parts), parts);
        QVERIFY(QDir().mkpath(prefix.path() + QStringLiteral("/share/koramo")));
        QCOMPARE(platform::dataFolderOf(parts), prefix.path() + QStringLiteral("/share/koramo"));
        about::AboutDialog dialog(parts);
        QCOMPARE(dialog.helpFile(), prefix.path() + QStringLiteral("/share/koramo/help.html"));
        // A build folder or a copy elsewhere keeps the manual beside the program.
        const QString other = prefix.path() + QStringLiteral("/lib/other");
        QVERIFY(QDir().mkpath(other));
        QCOMPARE(platform::dataFolderOf(other), other);
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
