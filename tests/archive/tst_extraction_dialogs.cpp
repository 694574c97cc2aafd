// The destination dialog, the result window and the offer to show the extracted files, with
// the library calls, the prompts and the browser recorded.
#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"

#include "archive/ExtractDialog.h"
#include "archive/Extraction.h"
#include "archive/ResultWindow.h"
#include "archive/ShowExtractedDialog.h"
#include "fileops/FolderPicker.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QtTest>

#include <memory>

using archive::Family;

class ExtractionDialogsTest : public QObject
{
    Q_OBJECT

    struct Run {
        QTemporaryDir root;
        QWidget window;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingRunner runner;
        FakeBrowser browser;
        bool ask = true;
        std::unique_ptr<archive::Extraction> extraction;
        ModalDriver driver;
        QStringList results; // reports shown in the result window

        explicit Run(const QString& file)
        {
            window.setObjectName(QStringLiteral("Form1"));
            browser.owner = &window;
            browser.folder = root.path(); // without its separator, as the tree reports it
            browser.selected = file;
            archive::Services services;
            services.prompts = &prompts;
            services.shell = &shell;
            services.browser = &browser;
            services.archiver = &runner;
            services.askToShowExtracted = [this] { return ask; };
            extraction = std::make_unique<archive::Extraction>(services);
            driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
                auto* result = qobject_cast<archive::ResultWindow*>(w);
                results << result->reportText();
                result->closeButton()->click();
            });
        }
        QString folder() const { return root.path() + QLatin1Char('/'); }
        QString archivePath() const { return folder() + browser.selected; }
        // Opens the destination dialog, clicks the button and returns once it has closed.
        void click(int number)
        {
            driver.on(QStringLiteral("Form5"), [number](QWidget* w) {
                qobject_cast<archive::ExtractDialog*>(w)->button(number)->click();
                // A cancelled choice leaves the dialog open; close it for the test.
                if (w->isVisible())
                    qobject_cast<QDialog*>(w)->reject();
            });
            driver.start();
            extraction->run();
            driver.stop();
        }
        archive::ShowExtractedDialog* offer() const { return extraction->showExtractedDialog(); }
    };

