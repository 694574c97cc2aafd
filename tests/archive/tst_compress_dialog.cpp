// The compression dialog and the menu-entry dialog on real widgets: drops staged in the
// staging folder, every command line sent to the libraries, the cancel paths and the
// directive file, with the prompts and the library calls recorded.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "RecordingPrompts.h"

#include "archive/CompressDialog.h"
#include "archive/MenuEntryDialog.h"
#include "archive/ResultWindow.h"
#include "archive/Staging.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

using archive::Family;

namespace
{
void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
} // namespace

class CompressDialogTest : public QObject
{
    Q_OBJECT

    struct Run {
        QTemporaryDir work;    // the instance's work folder
        QTemporaryDir sources; // where the dropped files come from
        QTemporaryDir target;  // where archives are saved
        QWidget window;
        RecordingPrompts prompts;
        RecordingRunner runner;
        ModalDriver driver;
        QStringList modalReports;
        QPointer<archive::CompressDialog> dialog;

        Run()
        {
            archive::Services services;
            services.prompts = &prompts;
            services.archiver = &runner;
            services.mainWindow = &window;
            services.workFolder = [this] { return workSlash(); };
            dialog = new archive::CompressDialog(services, &window);
            dialog->show();
            driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
                auto* r = qobject_cast<archive::ResultWindow*>(w);
                modalReports << r->reportText();
                r->closeButton()->click();
            });
            driver.start();
        }
        ~Run()
        {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<archive::ResultWindow*>(w))
                    delete w;
            }
            delete dialog.data();
        }
        QString workSlash() const { return work.path() + QLatin1Char('/'); }
        QString staging() const { return workSlash() + QStringLiteral("compress/"); }
        QString source(const QString& name) const
        {
            return sources.path() + QLatin1Char('/') + name;
        }
        QStringList lines() const
        {
            QStringList out;
            for (const auto& c : runner.calls)
                out << c.line;
            return out;
        }
        void click(int number) const { dialog->button(number)->click(); }
        // Three sources: a Japanese name, a folder with a subfolder, a 0-byte file.
        QStringList threeSources() const
        {
            writeFile(source(QStringLiteral("日本語 メモ.txt")), "こんにちは\n");
            writeFile(source(QStringLiteral("写真 dir/sub/a.bin")), QByteArray(3000, 'x'));
            writeFile(source(QStringLiteral("写真 dir/b.txt")), "b\n");
            writeFile(source(QStringLiteral("empty.dat")), QByteArray());
            return {source(QStringLiteral("日本語 メモ.txt")), source(QStringLiteral("写真 dir")),
                    source(QStringLiteral("empty.dat"))};
        }
    };

