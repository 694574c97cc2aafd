// ZIP archives from the compression dialog: the new button and name-encoding choice after the
// old controls, the command line for each encoding, the choice kept in exp.ini in a section of
// its own, and archives made through the whole program with the real library, read back with
// Python's zipfile.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "GuiRun.h"
#include "RecordingPrompts.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/MainWindow.h"
#include "archive/CompressDialog.h"
#include "archive/ResultWindow.h"
#include "base/Cp932.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using archive::Family;

namespace
{
// The objectNames of the dialog's widgets that take the Tab key, in the order Tab visits them.
QStringList tabOrder(QWidget* dialog, QWidget* first)
{
    QStringList out;
    QWidget* w = first;
    do {
        if (w->isWindow() == false && (w->focusPolicy() & Qt::TabFocus) && dialog->isAncestorOf(w))
            out << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != first);
    return out;
}

// Python's zipfile on the archive: each member as "FLAG NAME", the name read as UTF-8 when the
// flag is set and as CP932 when it is not.
QStringList zipMembers(const QString& archive)
{
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, zipfile\n"
                        "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                        "    f = bool(i.flag_bits & 0x800)\n"
                        "    n = i.filename if f else i.filename.encode('cp437').decode('cp932')\n"
                        "    sys.stdout.buffer.write((('utf8 ' if f else 'plain ') + n + "
                        "'\\n').encode())\n"),
         archive});
    python.waitForFinished(60000);
    QStringList out =
        QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    out.sort();
    return out;
}
} // namespace

class CompressZipTest : public QObject
{
    Q_OBJECT

    // The dialog alone, with the library calls recorded.
    struct DialogRun {
        QTemporaryDir work;
        QTemporaryDir target;
        QWidget window;
        RecordingPrompts prompts;
        RecordingRunner runner;
        bool cp932 = false;
        QList<bool> kept;
        QPointer<archive::CompressDialog> dialog;

        explicit DialogRun(bool startWithCp932) : cp932(startWithCp932)
        {
            archive::Services services;
            services.prompts = &prompts;
            services.archiver = &runner;
            services.mainWindow = &window;
            services.workFolder = [this]() -> QString { return work.path() + QLatin1Char('/'); };
            services.zipNamesInCp932 = [this] { return cp932; };
            services.keepZipNamesInCp932 = [this](bool value) { kept << value; };
            dialog = new archive::CompressDialog(services, &window);
            dialog->show();
        }
        ~DialogRun()
        {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<archive::ResultWindow*>(w))
                    delete w;
            }
            delete dialog.data();
        }
        QString staging() const { return work.path() + QStringLiteral("/compress/"); }
    };

    // The whole program with the real libraries copied into its program folder.
    struct ProgramRun : GuiRun {
        ProgramRun()
        {
            const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
            for (const char* lib : {"libunlha32.so", "libunzip32.so", "libcab32.so"})
                QFile::copy(bin + QLatin1Char('/') + QLatin1String(lib),
                            folder.path() + QLatin1Char('/') + QLatin1String(lib));
        }
        archive::CompressDialog* open()
        {
            window()->menuAction(QStringLiteral("assyuku"))->trigger();
            return program->archiveWork()->compressDialog();
        }
        // Drops the files, answers the save dialog with the archive and presses "ZIPで圧縮";
        // the report window that follows is read and closed.
        QString compress(archive::CompressDialog* dialog, const QStringList& files,
                         const QString& archive)
        {
            dialog->addDropped(files);
            prompts.answerText(archive);
            dialog->button(9)->click();
            archive::ResultWindow* shown = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* r = qobject_cast<archive::ResultWindow*>(w); r && r->isVisible())
                    shown = r;
            }
            if (!shown)
                return QString();
            const QString report = shown->reportText();
            shown->close();
            return report;
        }
    };

