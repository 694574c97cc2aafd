// One click in the file list: the status bar, the current file, and which viewer shows it.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/MemberListing.h"
#include "preview/PreviewDispatcher.h"
#include "preview/RichTextViewer.h"
#include "settings/GeneralSettingsDialog.h"
#include "settings/PreviewSettingsDialog.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class DispatcherTest : public QObject
{
    Q_OBJECT

    struct Run : GuiRun {
        Run() { start({browse.path()}); }
        app::MainWindow* w() const { return window(); }
        // Clicks the file in the list, as the user does.
        void click(const QString& name) const
        {
            app::FileListBox* list = w()->fileList();
            list->refresh();
            const int entry = list->rowShowing(name);
            QVERIFY2(entry >= 0, qPrintable(name));
            list->setCurrentRow(-1);
            mciBefore = mci.commands().size();
            list->setCurrentRow(entry);
        }
        bool visible(const char* name) const
        {
            return !w()->form()->findChild<QWidget*>(QString::fromLatin1(name))->isHidden();
        }
        QString panel(int n) const { return w()->panel(n)->text(); }
        settings::PreviewSettingsDialog* preview() const { return program->forms()->preview(); }
        mutable qsizetype mciBefore = 0;
    };

private Q_SLOTS:
    void sizeTexts()
    {
        using preview::PreviewDispatcher;
        QCOMPARE(PreviewDispatcher::sizeText(0), QStringLiteral("サイズ:0Byte"));
        QCOMPARE(PreviewDispatcher::sizeText(1023), QStringLiteral("サイズ:1023Byte"));
        QCOMPARE(PreviewDispatcher::sizeText(1024), QStringLiteral("サイズ:1KByte"));
        QCOMPARE(PreviewDispatcher::sizeText(1536), QStringLiteral("サイズ:2KByte"));
        QCOMPARE(PreviewDispatcher::sizeText(2560), QStringLiteral("サイズ:2KByte"));
        QCOMPARE(PreviewDispatcher::sizeText(1048575), QStringLiteral("サイズ:1024KByte"));
        QCOMPARE(PreviewDispatcher::sizeText(1048576), QStringLiteral("サイズ:1MByte"));
        QCOMPARE(PreviewDispatcher::sizeText(Q_INT64_C(3) << 30),
                 QStringLiteral("サイズ:3072MByte"));
    }

    void dateTexts()
    {
        using preview::PreviewDispatcher;
        QCOMPARE(PreviewDispatcher::dateText(QDateTime(QDate(2024, 5, 10), QTime(13, 4, 6))),
                 QStringLiteral("修正日2024/05/10 13:04:06"));
        QCOMPARE(PreviewDispatcher::dateText(QDateTime(QDate(2024, 5, 10), QTime(0, 0, 0))),
                 QStringLiteral("修正日2024/05/10"));
        QCOMPARE(PreviewDispatcher::dateText(QDateTime(QDate(1999, 12, 31), QTime(9, 5, 0))),
                 QStringLiteral("修正日1999/12/31 9:05:00"));
    }

    void textFileIsShownWithItsFacts()
    {
        Run run;
        const QString path =
            run.write(QStringLiteral("メモ.txt"), QByteArray("日本語のテキスト\r\n二行目\r\n"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5)),
                                     QFileDevice::FileModificationTime));
        }
        run.click(QStringLiteral("メモ.txt"));
        QCOMPARE(run.mci.commands().mid(run.mciBefore, 2),
                 (QStringList{QStringLiteral("stop Media"), QStringLiteral("close Media")}));
        QCOMPARE(run.w()->hiddenValue(QStringLiteral("Label14")), path);
        QCOMPARE(run.panel(1), QStringLiteral("サイズ:") + QString::number(QFileInfo(path).size()) +
                                   QStringLiteral("Byte"));
        QCOMPARE(run.panel(2), QStringLiteral("修正日2023/01/02 3:04:05"));
        QCOMPARE(run.panel(3), run.shell.associatedProgram);
        QVERIFY(run.visible("RichTextBox1"));
        QVERIFY(!run.visible("Label2") && !run.visible("Picture1") && !run.visible("ListView1"));
        QVERIFY(run.w()->menuAction(QStringLiteral("tkensaku"))->isEnabled());
        auto* viewer =
            run.w()->form()->findChild<preview::RichTextViewer*>(QStringLiteral("RichTextBox1"));
        QCOMPARE(viewer->text(), QStringLiteral("日本語のテキスト\n二行目\n"));
        QCOMPARE(run.program->previewDispatcher()->extensionKey(), QStringLiteral(".txt"));
    }

    void extensionKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("viewer");
        QTest::newRow("upper-case key")
            << QStringLiteral("NOTE.TXT") << QStringLiteral("RichTextBox1");
        QTest::newRow("ini") << QStringLiteral("setup.ini") << QStringLiteral("RichTextBox1");
        QTest::newRow("gif") << QStringLiteral("anim.GIF") << QStringLiteral("Picture1");
        QTest::newRow("script") << QStringLiteral("a.js") << QStringLiteral("Label2");
        QTest::newRow("no extension") << QStringLiteral("README") << QStringLiteral("Label2");
        QTest::newRow("htmlx") << QStringLiteral("page.htmlx") << QStringLiteral("Label2");
    }

    void extensionKeys()
    {
        QFETCH(QString, name);
        QFETCH(QString, viewer);
        Run run;
        run.write(name, QByteArray("GIF89a"));
        run.click(name);
        const QStringList all{QStringLiteral("RichTextBox1"), QStringLiteral("Picture1"),
                              QStringLiteral("WebBrowser1"), QStringLiteral("ListView1"),
                              QStringLiteral("Label2")};
        for (const QString& n : all)
            QCOMPARE(run.visible(n.toLatin1().constData()), n == viewer);
    }

    void playlistIsTextEvenWhenTextPreviewIsOff()
    {
        Run run;
        run.write(QStringLiteral("list.m3u"), QByteArray("a.mp3\n"));
        run.write(QStringLiteral("b.log"), QByteArray("log\n"));
        run.preview()->findChild<QCheckBox*>(QStringLiteral("Check3"))->setChecked(true);
        run.click(QStringLiteral("list.m3u"));
        QVERIFY(run.visible("RichTextBox1"));
        run.click(QStringLiteral("b.log"));
        QVERIFY(!run.visible("RichTextBox1") && !run.visible("Label2"));
    }

    void everythingOffStillFillsTheStatusBar()
    {
        Run run;
        run.write(QStringLiteral("a.txt"), QByteArray("text"));
        run.write(QStringLiteral("b.js"), QByteArray(2048, 'x'));
        run.click(QStringLiteral("a.txt"));
        QVERIFY(run.visible("RichTextBox1"));
        run.preview()->findChild<QCheckBox*>(QStringLiteral("Check6"))->setChecked(true);
        run.click(QStringLiteral("b.js"));
        QCOMPARE(run.panel(1), QStringLiteral("サイズ:2KByte"));
        // The text viewer keeps its visibility; no notice replaces it.
        QVERIFY(run.visible("RichTextBox1"));
        QVERIFY(!run.visible("Label2"));
    }

    void cabinetIsNotListedWhenLzhPreviewIsOff()
    {
        Run run;
        run.write(QStringLiteral("x.cab"), QByteArray("MSCF"));
        run.preview()->findChild<QCheckBox*>(QStringLiteral("Check9"))->setChecked(true);
        run.click(QStringLiteral("x.cab"));
        QVERIFY(!run.visible("ListView1"));
        QVERIFY(!run.w()->menuAction(QStringLiteral("kaitou"))->isEnabled());
        run.preview()->findChild<QCheckBox*>(QStringLiteral("Check9"))->setChecked(false);
        run.click(QStringLiteral("x.cab"));
        // The libraries are not in this program folder: an empty list, shown all the same.
        QVERIFY(run.visible("ListView1"));
        QVERIFY(run.w()->menuAction(QStringLiteral("kaitou"))->isEnabled());
        QVERIFY(run.w()->menuAction(QStringLiteral("kaitoup"))->isEnabled());
        QVERIFY(!run.w()->menuAction(QStringLiteral("assyukuhenkou"))->isVisible());
    }

    void archiveMembersAreListedThroughTheLibrary()
    {
        Run run;
        const QString lib =
            qEnvironmentVariable("KORAMO_BUILD_BIN") + QStringLiteral("/libunzip32.so");
        QVERIFY2(QFile::copy(lib, run.folder.path() + QStringLiteral("/libunzip32.so")),
                 qPrintable(lib));
        QTemporaryDir source;
        const QString member = source.path() + QStringLiteral("/member.txt");
        {
            QFile file(member);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(1234, 'x'));
            file.flush();
            QVERIFY(file.setFileTime(QDateTime(QDate(1999, 5, 10), QTime(13, 4, 6)),
                                     QFileDevice::FileModificationTime));
        }
        QFile(source.path() + QStringLiteral("/empty.txt")).open(QIODevice::WriteOnly);
        QProcess zip;
        zip.setWorkingDirectory(source.path());
        zip.start(QStringLiteral("zip"),
                  {QStringLiteral("-q"), run.browse.path() + QStringLiteral("/a.zip"),
                   QStringLiteral("member.txt"), QStringLiteral("empty.txt")});
        QVERIFY2(zip.waitForFinished() && zip.exitCode() == 0, "zip (Info-ZIP) is needed");
        run.click(QStringLiteral("a.zip"));
        auto* list = run.w()->form()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        QVERIFY(run.visible("ListView1"));
        QTRY_VERIFY_WITH_TIMEOUT(!archive::MemberListing::of(list)->running(), 20000);
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("member.txt"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("1234"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("1999/05/10 13:04:06"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("0"));
        QVERIFY(run.w()->menuAction(QStringLiteral("kaitou"))->isEnabled());
    }

    void customRules()
    {
        Run run;
        run.write(QStringLiteral("a.log"), QByteArray("GIF89a"));
        run.write(QStringLiteral("b.ab"), QByteArray("x"));
        settings::PreviewSettingsDialog* p = run.preview();
        // Rule 1: ".log" shown as a picture, on top of the built-in text view.
        p->extensionBox(1)->setText(QStringLiteral(".log"));
        p->option(1, 2)->setChecked(true);
        p->findChild<QCheckBox*>(QStringLiteral("Check7"))->setChecked(true);
        // Rule 2: a dot and two letters never matches the four-character key.
        p->extensionBox(2)->setText(QStringLiteral(".ab"));
        p->option(2, 0)->setChecked(true);
        p->findChild<QCheckBox*>(QStringLiteral("Check8"))->setChecked(true);
        run.click(QStringLiteral("a.log"));
        QVERIFY(run.visible("RichTextBox1"));
        QVERIFY(run.visible("Picture1"));
        run.click(QStringLiteral("b.ab"));
        QVERIFY(run.visible("Label2"));
        QVERIFY(!run.visible("RichTextBox1"));
    }

    void associationDisplayCanBeTurnedOff()
    {
        Run run;
        run.write(QStringLiteral("a.txt"), QByteArray("x"));
        run.program->forms()
            ->general()
            ->findChild<QCheckBox*>(QStringLiteral("Check7"))
            ->setChecked(true);
        run.shell.calls.clear();
        run.click(QStringLiteral("a.txt"));
        QVERIFY(run.shell.callsOf(QStringLiteral("find")).isEmpty());
        QVERIFY(run.panel(3).isEmpty());
    }

    void hugeFileShowsItsTrueSize()
    {
        Run run;
        const QString path = run.browse.path() + QStringLiteral("/big.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(Q_INT64_C(3) << 30))
            QSKIP("this file system cannot hold a sparse 3 GiB file");
        file.close();
        run.click(QStringLiteral("big.bin"));
        QCOMPARE(run.panel(1), QStringLiteral("サイズ:3072MByte"));
    }
};

QTEST_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
