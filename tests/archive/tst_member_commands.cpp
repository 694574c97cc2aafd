// The member list's commands and mouse events on a real list widget, with the library calls,
// the prompts and the shell recorded.
#include "ArchiveTestDoubles.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"

#include "archive/ArchiveListEvents.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"
#include "archive/ResultWindow.h"

#include <QAction>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <memory>

using archive::Family;

class MemberCommandsTest : public QObject
{
    Q_OBJECT

    struct Run {
        QTemporaryDir root;    // the browsed folder
        QTemporaryDir program; // the program folder, with temp/
        QWidget window;
        QTreeWidget* list = nullptr;
        QMenu* popup = nullptr;
        QList<QAction*> lzhOnly;
        RecordingPrompts prompts;
        RecordingShell shell;
        RecordingRunner runner;
        FakeBrowser browser;
        bool dragOff = false;
        int relisted = 0;
        int backCleared = 0;
        std::unique_ptr<archive::Extraction> extraction;
        std::unique_ptr<archive::MemberCommands> members;
        std::unique_ptr<archive::ArchiveListEvents> events;
        ModalDriver driver;
        QStringList results;

        explicit Run(const QString& file, const QStringList& names = {})
        {
            browser.owner = &window;
            browser.folder = root.path();
            browser.selected = file;
            list = new QTreeWidget(&window);
            list->setSelectionMode(QAbstractItemView::ExtendedSelection);
            for (const QString& n : names)
                list->addTopLevelItem(new QTreeWidgetItem(QStringList{n}));
            popup = new QMenu(&window);
            for (const char* n : {"se", "syosaku", "tuika"}) {
                QAction* a = popup->addAction(QString::fromLatin1(n));
                a->setObjectName(QString::fromLatin1(n));
                lzhOnly << a;
            }
            archive::Services es;
            es.prompts = &prompts;
            es.shell = &shell;
            es.browser = &browser;
            es.archiver = &runner;
            es.askToShowExtracted = [] { return true; };
            extraction = std::make_unique<archive::Extraction>(es);
            archive::Services ms;
            ms.prompts = &prompts;
            ms.shell = &shell;
            ms.browser = &browser;
            ms.archiver = &runner;
            ms.extraction = extraction.get();
            ms.list = list;
            ms.relist = [this] { ++relisted; };
            members = std::make_unique<archive::MemberCommands>(ms);
            archive::Services ls;
            ls.prompts = &prompts;
            ls.shell = &shell;
            ls.browser = &browser;
            ls.archiver = &runner;
            ls.members = members.get();
            ls.list = list;
            ls.popup = popup;
            ls.lzhOnlyEntries = lzhOnly;
            ls.workFolder = [this] { return work(); };
            ls.deleteWorkFolder = [this] { QDir(work()).removeRecursively(); };
            ls.clearBackFolder = [this] { ++backCleared; };
            ls.dragAndDropOff = [this] { return dragOff; };
            ls.relist = [this] { ++relisted; };
            events = std::make_unique<archive::ArchiveListEvents>(ls);
            driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
                auto* r = qobject_cast<archive::ResultWindow*>(w);
                results << r->reportText();
                r->closeButton()->click();
            });
            driver.start();
        }
        QString work() const { return program.path() + QStringLiteral("/temp/"); }
        QString archivePath() const { return root.path() + QLatin1Char('/') + browser.selected; }
        void select(const QStringList& names) const
        {
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                list->topLevelItem(i)->setSelected(names.contains(list->topLevelItem(i)->text(0)));
        }
        // The folder the call at `index` extracted into: a new one inside the work folder.
        QString destination(int index = 0) const
        {
            const QString folder = quotedOperand(runner.calls.at(index).line, 1);
            if (!folder.startsWith(work()) || folder.size() <= work().size() ||
                !folder.endsWith(QLatin1Char('/')))
                qWarning() << "not a folder of its own inside the work folder:" << folder;
            return folder;
        }
        QStringList lines() const
        {
            QStringList out;
            for (const auto& c : runner.calls)
                out << c.line;
            return out;
        }
    };