private Q_SLOTS:
    void init() { fileops::setLastPickedFolder(QString()); }

    void destinationDialogTexts()
    {
        Run run(QStringLiteral("data.lzh"));
        archive::ExtractDialog dialog(run.extraction->services(), run.extraction->dialogResults(),
                                      &run.window);
        QCOMPARE(dialog.objectName(), QStringLiteral("Form5"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("解凍先の指定"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("現在のフォルダ：") + run.folder());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("解凍するファイル：data.lzh"));
        const QStringList captions{
            QStringLiteral("現在のフォルダに解凍"), QStringLiteral("フォルダを選択して解凍"),
            QStringLiteral("キャンセル"), QStringLiteral("フォルダを作成して解凍"),
            QStringLiteral("フォルダにファイル名をつけて解凍")};
        for (int i = 1; i <= 5; ++i) {
            auto* b = dialog.findChild<QPushButton*>(QStringLiteral("Command%1").arg(i));
            QVERIFY(b);
            QCOMPARE(b->text(), captions.at(i - 1));
        }
        QVERIFY(dialog.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"))->isHidden());
    }

    void currentFolderLzhAsksThenShowsReport()
    {
        Run run(QStringLiteral("ARC.LZH"));
        run.runner.reports.enqueue(QStringLiteral("Melted  a.txt"));
        run.click(1);
        QCOMPARE(run.runner.calls.size(), 1);
        const auto& call = run.runner.calls.first();
        QCOMPARE(call.family, Family::Lzh);
        QCOMPARE(call.line,
                 QStringLiteral("e -d1 \"%1\" \"%2\"").arg(run.archivePath(), run.folder()));
        QCOMPARE(call.bufferSize, 2048);
        QCOMPARE(call.owner, quintptr(run.window.winId()));
        QCOMPARE(run.results, QStringList{QStringLiteral("Melted  a.txt")});
        QCOMPARE(run.browser.events,
                 (QStringList{QStringLiteral("tree"), QStringLiteral("files")}));
        QVERIFY(!run.offer());
        QCOMPARE(run.prompts.shown().size(), 0);
    }

    void currentFolderQuietLzhShowsNoReportButZipAndCabDo()
    {
        for (const char* name : {"a.lzh", "a.zip", "a.cab"}) {
            Run run(QString::fromLatin1(name));
            run.ask = false;
            run.runner.reports.enqueue(QStringLiteral("report"));
            run.click(1);
            QCOMPARE(run.runner.calls.size(), 1);
            QCOMPARE(run.results.size(),
                     QString::fromLatin1(name).endsWith(QLatin1String("lzh")) ? 0 : 1);
        }
        Run zip(QStringLiteral("a.zip"));
        zip.click(1);
        QCOMPARE(zip.runner.calls.first().family, Family::Zip);
        QCOMPARE(zip.runner.calls.first().line,
                 QStringLiteral("-x \"%1\" \"%2\"").arg(zip.archivePath(), zip.folder()));
        Run cab(QStringLiteral("a.cab"));
        cab.click(1);
        QCOMPARE(cab.runner.calls.first().family, Family::Cab);
        QCOMPARE(cab.runner.calls.first().line,
                 QStringLiteral("-x -r \"%1\" \"%2\"").arg(cab.archivePath(), cab.folder()));
    }

    void otherFileTypesCallNoLibrary()
    {
        Run run(QStringLiteral("notes.txt"));
        run.click(1);
        QVERIFY(run.runner.calls.isEmpty());
        QVERIFY(run.results.isEmpty());
        QCOMPARE(run.browser.events,
                 (QStringList{QStringLiteral("tree"), QStringLiteral("files")}));

        // The named folder is still made.
        Run named(QStringLiteral("notes.txt"));
        named.click(5);
        QVERIFY(named.runner.calls.isEmpty());
        QVERIFY(QFileInfo(named.folder() + QStringLiteral("notes")).isDir());

        // No folder is asked for, yet the extracted files are offered.
        Run chosen(QStringLiteral("notes.txt"));
        chosen.click(2);
        QVERIFY(chosen.runner.calls.isEmpty());
        QVERIFY(chosen.prompts.shown().isEmpty());
        QVERIFY(chosen.offer());
        QVERIFY(chosen.offer()->isVisible());
    }

    void chosenFolder()
    {
        Run run(QStringLiteral("pack.zip"));
        QTemporaryDir target;
        run.prompts.answerText(target.path());
        run.runner.reports.enqueue(QStringLiteral("ok"));
        run.click(2);
        QCOMPARE(run.prompts.shown().size(), 1);
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("folder"));
        QCOMPARE(run.prompts.shown().first().text, QStringLiteral("解凍先を選択してください。"));
        QCOMPARE(run.runner.calls.size(), 1);
        QCOMPARE(run.runner.calls.first().line,
                 QStringLiteral("-x \"%1\" \"%2/\"").arg(run.archivePath(), target.path()));
        QCOMPARE(run.results, QStringList{QStringLiteral("ok")});
        QCOMPARE(fileops::lastPickedFolder(), target.path());
        QVERIFY(run.offer() && run.offer()->isVisible());
        QCOMPARE(run.browser.events,
                 (QStringList{QStringLiteral("tree"), QStringLiteral("files")}));

        Run lzh(QStringLiteral("a b.lzh"));
        lzh.ask = false;
        lzh.prompts.answerText(target.path() + QLatin1Char('/'));
        lzh.click(2);
        QCOMPARE(lzh.runner.calls.first().line,
                 QStringLiteral("e -d1 -jf0 \"%1\" \"%2/\"").arg(lzh.archivePath(), target.path()));
        QCOMPARE(lzh.results.size(), 1);
        QVERIFY(!lzh.offer());
    }

    void cancelledChoiceCallsNothingAndStaysOpen()
    {
        Run run(QStringLiteral("a.lzh"));
        archive::ExtractDialog dialog(run.extraction->services(), run.extraction->dialogResults(),
                                      &run.window);
        run.prompts.answerText(QString());
        dialog.button(2)->click();
        QVERIFY(run.runner.calls.isEmpty());
        QCOMPARE(dialog.result(), 0);
        QVERIFY(run.browser.events.isEmpty());
        run.prompts.answerText(QString());
        dialog.button(4)->click();
        QVERIFY(run.runner.calls.isEmpty());
        QCOMPARE(dialog.result(), 0);
        QVERIFY(!run.offer());
    }

    void newFolder()
    {
        Run run(QStringLiteral("a.cab"));
        run.prompts.answerText(run.root.path());
        run.prompts.answerText(QStringLiteral("new one"));
        run.click(4);
        QCOMPARE(run.prompts.shown().size(), 2);
        QCOMPARE(run.prompts.shown().at(0).text,
                 QStringLiteral("作成するﾌｫﾙﾀﾞの親ﾌｫﾙﾀﾞを選択してください。"));
        QCOMPARE(run.prompts.shown().at(1).kind, QStringLiteral("input"));
        QCOMPARE(run.prompts.shown().at(1).text,
                 QStringLiteral("作成するフォルダ名を入力してください。"));
        QCOMPARE(run.prompts.shown().at(1).title, QStringLiteral("フォルダ名の入力"));
        const QString created = run.folder() + QStringLiteral("new one");
        QVERIFY(QFileInfo(created).isDir());
        QCOMPARE(run.runner.calls.size(), 1);
        QCOMPARE(run.runner.calls.first().line,
                 QStringLiteral("-x -r \"%1\" \"%2/\"").arg(run.archivePath(), created));
        QCOMPARE(run.results.size(), 1);
        QCOMPARE(fileops::lastPickedFolder(), created);
        // Offered twice, one dialog.
        QCOMPARE(run.window.findChildren<archive::ShowExtractedDialog*>().size(), 1);

        // An empty name ends the command before anything is made.
        Run empty(QStringLiteral("a.lzh"));
        empty.prompts.answerText(empty.root.path());
        empty.prompts.answerText(QString());
        empty.click(4);
        QVERIFY(empty.runner.calls.isEmpty());
        QCOMPARE(QDir(empty.root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 0);
    }

    void folderNamedAfterArchive()
    {
        Run run(QStringLiteral("data.lzh"));
        run.click(5);
        const QString d = run.folder() + QStringLiteral("data/");
        QVERIFY(QFileInfo(d).isDir());
        QCOMPARE(run.runner.calls.first().line,
                 QStringLiteral("e -d1 \"%1\" \"%2\"").arg(run.archivePath(), d));
        QCOMPARE(run.results.size(), 1);
        QVERIFY(!run.offer());

        Run quiet(QStringLiteral("data.lzh"));
        quiet.ask = false;
        quiet.click(5);
        QCOMPARE(quiet.runner.calls.size(), 1);
        QVERIFY(quiet.results.isEmpty());
    }

    void cancelButtonDoesNothing()
    {
        Run run(QStringLiteral("a.zip"));
        run.click(3);
        QVERIFY(run.runner.calls.isEmpty());
        QVERIFY(run.browser.events.isEmpty());
        QCOMPARE(run.driver.seen, QStringList{QStringLiteral("Form5")});
    }

    void resultWindowDropsNuls()
    {
        archive::ResultWindow window(QStringLiteral("line one\nline two") +
                                     QString(30, QChar(u'\0')));
        QCOMPARE(window.objectName(), QStringLiteral("Form13"));
        QCOMPARE(window.windowTitle(), QStringLiteral("圧縮・解凍結果"));
        QCOMPARE(window.reportText(), QStringLiteral("line one\nline two"));
        QVERIFY(window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"))->isReadOnly());
        QCOMPARE(window.closeButton()->objectName(), QStringLiteral("Command1"));
        QCOMPARE(window.closeButton()->text(), QStringLiteral("閉じる"));
        window.show();
        window.closeButton()->click();
        QVERIFY(!window.isVisible());
    }

    void offerShowsHere()
    {
        Run run(QStringLiteral("a.lzh"));
        fileops::setLastPickedFolder(QStringLiteral("/srv/out"));
        run.extraction->offerToShow();
        QPointer<archive::ShowExtractedDialog> offer = run.offer();
        QCOMPARE(offer->objectName(), QStringLiteral("Form3"));
        QCOMPARE(offer->windowTitle(), QStringLiteral("解凍されたファイルの表示"));
        QVERIFY(!offer->isModal());
        QCOMPARE(offer->findChild<QLabel*>()->text(),
                 QStringLiteral("解凍されたファイルを表示しますか？"));
        QCOMPARE(offer->hereOption()->objectName(), QStringLiteral("Option1"));
        QCOMPARE(offer->hereOption()->text(), QStringLiteral("このソフトで表示"));
        QCOMPARE(offer->fileManagerOption()->objectName(), QStringLiteral("Option2"));
        QCOMPARE(offer->fileManagerOption()->text(), QStringLiteral("エクスプローラで表示"));
        QCOMPARE(offer->showButton()->text(), QStringLiteral("表示"));
        QCOMPARE(offer->dontShowButton()->text(), QStringLiteral("表示しない"));
        offer->showButton()->click();
        QCOMPARE(run.browser.events, QStringList{QStringLiteral("cd:/srv/out")});
        QVERIFY(run.shell.calls.isEmpty());
        QTRY_VERIFY(offer.isNull()); // deleted on close
    }

    void offerShowsInFileManagerOrNot()
    {
        Run run(QStringLiteral("a.lzh"));
        fileops::setLastPickedFolder(QStringLiteral("/srv/out"));
        run.extraction->offerToShow();
        run.offer()->fileManagerOption()->setChecked(true);
        run.offer()->showButton()->click();
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).size(), 1);
        QCOMPARE(run.shell.callsOf(QStringLiteral("open")).first().path,
                 QStringLiteral("/srv/out"));
        QVERIFY(run.browser.events.isEmpty());

        Run no(QStringLiteral("a.lzh"));
        no.extraction->offerToShow();
        QPointer<archive::ShowExtractedDialog> offer = no.offer();
        offer->dontShowButton()->click();
        QVERIFY(no.shell.calls.isEmpty());
        QVERIFY(no.browser.events.isEmpty());
        QTRY_VERIFY(offer.isNull());
    }
};

QTEST_MAIN(ExtractionDialogsTest)
#include "tst_extraction_dialogs.moc"
