// Extraction, member commands and the drag out with the real archiver libraries, on archives
// that outside tools wrote; the extracted files are compared with bsdtar's extraction.
#include "ArchiveTestDoubles.h"
#include "E2eSupport.h"
#include "RecordingPrompts.h"
#include "RecordingShell.h"

#include "archive/ArchiveListEvents.h"
#include "archive/ArchiverWorker.h"
#include "archive/CommandLines.h"
#include "archive/ExtractDialog.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"
#include "archive/ResultWindow.h"
#include "archive/RunCommand.h"
#include "base/Paths.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

#include <memory>

using archive::Family;

namespace
{
// The member names lhasa lists for the archive, in stored order.
QStringList lhasaNames(const QString& archive)
{
    QProcess process;
    process.start(QStringLiteral("lhasa"), {QStringLiteral("-lq"), archive});
    process.waitForFinished(60000);
    QStringList names;
    for (const QString& line :
         QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        // "[generic] size ratio Mon dd hh:mm name", or the permissions first
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        if (parts.size() >= 7 && parts.at(2).endsWith(QLatin1Char('%')) &&
            !line.startsWith(QLatin1Char(' ')))
            names << parts.mid(6).join(QLatin1Char(' '));
    }
    return names;
}

} // namespace

class ArchiveEndToEndTest : public QObject
{
    Q_OBJECT

    // One archive written by an outside tool in a folder whose name has a blank, and
    // bsdtar's extraction of it.
    struct Case {
        QTemporaryDir base;
        QString current;
        QString name;
        QString oracle;
        explicit Case(Family family)
        {
            current = base.path() + QStringLiteral("/current folder");
            oracle = base.path() + QStringLiteral("/oracle");
            const QString source = base.path() + QStringLiteral("/source");
            QDir().mkpath(current);
            QDir().mkpath(oracle);
            writeSourceTree(source);
            name = QStringLiteral("my pack.") + extensionOf(family);
            QVERIFY(makeArchive(family, source, archivePath()));
            QVERIFY(runTool(QStringLiteral("bsdtar"),
                            {QStringLiteral("-xf"), archivePath(), QStringLiteral("-C"), oracle}));
            QCOMPARE(filesBelow(oracle).size(), 4);
        }
        QString archivePath() const { return current + QLatin1Char('/') + name; }
    };

    struct Window {
        QWidget window;
        RecordingPrompts prompts;
        RecordingShell shell;
        FakeBrowser browser;
        // As in the program: each call runs on a worker while this thread keeps answering.
        std::unique_ptr<archive::ArchiverCall> runner =
            std::make_unique<archive::ThreadedArchiverCall>(
                std::make_unique<archive::LibraryArchiverCall>());
        std::unique_ptr<archive::Extraction> extraction;
        ModalDriver driver;
        QStringList reports;
        Window(const QString& folder, const QString& file)
        {
            browser.owner = &window;
            browser.folder = folder;
            browser.selected = file;
            archive::Services s;
            s.prompts = &prompts;
            s.shell = &shell;
            s.browser = &browser;
            s.archiver = runner.get();
            s.askToShowExtracted = [] { return true; };
            extraction = std::make_unique<archive::Extraction>(s);
            driver.on(QStringLiteral("Form13"), [this](QWidget* w) {
                auto* r = qobject_cast<archive::ResultWindow*>(w);
                reports << r->reportText();
                r->closeButton()->click();
            });
            driver.on(QStringLiteral("Form3"), [](QWidget* w) { w->close(); });
        }
        void click(int number)
        {
            driver.on(QStringLiteral("Form5"), [number](QWidget* w) {
                qobject_cast<archive::ExtractDialog*>(w)->button(number)->click();
            });
            driver.start();
            extraction->run();
            driver.stop();
        }
    };

private Q_SLOTS:
    void initTestCase() { platform::setProgramFolder(qEnvironmentVariable("KORAMO_BUILD_BIN")); }