private Q_SLOTS:
    void newControlsComeAfterTheOldOnes()
    {
        DialogRun run(false);
        archive::CompressDialog* d = run.dialog;
        const QStringList old = {QStringLiteral("LZHで圧縮"),
                                 QStringLiteral("閉じる"),
                                 QStringLiteral("選択した物を削除"),
                                 QStringLiteral("自己解凍式書庫の作成(LZH)"),
                                 QStringLiteral("初期化"),
                                 QStringLiteral("CABで圧縮"),
                                 QStringLiteral("自己解凍式書庫の作成(CAB)"),
                                 QStringLiteral("ファイルを追加(&A)...")};
        for (int i = 0; i < old.size(); ++i)
            QCOMPARE(d->findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1))->text(),
                     old.at(i));
        QCOMPARE(d->button(9)->objectName(), QStringLiteral("Command9"));
        QCOMPARE(d->button(9)->text(), QStringLiteral("ZIPで圧縮"));
        auto* label = d->findChild<QLabel*>(QStringLiteral("Label2"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("ファイル名の文字コード(&N):"));
        QComboBox* combo = d->zipNameEncoding();
        QCOMPARE(combo->objectName(), QStringLiteral("Combo1"));
        QCOMPARE(label->buddy(), combo);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("UTF-8（標準）"));
        QCOMPARE(combo->itemText(1), QStringLiteral("Shift_JIS（古いWindows向け）"));
        QCOMPARE(combo->currentIndex(), 0);

        QStringList expected = {QStringLiteral("List1")};
        for (int i = 1; i <= 9; ++i)
            expected << QStringLiteral("Command%1").arg(i);
        expected << QStringLiteral("Combo1");
        QCOMPARE(tabOrder(d, d->list()), expected);
        // The new row sits below every old button.
        for (int i = 1; i <= 8; ++i)
            QVERIFY(d->button(i)->geometry().bottom() < d->button(9)->geometry().top());
    }

    void zipLineFollowsTheChosenEncoding()
    {
        for (const bool cp932 : {false, true}) {
            DialogRun run(cp932);
            QCOMPARE(run.dialog->zipNameEncoding()->currentIndex(), cp932 ? 1 : 0);
            const QString file = run.target.path() + QStringLiteral("/my -pack");
            run.prompts.answerText(file);
            run.runner.reports.enqueue(QStringLiteral("zip report"));
            run.dialog->button(9)->click();
            QCOMPARE(run.runner.calls.size(), 1);
            QCOMPARE(run.runner.calls.first().family, Family::Zip);
            QCOMPARE(run.runner.calls.first().line,
                     QStringLiteral("-a -r %1 \"%2.zip\" \"%3\" *.*")
                         .arg(cp932 ? QStringLiteral("-cp932") : QStringLiteral("-utf8"), file,
                              run.staging()));
            QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("save"));
            archive::ResultWindow* shown = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* r = qobject_cast<archive::ResultWindow*>(w); r && r->isVisible())
                    shown = r;
            }
            QVERIFY(shown);
            QCOMPARE(shown->reportText(), QStringLiteral("zip report"));
            QTRY_VERIFY(!run.dialog);
            QVERIFY(run.kept.isEmpty());
        }
    }

    void choosingAnEncodingKeepsItAndACancelSendsNothing()
    {
        DialogRun run(false);
        QComboBox* combo = run.dialog->zipNameEncoding();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentIndex(), 1);
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(run.kept, (QList<bool>{true, false}));
        run.prompts.answerText(QString());
        run.dialog->button(9)->click();
        QVERIFY(run.runner.calls.isEmpty());
        QVERIFY(run.dialog && run.dialog->isVisible());
    }

    // A settings file written on Windows, without the section, gives UTF-8; a choice adds the
    // section and leaves every other byte alone; archives follow the choice.
    void choiceIsKeptInItsOwnSectionAndArchivesFollowIt()
    {
        ProgramRun run;
        QByteArray windowsIni;
        for (const QString& line :
             {QStringLiteral("[yokutukau]"), QStringLiteral("folder=C:\\データ"),
              QStringLiteral("[pre]"), QStringLiteral("zip=0"), QStringLiteral("[pre2]"),
              QStringLiteral("arc=0")}) {
            QByteArray bytes;
            QVERIFY(platform::toCp932(line, bytes));
            windowsIni += bytes + "\r\n";
        }
        run.folder.writeIni(windowsIni);
        run.start({run.browse.path()});
        archive::CompressDialog* dialog = run.open();
        QVERIFY(dialog);
        QCOMPARE(dialog->zipNameEncoding()->currentIndex(), 0);
        QCOMPARE(run.folder.readIni(), windowsIni);

        dialog->zipNameEncoding()->setFocus();
        QTest::keyClick(dialog->zipNameEncoding(), Qt::Key_Down);
        QCOMPARE(run.folder.readIni(), windowsIni + "[zip]\r\nencoding=cp932\r\n");

        QVERIFY(QDir().mkpath(run.browsed(QStringLiteral("日本語フォルダ"))));
        const QString a = run.write(QStringLiteral("日本語フォルダ/テスト 1.txt"), "one\n");
        const QString b = run.write(QStringLiteral("-表.txt"), "two\n");
        const QString archive = run.browsed(QStringLiteral("shift.zip"));
        QString report =
            run.compress(dialog, {run.browsed(QStringLiteral("日本語フォルダ")), b}, archive);
        QVERIFY2(report.contains(QStringLiteral("Frozen  日本語フォルダ/テスト 1.txt")),
                 qPrintable(report));
        QCOMPARE(
            zipMembers(archive),
            (QStringList{QStringLiteral("plain -表.txt"), QStringLiteral("plain 日本語フォルダ/"),
                         QStringLiteral("plain 日本語フォルダ/テスト 1.txt")}));
        QTRY_VERIFY(!run.program->archiveWork()->compressDialog());

        // Opened again, the dialog shows the kept choice; a name Shift_JIS cannot hold is refused
        // with the report's words and the failure's message, and no archive is made.
        dialog = run.open();
        QCOMPARE(dialog->zipNameEncoding()->currentIndex(), 1);
        const QString emoji = run.write(QStringLiteral("絵文字😀.txt"), "emoji\n");
        const QString refused = run.browsed(QStringLiteral("refused.zip"));
        run.prompts.expectMessages(1);
        report = run.compress(dialog, {emoji}, refused);
        QVERIFY2(report.contains(QStringLiteral(
                     "「絵文字😀.txt」は Shift_JIS (CP932) で表せない文字を含むため格納できません")),
                 qPrintable(report));
        QVERIFY(!QFileInfo::exists(refused));
        QVERIFY(run.prompts.shown().last().text.contains(QStringLiteral("を作れませんでした。")));
        QTRY_VERIFY(!run.program->archiveWork()->compressDialog());

        // Back to UTF-8: the same name is stored with the flag.
        dialog = run.open();
        dialog->zipNameEncoding()->setFocus();
        QTest::keyClick(dialog->zipNameEncoding(), Qt::Key_Up);
        QVERIFY(run.folder.readIni().endsWith("[zip]\r\nencoding=utf-8\r\n"));
        QVERIFY(run.folder.readIni().startsWith(windowsIni));
        const QString utf8 = run.browsed(QStringLiteral("utf8.zip"));
        report = run.compress(dialog, {emoji, a}, utf8);
        QCOMPARE(zipMembers(utf8), (QStringList{QStringLiteral("utf8 テスト 1.txt"),
                                                QStringLiteral("utf8 絵文字😀.txt")}));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(CompressZipTest)
#include "tst_compress_zip.moc"