private Q_SLOTS:
    void extractSelectedQuotesEveryName()
    {
        Run run(QStringLiteral("a.lzh"), {QStringLiteral("one.txt"), QStringLiteral("my doc.txt"),
                                          QStringLiteral("dir/three.txt")});
        run.select({QStringLiteral("my doc.txt"), QStringLiteral("dir/three.txt")});
        QTemporaryDir out;
        run.prompts.answerText(out.path());
        run.runner.reports.enqueue(QStringLiteral("Melted  my doc.txt"));
        run.members->extractSelected();
        QCOMPARE(run.prompts.shown().first().text,
                 QStringLiteral("解凍先ﾌｫﾙﾀﾞを選択してください。"));
        QCOMPARE(
            run.lines(),
            QStringList{QStringLiteral("e --exact \"%1\" \"%2/\" \"my doc.txt\" \"dir/three.txt\"")
                            .arg(run.archivePath(), out.path())});
        QCOMPARE(run.runner.calls.first().bufferSize, 2048);
        QCOMPARE(run.results, QStringList{QStringLiteral("Melted  my doc.txt")});
        QCOMPARE(run.members->memberFolder(), out.path() + QLatin1Char('/'));
        QCOMPARE(run.relisted, 0);
    }

    void extractSelectedZipCabAndNothingSelected()
    {
        Run zip(QStringLiteral("a.ZIP"), {QStringLiteral("x")});
        zip.prompts.answerText(QStringLiteral("/out"));
        zip.members->extractSelected();
        QCOMPARE(zip.runner.calls.first().family, Family::Zip);
        QCOMPARE(zip.lines().first(),
                 QStringLiteral("-x --exact \"%1\" \"/out/\" ").arg(zip.archivePath()));
        Run cab(QStringLiteral("a.cab"), {QStringLiteral("x")});
        cab.select({QStringLiteral("x")});
        cab.prompts.answerText(QStringLiteral("/out/"));
        cab.members->extractSelected();
        QCOMPARE(cab.lines().first(),
                 QStringLiteral("-x -r --exact \"%1\" \"/out/\" \"x\"").arg(cab.archivePath()));
    }

    void cancelledBrowseMakesNoCall()
    {
        Run run(QStringLiteral("a.lzh"), {QStringLiteral("x")});
        run.select({QStringLiteral("x")});
        run.prompts.answerText(QString());
        run.members->extractSelected();
        QVERIFY(run.runner.calls.isEmpty());
        QVERIFY(run.results.isEmpty());
    }

    void threeDeletesThreeCallsOneRelisting()
    {
        Run run(QStringLiteral("a.lzh"), {QStringLiteral("a"), QStringLiteral("b c"),
                                          QStringLiteral("d"), QStringLiteral("e")});
        run.select({QStringLiteral("a"), QStringLiteral("b c"), QStringLiteral("e")});
        run.members->remove();
        const QString a = run.archivePath();
        QCOMPARE(run.lines(), (QStringList{QStringLiteral("d -jyd --exact \"%1\" \"a\"").arg(a),
                                           QStringLiteral("d -jyd --exact \"%1\" \"b c\"").arg(a),
                                           QStringLiteral("d -jyd --exact \"%1\" \"e\"").arg(a)}));
        for (const auto& c : run.runner.calls) {
            QCOMPARE(c.bufferSize, 255);
            QCOMPARE(c.family, Family::Lzh);
        }
        QCOMPARE(run.relisted, 1);
        QVERIFY(run.results.isEmpty());
    }

    void addAChosenFile()
    {
        Run run(QStringLiteral("a.zip"));
        run.prompts.answerText(QStringLiteral("/home/u/new file.txt"));
        run.members->add();
        QCOMPARE(run.prompts.shown().first().kind, QStringLiteral("open"));
        // The LZH library is used whatever the archive's type.
        QCOMPARE(run.runner.calls.first().family, Family::Lzh);
        QCOMPARE(run.lines().first(),
                 QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1\" \"/\" \"/home/u/new file.txt\" ")
                     .arg(run.archivePath()));
        QCOMPARE(run.relisted, 1);

        Run cancelled(QStringLiteral("a.lzh"));
        cancelled.prompts.answerText(QString());
        cancelled.members->add();
        QVERIFY(cancelled.runner.calls.isEmpty());
        QCOMPARE(cancelled.relisted, 0);
    }

    void renameOnlyForLzh()
    {
        Run run(QStringLiteral("pack.lzh"), {QStringLiteral("old name.txt")});
        run.select({QStringLiteral("old name.txt")});
        run.runner.reports.enqueue(QStringLiteral("Renamed"));
        run.members->rename();
        QCOMPARE(run.lines(),
                 QStringList{QStringLiteral("n --exact \"%1\" \"pack.lzh\" \"old name.txt\"")
                                 .arg(run.archivePath())});
        QCOMPARE(run.results, QStringList{QStringLiteral("Renamed")});
        Run zip(QStringLiteral("pack.zip"), {QStringLiteral("x")});
        zip.select({QStringLiteral("x")});
        zip.members->rename();
        QVERIFY(zip.runner.calls.isEmpty());
        QVERIFY(zip.results.isEmpty());
    }

    void popupEntriesFollowTheType()
    {
        Run zip(QStringLiteral("a.zip"));
        zip.events->mouseUp(Qt::RightButton, QPoint(10, 10));
        for (QAction* a : zip.lzhOnly)
            QVERIFY(!a->isVisible());
        QVERIFY(zip.popup->isVisible());
        zip.popup->hide();
        zip.browser.selected = QStringLiteral("b.LZH");
        zip.events->mouseUp(Qt::RightButton, QPoint(10, 10));
        for (QAction* a : zip.lzhOnly)
            QVERIFY(a->isVisible());
        zip.popup->hide();
        zip.events->mouseUp(Qt::LeftButton, QPoint(10, 10));
        QVERIFY(!zip.popup->isVisible());
        zip.browser.selected = QStringLiteral("c.txt");
        zip.events->mouseUp(Qt::RightButton, QPoint(10, 10));
        QVERIFY(!zip.popup->isVisible());
    }

    void doubleClickOpensTheBaseName()
    {
        Run run(QStringLiteral("a.zip"), {QStringLiteral("docs/read me.txt")});
        QDir().mkpath(run.work() + QStringLiteral("stale"));
        run.events->openMember(QStringLiteral("docs/read me.txt"));
        QCOMPARE(run.backCleared, 1);
        QVERIFY(QFileInfo(run.work()).isDir());
        QVERIFY(!QFileInfo(run.work() + QStringLiteral("stale")).exists());
        const QString out = run.destination();
        QVERIFY2(out.startsWith(run.work()) && out != run.work(), qPrintable(out));
        QVERIFY(QFileInfo(out).isDir());
        QCOMPARE(run.lines(),
                 QStringList{QStringLiteral("-x -j --exact \"%1\" \"%2\" \"docs/read me.txt\"")
                                 .arg(run.archivePath(), out)});
        QCOMPARE(run.runner.calls.first().bufferSize, 255);
        const auto opens = run.shell.callsOf(QStringLiteral("open"));
        QCOMPARE(opens.size(), 1);
        QCOMPARE(opens.first().path, out + QStringLiteral("read me.txt"));
        QCOMPARE(run.shell.callsOf(QStringLiteral("find")).first().path,
                 QStringLiteral("read me.txt"));
    }

    void doubleClickWithoutAssociation()
    {
        Run ask(QStringLiteral("a.cab"), {QStringLiteral("sub\\x.dat")});
        ask.shell.findResult = platform::Shell::kNoAssociation;
        ask.events->openMember(QStringLiteral("sub\\x.dat"));
        QCOMPARE(ask.shell.callsOf(QStringLiteral("openWith")).size(), 1);
        QCOMPARE(ask.shell.callsOf(QStringLiteral("openWith")).first().path,
                 ask.destination() + QStringLiteral("x.dat"));
        QVERIFY(ask.shell.callsOf(QStringLiteral("open")).isEmpty());

        Run quiet(QStringLiteral("a.lzh"), {QStringLiteral("x.dat")});
        quiet.shell.findResult = platform::Shell::kNoAssociation;
        quiet.browser.noChooser = true;
        quiet.events->openMember(QStringLiteral("x.dat"));
        QCOMPARE(quiet.runner.calls.size(), 1);
        QVERIFY(quiet.shell.callsOf(QStringLiteral("openWith")).isEmpty());
        QVERIFY(quiet.shell.callsOf(QStringLiteral("open")).isEmpty());
    }

    void dragOutOffersTheExtractedFiles()
    {
        Run run(QStringLiteral("a.lzh"), {QStringLiteral("a b.txt"), QStringLiteral("sub/c.txt"),
                                          QStringLiteral("gone.txt")});
        run.select(
            {QStringLiteral("a b.txt"), QStringLiteral("sub/c.txt"), QStringLiteral("gone.txt")});
        // The library writes two of the three.
        run.runner.effect = [](const RecordingRunner::Call& call) {
            const QString out = quotedOperand(call.line, 1);
            QDir().mkpath(out + QStringLiteral("sub"));
            for (const char* n : {"a b.txt", "sub/c.txt"}) {
                QFile f(out + QString::fromLatin1(n));
                QVERIFY(f.open(QIODevice::WriteOnly));
            }
        };
        std::unique_ptr<QMimeData> data(run.events->dragData());
        QVERIFY(data);
        const QString out = run.destination();
        QVERIFY2(out.startsWith(run.work()) && out != run.work(), qPrintable(out));
        QCOMPARE(
            run.lines(),
            QStringList{
                QStringLiteral(
                    "e -n -d1 -m1 --exact \"%1\" \"%2\" \"a b.txt\" \"sub/c.txt\" \"gone.txt\"")
                    .arg(run.archivePath(), out)});
        QCOMPARE(data->urls(),
                 (QList<QUrl>{QUrl::fromLocalFile(out + QStringLiteral("a b.txt")),
                              QUrl::fromLocalFile(out + QStringLiteral("sub/c.txt"))}));
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
    }

    void dragOnItsOwnListAddsNothing()
    {
        Run run(QStringLiteral("a.lzh"), {QStringLiteral("x.txt")});
        run.events->setDropMode(true);
        run.select({QStringLiteral("x.txt")});
        run.runner.effect = [](const RecordingRunner::Call& call) {
            QFile f(quotedOperand(call.line, 1) + QStringLiteral("x.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        bool dragged = false;
        run.events->setDragRunner([&](QDrag& drag) {
            dragged = true;
            QVERIFY(!run.list->acceptDrops());
            QVERIFY(!run.list->viewport()->acceptDrops());
            // Even when offered, the list's own members are refused.
            QVERIFY(!run.events->takesDrop(drag.mimeData()));
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, drag.mimeData(), Qt::LeftButton,
                                  {});
            QCoreApplication::sendEvent(run.list->viewport(), &enter);
            QVERIFY(!enter.isAccepted());
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, drag.mimeData(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(run.list->viewport(), &drop);
            QVERIFY(!drop.isAccepted());
        });
        run.events->startDrag();
        QVERIFY(dragged);
        QCoreApplication::processEvents();
        QVERIFY(run.prompts.shown().isEmpty());
        QCOMPARE(run.runner.calls.size(), 1); // the extraction only
        QVERIFY(run.list->acceptDrops());
        QVERIFY(run.list->viewport()->acceptDrops());
    }

    void dropOnLzhAsksAndAdds()
    {
        Run run(QStringLiteral("a.lzh"));
        QTemporaryDir source;
        const QString f1 = source.path() + QStringLiteral("/one.txt");
        const QString f2 = source.path() + QStringLiteral("/two words.txt");
        for (const QString& f : {f1, f2}) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(f1), QUrl::fromLocalFile(f2)});
        QVERIFY(run.events->takesDrop(&data));
        // Listing an LZH archive lets the list take drops.
        run.events->setDropMode(true);
        // A drop reaches the widget that took the drag when it entered.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              {});
        QCoreApplication::sendEvent(run.list->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(run.list->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        run.prompts.answerMessage(platform::Prompts::Yes);
        QTRY_COMPARE(run.relisted, 1);
        QCOMPARE(run.prompts.shown().size(), 1);
        const auto box = run.prompts.shown().first();
        QCOMPARE(box.text, QStringLiteral("ドラッグされたファイルを書庫に追加しますか？"));
        QCOMPARE(box.title, QStringLiteral("確認"));
        QCOMPARE(box.icon, int(platform::Prompts::Question));
        QCOMPARE(box.buttons, int(platform::Prompts::YesNo));
        QVERIFY(QFileInfo(run.work() + QStringLiteral("drop/two words.txt")).isFile());
        QCOMPARE(run.lines(),
                 QStringList{QStringLiteral("u -a1 -l1 -jp1 -o2 \"%1\" \"/\" \"%2drop/*.*\" ")
                                 .arg(run.archivePath(), run.work())});
    }

    void dropAnsweredNoOrOnZipChangesNothing()
    {
        Run no(QStringLiteral("a.lzh"));
        QDir().mkpath(no.work());
        no.prompts.answerMessage(platform::Prompts::No);
        no.events->addDropped({QStringLiteral("/etc/hostname")});
        QVERIFY(no.runner.calls.isEmpty());
        QVERIFY(!QFileInfo(no.work()).exists() || QDir(no.work()).isEmpty());
        QCOMPARE(no.relisted, 0);

        Run zip(QStringLiteral("a.zip"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
        QVERIFY(!zip.events->takesDrop(&data));
        zip.events->addDropped({QStringLiteral("/etc/hostname")});
        QVERIFY(zip.prompts.shown().isEmpty());
        QVERIFY(zip.runner.calls.isEmpty());

        Run off(QStringLiteral("a.lzh"));
        off.dragOff = true;
        off.prompts.answerMessage(platform::Prompts::Yes);
        off.events->addDropped({QStringLiteral("/etc/hostname")});
        QCOMPARE(off.prompts.shown().size(), 1);
        QVERIFY(off.runner.calls.isEmpty());
    }
};

QTEST_MAIN(MemberCommandsTest)
#include "tst_member_commands.moc"
