// Smaller faults of the browser: the association panel stays empty when the user asked not to
// see associations, the settings dialog's browse buttons go through the program's folder
// picker, and the editors get no folder when no file is selected.
#include "RecordingMci.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"
#include "TestFolders.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "fileops/FolderPicker.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

class SmallFaultsTest : public QObject
{
    Q_OBJECT

    struct Run {
        TestProgramFolder program;
        QTemporaryDir browse;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingMci mci;
        std::unique_ptr<app::Application> app;
        explicit Run(const QStringList& iniLines = {})
        {
            QFile file(browse.path() + QStringLiteral("/doc.txt"));
            if (file.open(QIODevice::WriteOnly))
                file.write("text");
            file.close();
            if (!iniLines.isEmpty())
                program.writeIni(cp932Lines(iniLines));
            app = std::make_unique<app::Application>(prompts, shell, mci);
            app->startUp({browse.path()});
            shell.calls.clear();
        }
        app::MainWindow* w() const { return app->mainWindow(); }
        QRect entryRect(int row) const
        {
            app::FileListBox* list = w()->fileList();
            return list->visualRect(list->model()->index(row, 0));
        }
    };

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void openingKeepsAssociationsHiddenWhenAskedTo()
    {
        Run run({QStringLiteral("[kanren]"), QStringLiteral("n=1")});
        app::FileListBox* list = run.w()->fileList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, run.entryRect(0).center());
        QCOMPARE(run.w()->panel(3)->text(), QString());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, run.entryRect(0).center());
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(run.w()->panel(3)->text(), QString());
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 2);
        QCOMPARE(run.w()->panel(3)->text(), QString());

        // Without the setting, opening shows the association as before.
        run.app->forms()->general()->box(settings::Key::NoAssociation)->setChecked(false);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(run.w()->panel(3)->text(), run.shell.associatedProgram);
    }

    void settingsBrowseButtonsRecordTheLastPickedFolder()
    {
        Run run;
        settings::GeneralSettingsDialog* general = run.app->forms()->general();
        const QString picked = run.browse.path() + QStringLiteral("/よく使う");
        QVERIFY(QDir().mkpath(picked));
        run.prompts.answerText(picked);
        general->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
        QCOMPARE(general->findChild<QLineEdit*>(QStringLiteral("Text3"))->text(), picked);
        QCOMPARE(fileops::lastPickedFolder(), picked);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("folder"));
    }

    void editorsGetNoFolderWhenNothingIsSelected()
    {
        Run run;
        QVERIFY(run.w()->fileList()->selectedNames().isEmpty());
        QVERIFY(run.w()->fileList()->fileName().isEmpty());
        run.w()->menuAction(QStringLiteral("memo"))->trigger();
        run.w()->menuAction(QStringLiteral("paint"))->trigger();
        const QList<RecordingShell::Call> text = run.shell.callsOf(QStringLiteral("editor:text"));
        const QList<RecordingShell::Call> image = run.shell.callsOf(QStringLiteral("editor:image"));
        QCOMPARE(text.size(), 1);
        QCOMPARE(image.size(), 1);
        // Started empty, not on the folder.
        QCOMPARE(text.first().path, QString());
        QCOMPARE(image.first().path, QString());

        // With a file selected, the file is handed over.
        app::FileListBox* list = run.w()->fileList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, run.entryRect(0).center());
        run.w()->menuAction(QStringLiteral("memo"))->trigger();
        QCOMPARE(run.shell.callsOf(QStringLiteral("editor:text")).last().path,
                 run.browse.path() + QStringLiteral("/doc.txt"));
    }
};

QTEST_MAIN(SmallFaultsTest)
#include "tst_small_faults.moc"