    void fourWays_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("button");
        for (Family f : {Family::Lzh, Family::Zip, Family::Cab, Family::ReadOnly}) {
            for (int b : {1, 2, 4, 5}) {
                const QByteArray name =
                    extensionOf(f).toLatin1() + " Command" + QByteArray::number(b);
                QTest::newRow(name.constData()) << int(f) << b;
            }
        }
    }

    void fourWays()
    {
        QFETCH(int, family);
        QFETCH(int, button);
        Case c{Family(family)};
        Window w(c.current, c.name);
        QString destination;
        QTemporaryDir chosen;
        switch (button) {
        case 1:
            destination = c.current;
            break;
        case 2:
            destination = chosen.path() + QStringLiteral("/chosen dir");
            QDir().mkpath(destination);
            w.prompts.answerText(destination);
            break;
        case 4:
            w.prompts.answerText(chosen.path());
            w.prompts.answerText(QStringLiteral("new folder"));
            destination = chosen.path() + QStringLiteral("/new folder");
            break;
        case 5:
            destination = c.current + QStringLiteral("/my pack");
            break;
        }
        w.click(button);
        QMap<QString, QByteArray> got = filesBelow(destination);
        got.remove(c.name);
        const QMap<QString, QByteArray> expected = filesBelow(c.oracle);
        if (got != expected)
            qWarning().noquote() << "report:" << w.reports.join(QLatin1Char('\n'));
        QCOMPARE(got.keys(), expected.keys());
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(got.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(w.prompts.unexpectedCount(), 0);
    }

private:
    // The member list of one archive with the real libraries behind it.
    struct MemberWindow : Window {
        QTreeWidget* list = nullptr;
        int relisted = 0;
        QString work;
        std::unique_ptr<archive::MemberCommands> members;
        std::unique_ptr<archive::ArchiveListEvents> events;
        MemberWindow(const QString& folder, const QString& file, const QString& workFolder)
            : Window(folder, file), work(workFolder)
        {
            list = new QTreeWidget(&window);
            list->setSelectionMode(QAbstractItemView::ExtendedSelection);
            archive::Services ms;
            ms.prompts = &prompts;
            ms.shell = &shell;
            ms.browser = &browser;
            ms.archiver = runner.get();
            ms.extraction = extraction.get();
            ms.list = list;
            ms.relist = [this] { relist(); };
            members = std::make_unique<archive::MemberCommands>(ms);
            archive::Services ls;
            ls.prompts = &prompts;
            ls.shell = &shell;
            ls.browser = &browser;
            ls.archiver = runner.get();
            ls.members = members.get();
            ls.list = list;
            ls.workFolder = [this] { return work; };
            ls.deleteWorkFolder = [this] { QDir(work).removeRecursively(); };
            ls.dragAndDropOff = [] { return false; };
            ls.relist = [this] { relist(); };
            events = std::make_unique<archive::ArchiveListEvents>(ls);
            relisted = 0;
        }
        // Fills the list the way the preview does.
        void relist()
        {
            ++relisted;
            list->clear();
            for (const QString& name :
                 lhasaNames(browser.folder + QLatin1Char('/') + browser.selected))
                list->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
        }
        void select(const QStringList& names) const
        {
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                list->topLevelItem(i)->setSelected(names.contains(list->topLevelItem(i)->text(0)));
        }
    };

private Q_SLOTS:
    void lzhDeleteAddRename()
    {
        Case c{Family::Lzh};
        QTemporaryDir program;
        MemberWindow w(c.current, c.name, program.path() + QStringLiteral("/temp/"));
        w.relist();
        QCOMPARE(lhasaNames(c.archivePath()),
                 (QStringList{QStringLiteral("read me.txt"), QStringLiteral("plain.txt"),
                              QStringLiteral("sub folder/data.bin"),
                              QStringLiteral("sub folder/empty.txt")}));

        // Delete two members, one of them with a blank in its name.
        w.select({QStringLiteral("read me.txt"), QStringLiteral("sub folder/empty.txt")});
        w.members->remove();
        QCOMPARE(lhasaNames(c.archivePath()),
                 (QStringList{QStringLiteral("plain.txt"), QStringLiteral("sub folder/data.bin")}));

        // Add a file whose name and folder have blanks.
        QTemporaryDir other;
        const QString added = other.path() + QStringLiteral("/an added file.txt");
        {
            QFile f(added);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("added content\n");
        }
        w.prompts.answerText(added);
        w.members->add();
        QVERIFY(lhasaNames(c.archivePath()).contains(QStringLiteral("an added file.txt")));

        // lhasa extracts what is left, byte for byte.
        QTemporaryDir out;
        QVERIFY(
            runTool(QStringLiteral("lhasa"), {QStringLiteral("xqf"), c.archivePath()}, out.path()));
        const QMap<QString, QByteArray> files = filesBelow(out.path());
        QCOMPARE(files.value(QStringLiteral("an added file.txt")), QByteArray("added content\n"));
        QCOMPARE(files.value(QStringLiteral("sub folder/data.bin")),
                 filesBelow(c.oracle).value(QStringLiteral("sub folder/data.bin")));
        QCOMPARE(files.size(), 3);
    }

    // The library asks for the new name in its own dialog, which needs a display: this runs
    // under xvfb-run (the test "tst_archive_e2e_display").
    void lzhRenameAsksForTheName()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a display; runs in tst_archive_e2e_display");
        Case c{Family::Lzh};
        QTemporaryDir program;
        MemberWindow w(c.current, c.name, program.path() + QStringLiteral("/temp/"));
        w.relist();
        w.select({QStringLiteral("read me.txt")});
        w.driver.on(QString(), [](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            QVERIFY(input->labelText().contains(QStringLiteral("read me.txt")));
            input->setTextValue(QStringLiteral("renamed file.txt"));
            input->accept();
        });
        w.driver.start();
        w.members->rename();
        w.driver.stop();
        QCOMPARE(w.reports.size(), 1);
        QCOMPARE(lhasaNames(c.archivePath()),
                 (QStringList{QStringLiteral("renamed file.txt"), QStringLiteral("plain.txt"),
                              QStringLiteral("sub folder/data.bin"),
                              QStringLiteral("sub folder/empty.txt")}));
        QTemporaryDir out;
        QVERIFY(
            runTool(QStringLiteral("lhasa"), {QStringLiteral("xqf"), c.archivePath()}, out.path()));
        QCOMPARE(filesBelow(out.path()).value(QStringLiteral("renamed file.txt")),
                 filesBelow(c.oracle).value(QStringLiteral("read me.txt")));
    }

    // Extracting over files that are newer than the members: "すべて上書き" in the library's
    // question replaces them all, the older members included. Needs a display, as above.
    void lzhYesToAllReplacesOlderFiles()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a display; runs in tst_archive_e2e_display");
        Case c{Family::Lzh};
        QTemporaryDir target;
        const QMap<QString, QByteArray> expected = filesBelow(c.oracle);
        // Newer files of the same names, with other content.
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            const QString path = target.path() + QLatin1Char('/') + it.key();
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("newer local copy");
            file.setFileTime(QDateTime::currentDateTime().addDays(1),
                             QFileDevice::FileModificationTime);
        }
        Window w(c.current, c.name);
        w.prompts.answerText(target.path());
        int questions = 0;
        w.driver.on(QString(), [&questions](QWidget* dialog) {
            ++questions;
            for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
                if (b->text() == QStringLiteral("すべて上書き")) {
                    b->click();
                    return;
                }
            }
            QFAIL("no すべて上書き button");
        });
        w.click(2);
        QCOMPARE(questions, 1);
        const QMap<QString, QByteArray> got = filesBelow(target.path());
        QCOMPARE(got.keys(), expected.keys());
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(got.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    // The user cancels an addition in the library's progress window: the archive keeps every
    // byte it had and no half-written file is left beside it. Needs a display, as above.
    void lzhCancelledAddLeavesTheArchiveAsItWas()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a display; runs in tst_archive_e2e_display");
        Case c{Family::Lzh};
        QTemporaryDir program;
        MemberWindow w(c.current, c.name, program.path() + QStringLiteral("/temp/"));
        w.window.show();
        QFile file(c.archivePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        // Noise compresses slowly: enough members for the cancel to land in the middle.
        QTemporaryDir adds;
        QByteArray noise(4 << 20, '\0');
        for (int i = 0; i < 32; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()),
                                                  noise.size() / 4);
            QFile out(adds.path() +
                      QStringLiteral("/-noise %1.bin").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(noise), noise.size());
        }
        bool pressed = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&pressed] {
            if (pressed)
                return;
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(top);
                if (!progress || !progress->isVisible() ||
                    progress->objectName() != QLatin1String("archiverProgress"))
                    continue;
                for (QPushButton* button : progress->findChildren<QPushButton*>()) {
                    if (button->text() == QStringLiteral("キャンセル")) {
                        pressed = true;
                        QTest::mouseClick(button, Qt::LeftButton);
                    }
                }
            }
        });
        poll.start(10);
        // A cancelled update is told like any other call that did not complete.
        w.prompts.expectMessages(1);
        const std::optional<archive::CallResult> result =
            archive::runCommand(w.runner.get(), &w.prompts, &w.window, Family::Lzh,
                                archive::addToLzhCommand(c.archivePath(), QString(),
                                                         adds.path() + QStringLiteral("/*.*")),
                                archive::kReportBufferSize);
        poll.stop();
        QVERIFY(pressed);
        QVERIFY(result);
        QVERIFY2(result->report.contains(QStringLiteral("中止しました。書庫は変更されていません")),
                 qPrintable(result->report));
        QVERIFY(result->code != 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(c.current).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{c.name});
        QCOMPARE(lhasaNames(c.archivePath()).size(), 4);
    }

    void dragOutDeliversFiles_data()
    {
        QTest::addColumn<int>("family");
        for (Family f : {Family::Lzh, Family::Zip, Family::Cab, Family::ReadOnly})
            QTest::newRow(extensionOf(f).toLatin1().constData()) << int(f);
    }

    void dragOutDeliversFiles()
    {
        QFETCH(int, family);
        Case c{Family(family)};
        QTemporaryDir program;
        MemberWindow w(c.current, c.name, program.path() + QStringLiteral("/temp/"));
        const QString separator =
            Family(family) == Family::Cab ? QStringLiteral("\\") : QStringLiteral("/");
        const QStringList names{QStringLiteral("read me.txt"), QStringLiteral("sub folder") +
                                                                   separator +
                                                                   QStringLiteral("data.bin")};
        for (const QString& n : names)
            w.list->addTopLevelItem(new QTreeWidgetItem(QStringList{n}));
        w.select(names);
        std::unique_ptr<QMimeData> data(w.events->dragData());
        QVERIFY(data);
        QVERIFY(data->hasFormat(QStringLiteral("text/uri-list")));
        const QList<QUrl> urls = data->urls();
        QCOMPARE(urls.size(), 2);
        const QMap<QString, QByteArray> expected = filesBelow(c.oracle);
        for (const QUrl& url : urls) {
            QVERIFY(url.isLocalFile());
            QFile file(url.toLocalFile());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(url.toLocalFile()));
            const QString base = url.fileName();
            const QString key =
                base == QLatin1String("data.bin") ? QStringLiteral("sub folder/data.bin") : base;
            QCOMPARE(file.readAll(), expected.value(key));
        }
    }
};

QTEST_MAIN(ArchiveEndToEndTest)
#include "tst_archive_e2e.moc"
