// The two settings dialogs: load, OK and cancel, with the main window they feed.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/MainWindow.h"
#include "base/Cp932.h"
#include "base/IniFile.h"
#include "desktop/DriveList.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/Settings.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

class SettingsDialogsTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        settings::GeneralSettingsDialog* general() const { return program->forms()->general(); }
        settings::PreviewSettingsDialog* preview() const { return program->forms()->preview(); }
    };

    static void click(QWidget* dialog, const char* name)
    {
        auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(button && button->isEnabled(), name);
        button->click();
    }

    // The key=value lines of the file (code page 932) in their order, sections included.
    static QStringList lines(const QByteArray& file)
    {
        QStringList out;
        for (const QByteArray& line : file.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (!trimmed.isEmpty())
                out << platform::fromCp932(trimmed);
        }
        return out;
    }

private Q_SLOTS:
    void generalOkWritesEveryKeyInOrderAndAppliesAtOnce()
    {
        Run run;
        run.start();
        settings::GeneralSettingsDialog* g = run.general();
        QCOMPARE(g->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("よく使うドライブ"));
        QCOMPARE(g->findChild<QCheckBox*>(QStringLiteral("Check3"))->text(),
                 QStringLiteral("終了時のウィンドゥサイズを記録する(最小化時無効）"));
        g->folderBox(1)->setText(QStringLiteral("/tmp/一"));
        g->folderBox(5)->setText(QStringLiteral("/srv/五"));
        g->findChild<QCheckBox*>(QStringLiteral("Check4"))->setChecked(true);
        g->findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(true);
        const QString labelBefore =
            run.program->mainWindow()->hiddenValue(QStringLiteral("Label10"));
        click(g, "Command9");

        QCOMPARE(lines(run.folder.readIni()),
                 (QStringList{QStringLiteral("[yokutukau]"),
                              QStringLiteral("drive=") + g->driveList()->drive(),
                              QStringLiteral("folder=/tmp/一"),
                              QStringLiteral("folder2="),
                              QStringLiteral("folder3="),
                              QStringLiteral("folder4="),
                              QStringLiteral("folder5=/srv/五"),
                              QStringLiteral("[gomi]"),
                              QStringLiteral("subete=1"),
                              QStringLiteral("[kanren]"),
                              QStringLiteral("hiraku=0"),
                              QStringLiteral("n=0"),
                              QStringLiteral("[fairu]"),
                              QStringLiteral("drag=0"),
                              QStringLiteral("[window]"),
                              QStringLiteral("size=0"),
                              QStringLiteral("[net]"),
                              QStringLiteral("siyou=1"),
                              QStringLiteral("[mes]"),
                              QStringLiteral("kaitou=0")}));
        app::MainWindow* w = run.program->mainWindow();
        QCOMPARE(w->hiddenValue(QStringLiteral("Label15")), QStringLiteral("/tmp/一"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label9")), QStringLiteral("/srv/五"));
        QCOMPARE(w->menuAction(QStringLiteral("f1"))->text(), QStringLiteral("/tmp/一"));
        QCOMPARE(w->menuAction(QStringLiteral("ff5"))->text(), QStringLiteral("/srv/五"));
        QVERIFY(w->menuAction(QStringLiteral("net"))->isVisible());
        // The favourite drive reaches the main window only at the next start.
        QCOMPARE(w->hiddenValue(QStringLiteral("Label10")), labelBefore);
        QVERIFY(!g->isVisible());
        QVERIFY(run.program->forms()->isGeneralLoaded());

        // Unticking the network option hides the menu item again.
        g->findChild<QCheckBox*>(QStringLiteral("Check4"))->setChecked(false);
        click(g, "Command9");
        QVERIFY(!w->menuAction(QStringLiteral("net"))->isVisible());
        QCOMPARE(run.read("net", "siyou"), QStringLiteral("0"));
    }

    void generalCancelDiscardsEdits()
    {
        Run run;
        run.folder.writeIni(
            cp932Lines({QStringLiteral("[yokutukau]"), QStringLiteral("folder2=/古い")}));
        run.start();
        const QByteArray before = run.folder.readIni();
        run.general()->folderBox(2)->setText(QStringLiteral("/新しい"));
        run.general()->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
        click(run.general(), "Command10");
        QVERIFY(!run.program->forms()->isGeneralLoaded());
        QCOMPARE(run.folder.readIni(), before);
        // The next use loads the dialog again from the file.
        QCOMPARE(run.general()->folderBox(2)->text(), QStringLiteral("/古い"));
        QCOMPARE(run.general()->findChild<QCheckBox*>(QStringLiteral("Check1"))->checkState(),
                 Qt::Unchecked);
        QCOMPARE(run.program->mainWindow()->hiddenValue(QStringLiteral("Label11")),
                 QStringLiteral("/古い"));
    }

    void browseButtonsFillTheirOwnBox()
    {
        Run run;
        run.start();
        settings::GeneralSettingsDialog* g = run.general();
        for (int i = 1; i <= 5; ++i) {
            const QString chosen = QStringLiteral("/media/選んだ") + QString::number(i);
            run.prompts.answerText(chosen);
            click(g, QByteArray("Command" + QByteArray::number(i)).constData());
            QCOMPARE(g->folderBox(i)->text(), chosen);
            for (int j = i + 1; j <= 5; ++j)
                QVERIFY(g->folderBox(j)->text().isEmpty());
        }
        QCOMPARE(run.prompts.shown().size(), 5);
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("folder"));
        QCOMPARE(run.prompts.shown().first().text, QStringLiteral("ﾌｫﾙﾀﾞを選択してください。"));
        // A cancelled picker changes nothing.
        run.prompts.answerText(QString());
        click(g, "Command3");
        QCOMPARE(g->folderBox(3)->text(), QStringLiteral("/media/選んだ3"));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void okOnAFileWithoutKeysWritesThemAll()
    {
        Run run;
        run.folder.writeIni(cp932Lines({QStringLiteral("[other]"), QStringLiteral("x=1")}));
        run.start();
        click(run.general(), "Command9");
        for (const auto& [section, key] : {std::pair{"gomi", "subete"},
                                           {"kanren", "hiraku"},
                                           {"fairu", "drag"},
                                           {"window", "size"},
                                           {"net", "siyou"},
                                           {"mes", "kaitou"},
                                           {"kanren", "n"}})
            QCOMPARE(run.read(section, key), QStringLiteral("0"));
        QCOMPARE(run.read("other", "x"), QStringLiteral("1"));
    }

    void everythingBoxDisablesAndEnablesTheNineKinds()
    {
        Run run;
        run.start();
        settings::PreviewSettingsDialog* p = run.preview();
        QCOMPARE(p->windowTitle(), QStringLiteral("プレビューの設定"));
        QCOMPARE(p->kindBoxes().size(), 9);
        p->findChild<QCheckBox*>(QStringLiteral("Check6"))->click();
        for (QCheckBox* box : p->kindBoxes())
            QVERIFY(!box->isEnabled());
        QVERIFY(p->findChild<QCheckBox*>(QStringLiteral("Check6"))->isEnabled() &&
                p->findChild<QCheckBox*>(QStringLiteral("Check7"))->isEnabled() &&
                p->findChild<QCheckBox*>(QStringLiteral("Check8"))->isEnabled());
        p->findChild<QCheckBox*>(QStringLiteral("Check6"))->click();
        for (QCheckBox* box : p->kindBoxes())
            QVERIFY(box->isEnabled());
    }

    void previewOkNormalisesExtensionsAndWritesInOrder()
    {
        Run run;
        run.start();
        settings::PreviewSettingsDialog* p = run.preview();
        p->findChild<QCheckBox*>(QStringLiteral("Check2"))->setChecked(true);
        p->findChild<QCheckBox*>(QStringLiteral("Check11"))->setChecked(true);
        p->extensionBox(1)->setText(QStringLiteral("ABC"));
        p->extensionBox(2)->clear();
        p->option(1, 1)->click();
        QCOMPARE(p->modeLabel(1)->text(), QStringLiteral("1"));
        p->option(2, 2)->click();
        QCOMPARE(p->modeLabel(2)->text(), QStringLiteral("2"));
        p->findChild<QCheckBox*>(QStringLiteral("Check7"))->setChecked(true);
        click(p, "Command1");
        QVERIFY(!p->isVisible());
        QCOMPARE(p->extensionBox(1)->text(), QStringLiteral(".abc"));
        QCOMPARE(p->extensionBox(2)->text(), QStringLiteral("."));
        QCOMPARE(
            lines(run.folder.readIni()),
            (QStringList{
                QStringLiteral("[pre]"), QStringLiteral("htm=0"), QStringLiteral("jpg=1"),
                QStringLiteral("txt=0"), QStringLiteral("bmp=0"), QStringLiteral("mp3=0"),
                QStringLiteral("subete=0"), QStringLiteral("multi=0"), QStringLiteral("lzh=0"),
                QStringLiteral("zip=0"), QStringLiteral("taro=1"), QStringLiteral("[cust]"),
                QStringLiteral("kaku1=.abc"), QStringLiteral("syu1=1"), QStringLiteral("jyou1=1"),
                QStringLiteral("kaku2=."), QStringLiteral("syu2=2"), QStringLiteral("jyou2=0")}));
    }

    void previewCancelKeepsChangesUntilExitWithoutWriting()
    {
        Run run;
        run.start();
        settings::PreviewSettingsDialog* p = run.preview();
        p->findChild<QCheckBox*>(QStringLiteral("Check6"))->click();
        click(p, "Command2");
        QVERIFY(!p->isVisible());
        QVERIFY(!QFile::exists(run.folder.iniPath()));
        QCOMPARE(run.preview()->findChild<QCheckBox*>(QStringLiteral("Check6"))->checkState(),
                 Qt::Checked);
        // After a restart the previews are on again.
        run.program.reset();
        run.start();
        QCOMPARE(run.preview()->findChild<QCheckBox*>(QStringLiteral("Check6"))->checkState(),
                 Qt::Unchecked);
    }

    void twoInstancesConfirmingKeepEachOthersSettings()
    {
        Run run;
        run.folder.writeIni(
            cp932Lines({QStringLiteral("[yokutukau]"), QStringLiteral("folder3=/三"),
                        QStringLiteral("[pre]"), QStringLiteral("zip=1")}));
        run.start();
        // A second instance of the program, with its own dialogs on the same file.
        QLabel otherPath(run.folder.iniPath());
        RecordingPrompts otherPrompts;
        settings::SettingsForms other(settings::ExpIni(&otherPath), otherPrompts, nullptr);
        settings::GeneralSettingsDialog* g1 = run.general();
        settings::GeneralSettingsDialog* g2 = other.general();
        settings::PreviewSettingsDialog* p2 = other.preview();
        p2->load(settings::Key::NoZipPreview, QStringLiteral("1"));

        g1->folderBox(1)->setText(QStringLiteral("/一番目"));
        g2->folderBox(2)->setText(QStringLiteral("/二番目"));
        g2->findChild<QCheckBox*>(QStringLiteral("Check5"))->setChecked(true);
        click(g1, "Command9");
        click(g2, "Command9");
        // Neither OK wrote back the other's keys as it had loaded them.
        QCOMPARE(run.read("yokutukau", "folder"), QStringLiteral("/一番目"));
        QCOMPARE(run.read("yokutukau", "folder2"), QStringLiteral("/二番目"));
        QCOMPARE(run.read("yokutukau", "folder3"), QStringLiteral("/三"));
        QCOMPARE(run.read("gomi", "subete"), QStringLiteral("1"));
        // The second instance now shows what the first one saved.
        QCOMPARE(g2->folderBox(1)->text(), QStringLiteral("/一番目"));

        // The first instance turns the zip preview back on; the second saves its own change of
        // another box afterwards without bringing the old zip value back.
        settings::PreviewSettingsDialog* p1 = run.preview();
        p1->findChild<QCheckBox*>(QStringLiteral("Check10"))->setChecked(false);
        click(p1, "Command1");
        p2->findChild<QCheckBox*>(QStringLiteral("Check2"))->setChecked(true);
        click(p2, "Command1");
        QCOMPARE(run.read("pre", "zip"), QStringLiteral("0"));
        QCOMPARE(run.read("pre", "jpg"), QStringLiteral("1"));
        QCOMPARE(p2->findChild<QCheckBox*>(QStringLiteral("Check10"))->checkState(), Qt::Unchecked);
        QCOMPARE(run.prompts.unexpectedCount() + otherPrompts.unexpectedCount(), 0);
    }

    void settingsThatCannotBeSavedAreReportedWithThePath()
    {
        Run run;
        run.start();
        // A folder where the settings file belongs.
        QVERIFY(QDir().mkdir(run.folder.iniPath()));
        settings::GeneralSettingsDialog* g = run.general();
        g->folderBox(1)->setText(QStringLiteral("/一番目"));
        run.prompts.expectMessages(1);
        click(g, "Command9");
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY2(run.prompts.shown().first().text.startsWith(run.folder.iniPath() +
                                                             QStringLiteral(" に設定を保存")),
                 qPrintable(run.prompts.shown().first().text));
        QCOMPARE(run.prompts.shown().first().icon, int(platform::Prompts::Exclamation));
        // The change stays in force for this session.
        QCOMPARE(run.program->mainWindow()->hiddenValue(QStringLiteral("Label15")),
                 QStringLiteral("/一番目"));

        // The preview dialog tells the same.
        run.prompts.clear();
        run.prompts.expectMessages(1);
        click(run.preview(), "Command1");
        QCOMPARE(run.prompts.shown().size(), 1);
        QVERIFY(run.prompts.shown().first().text.contains(run.folder.iniPath()));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
        QVERIFY(QDir().rmdir(run.folder.iniPath()));
    }

    void previewButtonOfTheGeneralDialogOpensThePreviewDialog()
    {
        Run run;
        run.start();
        bool shown = false;
        QTimer::singleShot(0, this, [&] {
            shown = run.preview()->isVisible() && run.preview()->isModal();
            click(run.preview(), "Command2");
        });
        click(run.general(), "Command11");
        QVERIFY(shown);
    }

    // The member list of 7z, RAR, tar and ISO has its switch in a section of its own, read from
    // the file: a file without it shows the list, and the preview dialog's OK leaves it alone.
    void readOnlyArchivesSwitchLivesInItsOwnSection()
    {
        Run run;
        run.folder.writeIni(cp932Lines({QStringLiteral("[pre]"), QStringLiteral("zip=1")}));
        run.start();
        const settings::Settings* s = run.program->settings();
        QVERIFY(s->previewOff(settings::Preview::Zip));
        QVERIFY(!s->previewOff(settings::Preview::Archives));
        run.folder.writeIni(cp932Lines({QStringLiteral("[pre]"), QStringLiteral("zip=0"),
                                        QStringLiteral("[pre2]"), QStringLiteral("arc=1")}));
        QVERIFY(s->previewOff(settings::Preview::Archives));
        run.preview()->findChild<QCheckBox*>(QStringLiteral("Check2"))->setChecked(true);
        click(run.preview(), "Command1");
        QCOMPARE(run.read("pre2", "arc"), QStringLiteral("1"));
        QCOMPARE(run.read("pre", "jpg"), QStringLiteral("1"));
        QVERIFY(s->previewOff(settings::Preview::Archives));
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "tst_settings_dialogs.moc"