private Q_SLOTS:
    void namesAndCaptions()
    {
        Run run;
        QCOMPARE(run.dialog->objectName(), QStringLiteral("Form7"));
        QCOMPARE(run.dialog->windowTitle(), QStringLiteral("ファイルの圧縮"));
        QVERIFY(!run.dialog->isModal());
        auto* label = run.dialog->findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(label);
        QCOMPARE(label->text(),
                 QStringLiteral(
                     "圧縮したいファイルをリストボックスにドラッグアンドドロップしてください。"));
        QVERIFY(run.dialog->findChild<QListWidget*>(QStringLiteral("List1")));
        const QStringList captions{QStringLiteral("LZHで圧縮"),
                                   QStringLiteral("閉じる"),
                                   QStringLiteral("選択した物を削除"),
                                   QStringLiteral("自己解凍式書庫の作成(LZH)"),
                                   QStringLiteral("初期化"),
                                   QStringLiteral("CABで圧縮"),
                                   QStringLiteral("自己解凍式書庫の作成(CAB)")};
        for (int i = 0; i < captions.size(); ++i) {
            auto* b = run.dialog->findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1));
            QVERIFY(b);
            QCOMPARE(b->text(), captions.at(i));
        }
    }

    void stagingAfterOpenDropsRemoveStartOverAndClose()
    {
        QTemporaryDir work;
        // Left over from an earlier run: opening empties the staging folder.
        writeFile(work.path() + QStringLiteral("/compress/stale.txt"), "old");
        writeFile(work.path() + QStringLiteral("/extracted.txt"), "kept");
        RecordingPrompts prompts;
        archive::Services services;
        services.prompts = &prompts;
        services.workFolder = [&work]() -> QString { return work.path() + QLatin1Char('/'); };
        auto* dialog = new archive::CompressDialog(services);
        QVERIFY(filesBelow(work.path() + QStringLiteral("/compress")).isEmpty());
        QVERIFY(QFileInfo(work.path() + QStringLiteral("/compress")).isDir());

        QTemporaryDir src;
        writeFile(src.path() + QStringLiteral("/z.txt"), "zz");
        writeFile(src.path() + QStringLiteral("/a.txt"), "aa");
        writeFile(src.path() + QStringLiteral("/tree/deep/x.txt"), "x");
        writeFile(src.path() + QStringLiteral("/tree/y.txt"), QByteArray());
        dialog->addDropped({src.path() + QStringLiteral("/z.txt"),
                            src.path() + QStringLiteral("/tree/"),
                            src.path() + QStringLiteral("/a.txt")});
        QCOMPARE(entries(dialog->list()),
                 (QStringList{QStringLiteral("z.txt"), QStringLiteral("tree"),
                              QStringLiteral("a.txt")}));
        const QMap<QString, QByteArray> staged = filesBelow(dialog->stagingFolder());
        QCOMPARE(staged.keys(),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("tree/deep/x.txt"),
                              QStringLiteral("tree/y.txt"), QStringLiteral("z.txt")}));
        QCOMPARE(staged.value(QStringLiteral("tree/deep/x.txt")), QByteArray("x"));
        // Times are kept.
        QCOMPARE(QFileInfo(dialog->stagingFolder() + QStringLiteral("z.txt")).lastModified(),
                 QFileInfo(src.path() + QStringLiteral("/z.txt")).lastModified());

        // "選択した物を削除" removes the folder entry and its whole staged tree.
        dialog->list()->setCurrentRow(1);
        dialog->button(3)->click();
        QCOMPARE(entries(dialog->list()),
                 (QStringList{QStringLiteral("z.txt"), QStringLiteral("a.txt")}));
        QCOMPARE(filesBelow(dialog->stagingFolder()).keys(),
                 (QStringList{QStringLiteral("a.txt"), QStringLiteral("z.txt")}));
        // Nothing selected: nothing removed.
        dialog->list()->clearSelection();
        dialog->button(3)->click();
        QCOMPARE(dialog->list()->count(), 2);

        dialog->button(5)->click();
        QCOMPARE(dialog->list()->count(), 0);
        QVERIFY(QDir(dialog->stagingFolder()).isEmpty());

        dialog->addDropped({src.path() + QStringLiteral("/a.txt")});
        QCOMPARE(filesBelow(dialog->stagingFolder()).size(), 1);
        QPointer<archive::CompressDialog> guard(dialog);
        dialog->button(2)->click();
        QTRY_VERIFY(!guard);
        QVERIFY(!QFileInfo::exists(work.path() + QStringLiteral("/compress")));
        // The rest of the work folder is not the dialog's to empty.
        QVERIFY(QFileInfo(work.path() + QStringLiteral("/extracted.txt")).isFile());
        QCOMPARE(prompts.shown().size(), 0);
    }

    void realDropOnTheList()
    {
        Run run;
        writeFile(run.source(QStringLiteral("dropped one.txt")), "1");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(run.source(QStringLiteral("dropped one.txt")))});
        QWidget* viewport = run.dialog->list()->viewport();
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(entries(run.dialog->list()), QStringList{QStringLiteral("dropped one.txt")});
        QCOMPARE(filesBelow(run.staging()).value(QStringLiteral("dropped one.txt")),
                 QByteArray("1"));
    }

    void sameNameAsksBeforeReplacing()
    {
        Run run;
        writeFile(run.source(QStringLiteral("one/notes.txt")), "first");
        writeFile(run.source(QStringLiteral("two/notes.txt")), "second");
        run.dialog->addDropped({run.source(QStringLiteral("one/notes.txt"))});
        run.prompts.answerMessage(platform::Prompts::No);
        run.dialog->addDropped({run.source(QStringLiteral("two/notes.txt"))});
        QCOMPARE(run.prompts.shown().size(), 1);
        const RecordingPrompts::Box box = run.prompts.shown().first();
        QCOMPARE(box.text,
                 QStringLiteral("「notes.txt」は既にリストにあります。\n%1 で置き換えますか？")
                     .arg(run.source(QStringLiteral("two/notes.txt"))));
        QCOMPARE(box.title, QStringLiteral("確認"));
        QCOMPARE(box.buttons, int(platform::Prompts::YesNo));
        QCOMPARE(box.icon, int(platform::Prompts::Question));
        QCOMPARE(entries(run.dialog->list()), QStringList{QStringLiteral("notes.txt")});
        QCOMPARE(filesBelow(run.staging()).value(QStringLiteral("notes.txt")), QByteArray("first"));

        // Yes: still one entry, now with the second file's content; within one drop too.
        writeFile(run.source(QStringLiteral("other.txt")), "o");
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.dialog->addDropped(
            {run.source(QStringLiteral("other.txt")), run.source(QStringLiteral("two/notes.txt"))});
        QCOMPARE(entries(run.dialog->list()),
                 (QStringList{QStringLiteral("notes.txt"), QStringLiteral("other.txt")}));
        QCOMPARE(filesBelow(run.staging()),
                 (QMap<QString, QByteArray>{{QStringLiteral("notes.txt"), "second"},
                                            {QStringLiteral("other.txt"), "o"}}));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void failedCopiesAreReportedAndNotListed()
    {
        Run run;
        writeFile(run.source(QStringLiteral("good.txt")), "g");
        const QString fifo = run.source(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        writeFile(run.source(QStringLiteral("with link/real.txt")), "r");
        QVERIFY(QFile::link(run.source(QStringLiteral("good.txt")),
                            run.source(QStringLiteral("with link/link.txt"))));
        run.prompts.expectMessages(1);
        run.dialog->addDropped({run.source(QStringLiteral("missing.txt")), fifo,
                                run.source(QStringLiteral("good.txt")),
                                run.source(QStringLiteral("with link"))});
        QCOMPARE(entries(run.dialog->list()),
                 (QStringList{QStringLiteral("good.txt"), QStringLiteral("with link")}));
        QCOMPARE(filesBelow(run.staging()).keys(),
                 (QStringList{QStringLiteral("good.txt"), QStringLiteral("with link/real.txt")}));
        QCOMPARE(run.prompts.shown().size(), 1);
        const QString text = run.prompts.shown().first().text;
        QVERIFY2(text.contains(run.source(QStringLiteral("missing.txt"))), qPrintable(text));
        QVERIFY2(text.contains(fifo + QStringLiteral(": ")), qPrintable(text));
        QVERIFY2(text.contains(run.source(QStringLiteral("with link/link.txt"))), qPrintable(text));
        QVERIFY(!text.contains(run.source(QStringLiteral("good.txt")) + QLatin1Char(':')));
        // No half copies are left in the staging folder.
        QCOMPARE(QDir(run.staging())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 2);
    }

    void copiesNeverLoseTheEarlierCopy()
    {
        QTemporaryDir staging;
        QTemporaryDir src;
        writeFile(staging.path() + QStringLiteral("/keep.txt"), "earlier");
        writeFile(src.path() + QStringLiteral("/dir/inner.txt"), "inner");
        // The replacement cannot be read: the earlier copy stays as it was.
        archive::StagingCopy failing(staging.path(), {{src.path() + QStringLiteral("/gone.txt"),
                                                       QStringLiteral("keep.txt")}});
        failing.run();
        QCOMPARE(failing.outcomes().size(), 1);
        QVERIFY(!failing.outcomes().first().copied);
        QVERIFY(!failing.outcomes().first().error.isEmpty());
        QCOMPARE(filesBelow(staging.path()),
                 (QMap<QString, QByteArray>{{QStringLiteral("keep.txt"), "earlier"}}));
        // A folder replaces a file of the same name, and the byte count adds up.
        archive::StagingCopy folder(
            staging.path(), {{src.path() + QStringLiteral("/dir"), QStringLiteral("keep.txt")}});
        folder.run();
        QVERIFY(folder.outcomes().first().copied);
        QCOMPARE(folder.total.load(), qint64(5));
        QCOMPARE(folder.done.load(), qint64(5));
        QCOMPARE(filesBelow(staging.path()),
                 (QMap<QString, QByteArray>{{QStringLiteral("keep.txt/inner.txt"), "inner"}}));
        // Cancelled before it starts: nothing is copied and nothing is left half-done.
        archive::StagingCopy cancelled(
            staging.path(), {{src.path() + QStringLiteral("/dir"), QStringLiteral("new")}});
        cancelled.cancel = true;
        cancelled.run();
        QVERIFY(cancelled.cancelled());
        QVERIFY(cancelled.outcomes().isEmpty());
        QCOMPARE(
            QDir(staging.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("keep.txt")});
    }

    void lzhAndCabCommandLines()
    {
        {
            Run run;
            run.dialog->addDropped(run.threeSources());
            const QString file = run.target.path() + QStringLiteral("/my pack.lzh");
            run.prompts.answerText(file);
            run.runner.reports.enqueue(QStringLiteral("Frozen  empty.dat"));
            run.click(1);
            QCOMPARE(run.lines(),
                     QStringList{QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1\" \"%2\" \"*.*\" ")
                                     .arg(file, run.staging())});
            QCOMPARE(run.runner.calls.first().family, Family::Lzh);
            QCOMPARE(run.runner.calls.first().bufferSize, 2048);
            QCOMPARE(run.runner.calls.first().owner, quintptr(run.window.winId()));
            QCOMPARE(run.modalReports, QStringList{QStringLiteral("Frozen  empty.dat")});
            QTRY_VERIFY(!run.dialog);
            QVERIFY(!QFileInfo::exists(run.staging()));
        }
        {
            Run run;
            run.dialog->addDropped(run.threeSources());
            const QString file = run.target.path() + QStringLiteral("/my pack.cab");
            run.prompts.answerText(file);
            run.runner.reports.enqueue(QStringLiteral("cab report"));
            run.click(6);
            QCOMPARE(
                run.lines(),
                QStringList{QStringLiteral("-a -r \"%1\" \"%2\" *.*").arg(file, run.staging())});
            QCOMPARE(run.runner.calls.first().family, Family::Cab);
            QVERIFY(run.modalReports.isEmpty());
            archive::ResultWindow* shown = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* r = qobject_cast<archive::ResultWindow*>(w); r && r->isVisible())
                    shown = r;
            }
            QVERIFY(shown);
            QVERIFY(!shown->isModal());
            QCOMPARE(shown->reportText(), QStringLiteral("cab report"));
            QTRY_VERIFY(!run.dialog);
        }
    }

    // A name typed without the archive's extension gets it; one that has it (any case) is kept.
    void archiveNamesGetTheirExtension()
    {
        const struct {
            int button;
            const char* typed;
            const char* made;
        } cases[] = {{1, "圧縮テスト", "圧縮テスト.lzh"},
                     {1, "Pack.LZH", "Pack.LZH"},
                     {1, "notes.txt", "notes.txt.lzh"},
                     {6, "-cab", "-cab.cab"}};
        for (const auto& c : cases) {
            Run run;
            run.dialog->addDropped(run.threeSources());
            const QString folder = run.target.path() + QLatin1Char('/');
            run.prompts.answerText(folder + QString::fromUtf8(c.typed));
            run.runner.reports.enqueue(QStringLiteral("report"));
            run.click(c.button);
            QCOMPARE(run.lines().size(), 1);
            const QString made = QLatin1Char('"') + folder + QString::fromUtf8(c.made) + u'"';
            QVERIFY2(run.lines().first().contains(made), qPrintable(run.lines().first()));
        }
    }

    void emptyListStillRunsTheLibrary()
    {
        Run run;
        run.prompts.answerText(run.target.path() + QStringLiteral("/e.lzh"));
        run.runner.reports.enqueue(QStringLiteral("nothing to do"));
        run.click(1);
        QCOMPARE(run.runner.calls.size(), 1);
        QCOMPARE(run.modalReports, QStringList{QStringLiteral("nothing to do")});
    }

    void cancelsLeaveListAndStagingAlone()
    {
        Run run;
        run.dialog->addDropped(run.threeSources());
        const QMap<QString, QByteArray> before = filesBelow(run.staging());
        QCOMPARE(before.size(), 4);
        const auto unchanged = [&] {
            QCOMPARE(run.dialog->list()->count(), 3);
            QCOMPARE(filesBelow(run.staging()), before);
            QVERIFY(run.dialog->isVisible());
        };
        run.prompts.answerText(QString());
        run.click(1);
        run.prompts.answerText(QString());
        run.click(6);
        QVERIFY(run.runner.calls.isEmpty());
        unchanged();
        // Self-extracting LZH: no to the question, then no name.
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerText(QString());
        run.click(4);
        QVERIFY(run.runner.calls.isEmpty());
        // A name, but no folder: the intermediate archive is packed and removed again.
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerText(QStringLiteral("app"));
        run.prompts.answerText(QString());
        run.runner.effect = [&run](const RecordingRunner::Call&) {
            writeFile(run.workSlash() + QStringLiteral("app.lzh"), "lzh");
        };
        run.click(4);
        QCOMPARE(run.runner.calls.size(), 1);
        QVERIFY(!QFileInfo::exists(run.workSlash() + QStringLiteral("app.lzh")));
        unchanged();
        // Self-extracting CAB: no name, then a name and no folder.
        run.runner.effect = nullptr;
        run.prompts.answerText(QString());
        run.click(7);
        run.prompts.answerText(QStringLiteral("app"));
        run.prompts.answerText(QString());
        run.click(7);
        QCOMPARE(run.runner.calls.size(), 2);
        unchanged();
        // A name that would leave the work folder is refused.
        run.prompts.answerText(QStringLiteral("../escape"));
        run.prompts.expectMessages(1);
        run.click(7);
        QCOMPARE(run.runner.calls.size(), 2);
        unchanged();
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void selfExtractingLzh()
    {
        Run run;
        run.dialog->addDropped(run.threeSources());
        run.prompts.answerMessage(platform::Prompts::No);
        run.prompts.answerText(QStringLiteral("my app"));
        run.prompts.answerText(run.target.path());
        run.runner.reports.enqueue(QStringLiteral("packed"));
        run.runner.reports.enqueue(QStringLiteral("made my app.run"));
        run.click(4);
        const QString intermediate = run.workSlash() + QStringLiteral("my app.lzh");
        QCOMPARE(
            run.lines(),
            (QStringList{
                QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1\" \"%2\" \"*.*\" ")
                    .arg(intermediate, run.staging()),
                QStringLiteral("s -gw3 \"%1\" \"%2/\"").arg(intermediate, run.target.path())}));
        QVERIFY(!intermediate.startsWith(run.staging()));
        const QList<RecordingPrompts::Box> boxes = run.prompts.shown();
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes.at(0).text, QStringLiteral("詳細設定しますか？"));
        QCOMPARE(boxes.at(0).title, QStringLiteral("確認"));
        QCOMPARE(boxes.at(0).buttons, int(platform::Prompts::YesNo));
        QCOMPARE(boxes.at(0).icon, int(platform::Prompts::Question));
        QCOMPARE(boxes.at(1).kind, QStringLiteral("input"));
        QCOMPARE(boxes.at(1).text, QStringLiteral("ファイル名を入力してください"));
        QCOMPARE(boxes.at(1).title, QStringLiteral("ファイル名の入力"));
        QCOMPARE(boxes.at(2).kind, QStringLiteral("folder"));
        QCOMPARE(boxes.at(2).text, QStringLiteral("ファイルを保存するﾌｫﾙﾀﾞを選択してください"));
        QCOMPARE(run.modalReports, QStringList{QStringLiteral("made my app.run")});
        QTRY_VERIFY(!run.dialog);
    }

    void selfExtractingCab()
    {
        Run run;
        run.dialog->addDropped(run.threeSources());
        run.prompts.answerText(QStringLiteral("cab app"));
        run.prompts.answerText(run.target.path());
        run.click(7);
        const QString intermediate = run.workSlash() + QStringLiteral("cab app.cab");
        QCOMPARE(run.lines(),
                 (QStringList{
                     QStringLiteral("-a -r \"%1\" \"%2\" *.*").arg(intermediate, run.staging()),
                     QStringLiteral("-f \"%1\" \"%2/\"").arg(intermediate, run.target.path())}));
        for (const auto& c : run.runner.calls)
            QCOMPARE(c.family, Family::Cab);
        // A success shows no report.
        QVERIFY(run.modalReports.isEmpty());
        QTRY_VERIFY(!run.dialog);
    }

    void menuEntryDialogWritesTheDirective()
    {
        Run run;
        run.dialog->addDropped(run.threeSources());
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.click(4);
        archive::MenuEntryDialog* form = run.dialog->menuEntryDialog();
        QVERIFY(form);
        QCOMPARE(form->objectName(), QStringLiteral("Form12"));
        QCOMPARE(form->windowTitle(), QStringLiteral("スタートメニューへの登録"));
        QVERIFY(form->isVisible());
        QVERIFY(!form->isModal());
        QCOMPARE(form->check()->objectName(), QStringLiteral("Check1"));
        QCOMPARE(form->check()->text(), QStringLiteral("スタートメニューに登録する。"));
        form->check()->setChecked(true);
        const QStringList values{QStringLiteral("メモ帳を登録しますか"),
                                 QStringLiteral("便利 ツール"), QStringLiteral("メモ"),
                                 QStringLiteral("bin/memo")};
        // Each empty box in turn gives the missing-field message, and nothing is written.
        for (int empty = 0; empty < 4; ++empty) {
            for (int i = 0; i < 4; ++i)
                form->text(i)->setText(i == empty ? QString() : values.at(i));
            run.prompts.clear();
            run.prompts.expectMessages(1);
            form->okButton()->click();
            QCOMPARE(run.prompts.shown().size(), 1);
            QCOMPARE(run.prompts.shown().first().text,
                     QStringLiteral("記入漏れがあります。すべての項目をうめてください。"));
            QCOMPARE(run.prompts.shown().first().buttons, int(platform::Prompts::OkOnly));
            QVERIFY(run.runner.calls.isEmpty());
            QVERIFY(!QFileInfo::exists(run.staging() + QStringLiteral("$")));
            QVERIFY(form->isVisible());
        }
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form->text(i)->objectName(), QStringLiteral("Text1(%1)").arg(i));
            form->text(i)->setText(values.at(i));
        }
        QByteArray directive;
        QStringList stagedAtPacking;
        run.runner.effect = [&](const RecordingRunner::Call& call) {
            if (!call.line.startsWith(QLatin1Char('u')))
                return;
            QFile file(run.staging() + QStringLiteral("$"));
            if (file.open(QIODevice::ReadOnly))
                directive = file.readAll();
            stagedAtPacking = filesBelow(run.staging()).keys();
        };
        run.prompts.clear();
        run.prompts.answerText(QStringLiteral("ツール"));
        run.prompts.answerText(run.target.path());
        form->okButton()->click();
        QCOMPARE(directive, QStringLiteral("$GroupTitle=メモ帳を登録しますか\r\n"
                                           "$Group=便利 ツール,メモ,bin/memo,")
                                .toUtf8());
        QVERIFY(stagedAtPacking.contains(QStringLiteral("$")));
        const QString intermediate = run.workSlash() + QStringLiteral("ツール.lzh");
        QCOMPARE(
            run.lines(),
            (QStringList{
                QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1\" \"/\" \"%2*.*\" ")
                    .arg(intermediate, run.staging()),
                QStringLiteral("s -gw3 \"%1\" \"%2/\"").arg(intermediate, run.target.path())}));
        QCOMPARE(run.prompts.shown().at(1).text,
                 QStringLiteral("ファイルを保存するﾌｫﾙﾀﾞを選択してください"));
        QCOMPARE(run.modalReports.size(), 1);
        QTRY_VERIFY(!run.dialog);
    }

    void menuEntryDialogWithoutTheCheckBox()
    {
        Run run;
        run.dialog->addDropped(run.threeSources());
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.click(4);
        archive::MenuEntryDialog* form = run.dialog->menuEntryDialog();
        QVERIFY(form);
        bool hiddenWhenAsked = false;
        run.runner.effect = [&](const RecordingRunner::Call&) {
            hiddenWhenAsked = !form->isVisible();
            QVERIFY(!QFileInfo::exists(run.staging() + QStringLiteral("$")));
        };
        // The name box is cancelled: nothing is packed and the compression dialog stays.
        run.prompts.answerText(QString());
        form->okButton()->click();
        QVERIFY(run.runner.calls.isEmpty());
        QVERIFY(run.dialog && run.dialog->isVisible());
        QCOMPARE(run.dialog->list()->count(), 3);

        run.prompts.answerMessage(platform::Prompts::Yes);
        run.click(4);
        form = run.dialog->menuEntryDialog();
        QVERIFY(form);
        run.prompts.answerText(QStringLiteral("plain"));
        run.prompts.answerText(run.target.path());
        form->okButton()->click();
        QVERIFY(hiddenWhenAsked);
        QCOMPARE(run.runner.calls.size(), 2);
        QTRY_VERIFY(!run.dialog);
    }
};

QTEST_MAIN(CompressDialogTest)
#include "tst_compress_dialog.moc"
