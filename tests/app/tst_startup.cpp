// Start-up from a missing, partial and complete settings file.
#include "GuiRun.h"

#include "about/AboutDialog.h"
#include "app/Application.h"
#include "app/EarlyFolderRead.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "base/Twips.h"
#include "preview/BrowserPane.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include <memory>

using app::Application;

class StartupTest : public QObject
{
    Q_OBJECT

    using Run = GuiRun;

private Q_SLOTS:
    void missingFileOpensAtDesignSizeWithNothingSet()
    {
        Run run;
        const QSize design = app::MainWindow().size();
        run.start();
        app::MainWindow* w = run.window();
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), design);
        QVERIFY(!w->isMaximized());
        QCOMPARE(w->hiddenValue(QStringLiteral("Label3")),
                 run.folder.path() + QStringLiteral("/exp.ini"));
        QCOMPARE(w->folderTree()->path(), run.folder.path());
        QCOMPARE(w->hiddenValue(QStringLiteral("Label17")), run.folder.path());
        QCOMPARE(w->windowTitle(), QStringLiteral("コラモ  - ") + run.folder.path());
        for (const char* label : {"Label10", "Label15", "Label11", "Label12", "Label8", "Label9"})
            QVERIFY2(w->hiddenValue(QString::fromLatin1(label)).isEmpty(), label);
        QVERIFY(w->menuAction(QStringLiteral("f1"))->text().isEmpty());
        QVERIFY(!w->menuAction(QStringLiteral("net"))->isVisible());
        settings::GeneralSettingsDialog* general = run.program->forms()->general();
        for (int i = 1; i <= 7; ++i)
            QCOMPARE(general->findChild<QCheckBox*>(QStringLiteral("Check") + QString::number(i))
                         ->checkState(),
                     Qt::Unchecked);
        settings::PreviewSettingsDialog* preview = run.program->forms()->preview();
        for (QCheckBox* box : preview->kindBoxes())
            QVERIFY(box->isEnabled());
        QVERIFY(!preview->option(1, 0)->isChecked() && !preview->option(1, 1)->isChecked() &&
                !preview->option(1, 2)->isChecked());
        // Nothing is written by starting, and no box is shown.
        QVERIFY(!QFile::exists(run.folder.iniPath()));
        QVERIFY(run.prompts.shown().isEmpty());
        // The dialogs are loaded but hidden.
        QVERIFY(!general->isVisible() && !preview->isVisible());
        QVERIFY(run.program->isAboutLoaded() && !run.program->about()->isVisible());
    }

    void filterListAndOfflineBrowser()
    {
        Run run;
        run.start();
        QComboBox* filter = run.window()->filterList();
        const QStringList expected = {
            QStringLiteral("すべてのファイル"),         QStringLiteral("実行可能なファイルのみ"),
            QStringLiteral("テキストファイルのみ"),     QStringLiteral("htm&htmlファイルのみ"),
            QStringLiteral("画像ファイルのみ"),         QStringLiteral("圧縮ファイル"),
            QStringLiteral("プレビュー可能なファイル"), QStringLiteral("MP3ファイル"),
            QStringLiteral("MP3プレイリストファイル")};
        QStringList items;
        for (int i = 0; i < filter->count(); ++i)
            items << filter->itemText(i);
        QCOMPARE(items, expected);
        QCOMPARE(filter->currentText(), expected.first());
        auto* browser =
            run.window()->findChild<preview::BrowserPane*>(QStringLiteral("WebBrowser1"));
        QVERIFY(browser->isOffline());
        QVERIFY2(!browser->hasEngine(), "the browser engine is made on first use, not at start-up");
        QVERIFY(run.window()->fileList()->acceptDrops());
        QVERIFY(run.window()->destinationBox()->acceptDrops());
    }

    void missingLibrariesShowNotInstalled()
    {
        Run run;
        run.start();
        about::AboutDialog* about = run.program->about();
        for (const char* label : {"Label6", "Label7", "Label8"})
            QCOMPARE(about->versionLabel(QString::fromLatin1(label))->text(),
                     QStringLiteral("Not Installed"));
        QCOMPARE(about->windowTitle(), QStringLiteral("ヘルプなど"));
    }

    void completeFileSetsEverything()
    {
        Run run;
        const QString fav1 = run.folder.path() + QStringLiteral("/写真");
        QDir().mkpath(fav1);
        run.folder.writeIni(cp932Lines({
            QStringLiteral("[yokutukau]"),
            QStringLiteral("drive=/"),
            QStringLiteral("folder=") + fav1,
            QStringLiteral("folder2=/tmp/二"),
            QStringLiteral("folder3=/tmp/三"),
            QStringLiteral("folder4=/tmp/四"),
            QStringLiteral("folder5=/tmp/A&B"),
            QStringLiteral("[gomi]"),
            QStringLiteral("subete=1"),
            QStringLiteral("[kanren]"),
            QStringLiteral("hiraku=1"),
            QStringLiteral("n=1"),
            QStringLiteral("[fairu]"),
            QStringLiteral("drag=0"),
            QStringLiteral("[window]"),
            QStringLiteral("size=1"),
            QStringLiteral("[net]"),
            QStringLiteral("siyou=1"),
            QStringLiteral("[mes]"),
            QStringLiteral("kaitou=1"),
            QStringLiteral("[hyouji]"),
            QStringLiteral("saidai=0"),
            QStringLiteral("width=9000"),
            QStringLiteral("height=7200"),
            QStringLiteral("[pre]"),
            QStringLiteral("htm=1"),
            QStringLiteral("jpg=0"),
            QStringLiteral("txt=1"),
            QStringLiteral("bmp=0"),
            QStringLiteral("mp3=1"),
            QStringLiteral("subete=1"),
            QStringLiteral("lzh=1"),
            QStringLiteral("zip=0"),
            QStringLiteral("taro=1"),
            QStringLiteral("multi=1"),
            QStringLiteral("[cust]"),
            QStringLiteral("kaku1=.abc"),
            QStringLiteral("syu1=2"),
            QStringLiteral("jyou1=1"),
            QStringLiteral("kaku2=.xyz"),
            QStringLiteral("syu2=1"),
            QStringLiteral("jyou2=0"),
        }));
        run.start();
        app::MainWindow* w = run.window();
        QCOMPARE(w->hiddenValue(QStringLiteral("Label10")), QStringLiteral("/"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label15")), fav1);
        QCOMPARE(w->hiddenValue(QStringLiteral("Label11")), QStringLiteral("/tmp/二"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label12")), QStringLiteral("/tmp/三"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label8")), QStringLiteral("/tmp/四"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label9")), QStringLiteral("/tmp/A&B"));
        QCOMPARE(w->menuAction(QStringLiteral("f1"))->text(), fav1);
        QCOMPARE(w->menuAction(QStringLiteral("ff3"))->text(), QStringLiteral("/tmp/三"));
        // An "&" in a folder name is shown, not taken as a shortcut key.
        QCOMPARE(w->menuAction(QStringLiteral("f5"))->text(), QStringLiteral("/tmp/A&&B"));
        QVERIFY(w->menuAction(QStringLiteral("net"))->isVisible());

        const double dpi = w->dpi();
        QCOMPARE(app::outerSize(w),
                 QSize(platform::twipsToPixels(9000, dpi), platform::twipsToPixels(7200, dpi)));

        settings::GeneralSettingsDialog* general = run.program->forms()->general();
        QCOMPARE(general->folderBox(1)->text(), fav1);
        const Qt::CheckState expected[] = {Qt::Checked, Qt::Unchecked, Qt::Checked, Qt::Checked,
                                           Qt::Checked, Qt::Checked,   Qt::Checked};
        for (int i = 1; i <= 7; ++i)
            QCOMPARE(general->findChild<QCheckBox*>(QStringLiteral("Check") + QString::number(i))
                         ->checkState(),
                     expected[i - 1]);

        settings::PreviewSettingsDialog* preview = run.program->forms()->preview();
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check1"))->checkState(),
                 Qt::Checked);
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check2"))->checkState(),
                 Qt::Unchecked);
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check12"))->checkState(),
                 Qt::Checked);
        // "すべて" set from the file disables the nine kinds, as a click would.
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check6"))->checkState(),
                 Qt::Checked);
        for (QCheckBox* box : preview->kindBoxes())
            QVERIFY(!box->isEnabled());
        QVERIFY(preview->option(1, 2)->isChecked());
        QCOMPARE(preview->modeLabel(1)->text(), QStringLiteral("2"));
        QCOMPARE(preview->extensionBox(1)->text(), QStringLiteral(".abc"));
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check7"))->checkState(),
                 Qt::Checked);
        QVERIFY(preview->option(2, 1)->isChecked());
        QCOMPARE(preview->modeLabel(2)->text(), QStringLiteral("1"));
        QCOMPARE(preview->findChild<QCheckBox*>(QStringLiteral("Check8"))->checkState(),
                 Qt::Unchecked);
        QVERIFY(run.prompts.shown().isEmpty());
    }

    void maximisedWithoutSizeKeys()
    {
        // Maximised at the last exit and no width or height recorded: the window maximises
        // and the rest of the start-up still runs.
        Run run;
        run.folder.writeIni(cp932Lines({QStringLiteral("[window]"), QStringLiteral("size=1"),
                                        QStringLiteral("[hyouji]"), QStringLiteral("saidai=2")}));
        run.start();
        QTRY_VERIFY(run.window()->isMaximized());
        QCOMPARE(run.window()->hiddenValue(QStringLiteral("Label17")), run.folder.path());
        QCOMPARE(run.program->forms()
                     ->general()
                     ->findChild<QCheckBox*>(QStringLiteral("Check3"))
                     ->checkState(),
                 Qt::Checked);
    }

    void sizeRecordingEdgeCases_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("designSize");
        QTest::newRow("no width key")
            << QStringList{QStringLiteral("[window]"), QStringLiteral("size=1"),
                           QStringLiteral("[hyouji]"), QStringLiteral("saidai=0"),
                           QStringLiteral("height=6000")}
            << true;
        QTest::newRow("size recording off")
            << QStringList{QStringLiteral("[window]"), QStringLiteral("size=0"),
                           QStringLiteral("[hyouji]"), QStringLiteral("width=9000"),
                           QStringLiteral("height=6000")}
            << true;
        QTest::newRow("size not a number")
            << QStringList{QStringLiteral("[window]"), QStringLiteral("size=yes"),
                           QStringLiteral("[hyouji]"), QStringLiteral("width=9000"),
                           QStringLiteral("height=6000")}
            << true;
        QTest::newRow("keys in other case, values padded")
            << QStringList{QStringLiteral("[WINDOW]"), QStringLiteral("Size = 1 "),
                           QStringLiteral("[Hyouji]"), QStringLiteral("WIDTH= 9000"),
                           QStringLiteral("height =6000")}
            << false;
    }

    void sizeRecordingEdgeCases()
    {
        QFETCH(QStringList, lines);
        QFETCH(bool, designSize);
        Run run;
        const QSize design = app::MainWindow().size();
        run.folder.writeIni(cp932Lines(lines));
        run.start();
        app::MainWindow* w = run.window();
        QVERIFY(!w->isMaximized());
        if (designSize) {
            QCOMPARE(w->size(), design);
        } else {
            const double dpi = w->dpi();
            QCOMPARE(app::outerSize(w),
                     QSize(platform::twipsToPixels(9000, dpi), platform::twipsToPixels(6000, dpi)));
        }
        QCOMPARE(w->hiddenValue(QStringLiteral("Label17")), run.folder.path());
    }

    void partialFileKeepsDefaultsForBadValues()
    {
        Run run;
        run.folder.writeIni(cp932Lines(
            {QStringLiteral("[gomi]"), QStringLiteral("subete=abc"), QStringLiteral("[kanren]"),
             QStringLiteral("hiraku=7"), QStringLiteral("[net]"), QStringLiteral("siyou=1"),
             QStringLiteral("[cust]"), QStringLiteral("syu1=9"), QStringLiteral("kaku1=.txt")}));
        run.start();
        settings::GeneralSettingsDialog* general = run.program->forms()->general();
        QCOMPARE(general->findChild<QCheckBox*>(QStringLiteral("Check5"))->checkState(),
                 Qt::Unchecked);
        QCOMPARE(general->findChild<QCheckBox*>(QStringLiteral("Check1"))->checkState(),
                 Qt::Unchecked);
        QCOMPARE(general->findChild<QCheckBox*>(QStringLiteral("Check4"))->checkState(),
                 Qt::Checked);
        QVERIFY(run.window()->menuAction(QStringLiteral("net"))->isVisible());
        settings::PreviewSettingsDialog* preview = run.program->forms()->preview();
        // An index outside the three modes selects no option; the label still holds the text.
        for (int i = 0; i < 3; ++i)
            QVERIFY(!preview->option(1, i)->isChecked());
        QCOMPARE(preview->modeLabel(1)->text(), QStringLiteral("9"));
        QCOMPARE(preview->extensionBox(1)->text(), QStringLiteral(".txt"));
    }

    void commandLineFolder()
    {
        Run run;
        const QString spaced = run.folder.path() + QStringLiteral("/my  folder 日本");
        QVERIFY(QDir().mkpath(spaced));
        // The arguments are joined by blanks into one path (as a shell splits an unquoted one).
        run.start(spaced.split(QLatin1Char(' ')));
        QCOMPARE(run.window()->folderTree()->path(), spaced);
        QCOMPARE(run.window()->hiddenValue(QStringLiteral("Label17")), spaced);
        QCOMPARE(run.window()->windowTitle(), QStringLiteral("コラモ  - ") + spaced);
        QCOMPARE(run.window()->fileList()->path(), spaced);
    }

    // Started on a large folder, the program begins reading it before the window is made; the
    // list shows that reading, and nothing of it is left on offer afterwards.
    void commandLineFolderReadBeforeTheWindow()
    {
        Run run;
        const QString big = run.folder.path() + QStringLiteral("/-大きい folder");
        QVERIFY(QDir().mkpath(big));
        const int count = app::FileListBox::kListedAtOnce + 5000;
        for (int i = 0; i < count; ++i) {
            QFile file(big + QStringLiteral("/f%1.txt").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QStringList arguments = big.split(QLatin1Char(' '));
        QCOMPARE(app::folderOfCommandLine(arguments), big);
        app::EarlyFolderRead::start(app::folderOfCommandLine(arguments),
                                    app::FileListBox::kListedAtOnce);
        run.start(arguments);
        app::FileListBox* list = run.window()->fileList();
        QCOMPARE(list->path(), big);
        QTRY_VERIFY_WITH_TIMEOUT(!list->isListing(), 60000);
        QCOMPARE(list->count(), count);
        QVERIFY(!app::EarlyFolderRead::take(big));
        // A file named on the command line: its folder is read.
        QCOMPARE(app::folderOfCommandLine({big + QStringLiteral("/f7.txt")}), big);
        QCOMPARE(app::folderOfCommandLine({big + QStringLiteral("/missing.txt")}), QString());
        QCOMPARE(app::folderOfCommandLine({}), QString());
    }

    void badCommandLineLeavesProgramFolder()
    {
        Run run;
        run.start({run.folder.path() + QStringLiteral("/missing")});
        QCOMPARE(run.window()->folderTree()->path(), run.folder.path());
        QVERIFY(run.prompts.shown().isEmpty());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
