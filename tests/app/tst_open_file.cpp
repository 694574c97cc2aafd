// Started with a file on its command line (as "open with" from another program does): its
// folder is opened and the file is made current, which previews it.
#include "GuiRun.h"

#include "app/Application.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "archive/MemberListing.h"
#include "preview/RichTextViewer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QtTest>

class OpenFileTest : public QObject
{
    Q_OBJECT

    static bool visible(const GuiRun& run, const char* name)
    {
        return !run.window()->form()->findChild<QWidget*>(QString::fromLatin1(name))->isHidden();
    }

private Q_SLOTS:
    void aTextFileIsSelectedAndPreviewed()
    {
        GuiRun run;
        run.write(QStringLiteral("前.txt"), QByteArray("before"));
        const QString path = run.write(QStringLiteral("メモ 一.txt"), QByteArray("日本語\r\n"));
        run.write(QStringLiteral("後.txt"), QByteArray("after"));
        run.start({path});
        app::MainWindow* w = run.window();
        QCOMPARE(w->folderTree()->path(), run.browse.path());
        QCOMPARE(w->fileList()->path(), run.browse.path());
        QCOMPARE(w->fileList()->fileName(), QStringLiteral("メモ 一.txt"));
        QCOMPARE(w->hiddenValue(QStringLiteral("Label14")), path);
        QVERIFY(visible(run, "RichTextBox1"));
        auto* viewer =
            w->form()->findChild<preview::RichTextViewer*>(QStringLiteral("RichTextBox1"));
        QCOMPARE(viewer->text(), QStringLiteral("日本語\n"));
    }

    void anArchiveListsItsMembers()
    {
        GuiRun run;
        if (QStandardPaths::findExecutable(QStringLiteral("jlha")).isEmpty())
            QSKIP("jlha is not installed");
        const QString lib =
            qEnvironmentVariable("KORAMO_BUILD_BIN") + QStringLiteral("/libunlha32.so");
        QVERIFY2(QFile::copy(lib, run.folder.path() + QStringLiteral("/libunlha32.so")),
                 qPrintable(lib));
        QTemporaryDir source;
        QDir(source.path()).mkpath(QStringLiteral("sub"));
        for (const char* name : {"a.txt", "sub/b.txt"}) {
            QFile file(source.path() + QLatin1Char('/') + QString::fromLatin1(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(100, 'x'));
        }
        const QString archive = run.browsed(QStringLiteral("書庫 one.lzh"));
        QProcess jlha;
        jlha.setWorkingDirectory(source.path());
        jlha.start(QStringLiteral("jlha"), {QStringLiteral("aq"), archive, QStringLiteral("a.txt"),
                                            QStringLiteral("sub/b.txt")});
        QVERIFY(jlha.waitForFinished() && jlha.exitCode() == 0);

        run.start({archive});
        app::MainWindow* w = run.window();
        QCOMPARE(w->folderTree()->path(), run.browse.path());
        QCOMPARE(w->fileList()->fileName(), QStringLiteral("書庫 one.lzh"));
        QVERIFY(visible(run, "ListView1"));
        auto* list = w->form()->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
        QTRY_VERIFY_WITH_TIMEOUT(!archive::MemberListing::of(list)->running(), 20000);
        QStringList names;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            names << list->topLevelItem(i)->text(0);
        QCOMPARE(names.size(), 2);
        QVERIFY2(names.first() == QStringLiteral("a.txt"),
                 qPrintable(names.join(QLatin1Char(','))));
        QVERIFY2(names.last().endsWith(QStringLiteral("b.txt")), qPrintable(names.last()));
    }

    void aFolderStillOpensWithNothingSelected()
    {
        GuiRun run;
        run.write(QStringLiteral("a.txt"), QByteArray("a"));
        run.start({run.browse.path()});
        QCOMPARE(run.window()->folderTree()->path(), run.browse.path());
        QVERIFY(run.window()->fileList()->fileName().isEmpty());
        QVERIFY(run.window()->hiddenValue(QStringLiteral("Label14")).isEmpty());
    }
};

QTEST_MAIN(OpenFileTest)
#include "tst_open_file.moc"
