// What the main window makes of the archiver libraries' answers: a drag-out or a double click
// delivers the member of the archive shown (never a namesake an earlier one left in the work
// folder), a failing call is told in words with the members it failed at (also when the report
// was longer than its buffer), the member list shows the archive as it is after each change,
// and a self-extracting archive listed through its LZH payload is extracted as LZH.
#include "ArchiveTestDoubles.h"
#include "ArchiveWindowRun.h"
#include "E2eSupport.h"
#include "GuiRun.h"
#include "RecordingArchiverCall.h"

#include "app/Application.h"
#include "app/ArchiveWork.h"
#include "app/FileListBox.h"
#include "app/MainWindow.h"
#include "archive/ArchiveListEvents.h"
#include "archive/ExtractDialog.h"
#include "archive/MemberListing.h"
#include "archive/ResultWindow.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

using archive::Family;

namespace
{

void writeFile(const QString& path, const QByteArray& bytes, const QDateTime& time = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    if (time.isValid())
        QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Writes an archive of "readme.txt" and "docs/readme.txt" with the outside tool.
bool makeNamesakes(Family family, const QString& source, const QString& archive)
{
    const QStringList names{QStringLiteral("readme.txt"), QStringLiteral("docs/readme.txt")};
    switch (family) {
    case Family::Lzh:
        return runTool(QStringLiteral("jlha"), QStringList{QStringLiteral("a"), archive} + names,
                       source);
    case Family::Zip:
        return runTool(QStringLiteral("zip"),
                       QStringList{QStringLiteral("-q"), QStringLiteral("-X"), archive} + names,
                       source);
    case Family::Cab:
        return runTool(QStringLiteral("gcab"),
                       QStringList{QStringLiteral("-c"), QStringLiteral("-z"), archive} + names,
                       source);
    case Family::ReadOnly:
        return runTool(QStringLiteral("7z"),
                       QStringList{QStringLiteral("a"), QStringLiteral("-bd"),
                                   QStringLiteral("-bso0"), archive, QStringLiteral("--")} +
                           names,
                       source);
    }
    return false;
}

archive::CallResult failure(int code, const QString& report)
{
    archive::CallResult result;
    result.code = code;
    result.report = report;
    return result;
}

// The archive library in the program folder, with the new name of a rename given on the
// command line (-gr) instead of asked for in the library's own dialog.
class RenamingLibrary final : public archive::ArchiverCall
{
public:
    explicit RenamingLibrary(const QString& folder) : m_library(folder) {}
    archive::CallResult run(Family family, quintptr owner, const QString& line, int size) override
    {
        QString sent = line;
        if (family == Family::Lzh && sent.startsWith(QLatin1String("n ")))
            sent.insert(2, QStringLiteral("-grrenamed.txt "));
        return m_library.run(family, owner, sent, size);
    }

private:
    archive::LibraryArchiverCall m_library;
};
} // namespace

class ArchiveResultsTest : public QObject
{
    Q_OBJECT

    struct Run : ArchiveWindowRun {
        RecordingArchiverCall calls;
        std::unique_ptr<RenamingLibrary> library;

        // `recording`: the commands go to the recording double (the listing always uses the
        // real libraries); otherwise to the real libraries.
        explicit Run(bool recording)
        {
            copyLibraries();
            QTemporaryDir source;
            writeSourceTree(source.path());
            QVERIFY(makeArchive(Family::Lzh, source.path(), browsed(QStringLiteral("ARC.LZH"))));
            QVERIFY(makeArchive(Family::Zip, source.path(), browsed(QStringLiteral("pack.zip"))));
            library = std::make_unique<RenamingLibrary>(folder.path());
            archiver = recording ? static_cast<archive::ArchiverCall*>(&calls) : library.get();
            collectReports();
        }
        void begin() { start({browse.path()}); }
        QStringList rows() const
        {
            settle();
            return ArchiveWindowRun::rows();
        }
        // The row whose member name is `base` inside a folder (docs/readme.txt, docs\readme.txt)
        // or at the top (folder empty).
        QTreeWidgetItem* row(const QString& within, const QString& base) const
        {
            settle();
            for (int i = 0; i < list()->topLevelItemCount(); ++i) {
                const QString name = list()->topLevelItem(i)->text(0);
                const QString wanted = within.isEmpty() ? base : within + QLatin1Char('/') + base;
                if (QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')) == wanted)
                    return list()->topLevelItem(i);
            }
            return nullptr;
        }
        QString lastMessage() const
        {
            return prompts.shown().isEmpty() ? QString() : prompts.shown().last().text;
        }
    };

private Q_SLOTS:
    void namesakesFromTwoArchives_data()
    {
        QTest::addColumn<int>("family");
        for (Family f : {Family::Lzh, Family::Zip, Family::Cab})
            QTest::newRow(extensionOf(f).toLatin1().constData()) << int(f);
    }

    // t1 holds newer members than t2: an extraction that skips members older than a file
    // already there would hand out t1's text for t2.
    void namesakesFromTwoArchives()
    {
        QFETCH(int, family);
        Run run(false);
        const QString ext = extensionOf(Family(family));
        for (int n : {1, 2}) {
            QTemporaryDir source;
            const QDateTime time = n == 1 ? QDateTime(QDate(2020, 6, 1), QTime(12, 0))
                                          : QDateTime(QDate(2001, 6, 1), QTime(12, 0));
            const QByteArray tag = "t" + QByteArray::number(n);
            writeFile(source.path() + QStringLiteral("/readme.txt"), tag + " top\n", time);
            writeFile(source.path() + QStringLiteral("/docs/readme.txt"), tag + " docs\n", time);
            QVERIFY(makeNamesakes(Family(family), source.path(),
                                  run.browsed(QStringLiteral("t%1.").arg(n) + ext)));
        }
        run.begin();

        QStringList delivered;
        for (int n : {1, 2}) {
            run.click(QStringLiteral("t%1.").arg(n) + ext);
            QTreeWidgetItem* top = run.row(QString(), QStringLiteral("readme.txt"));
            QVERIFY2(top, qPrintable(run.rows().join(QLatin1Char('|'))));
            run.select({top->text(0)});
            std::unique_ptr<QMimeData> data(run.events().dragData());
            QVERIFY(data);
            QCOMPARE(data->urls().size(), 1);
            delivered << data->urls().first().toLocalFile();
            QCOMPARE(contentsOf(delivered.last()),
                     QByteArray("t") + QByteArray::number(n) + " top\n");
        }
        QVERIFY(delivered.first() != delivered.last());
        // The first drag-out is where it was, unchanged (a drop target may still copy it).
        QCOMPARE(contentsOf(delivered.first()), QByteArray("t1 top\n"));

        for (int n : {2, 1, 2}) {
            run.click(QStringLiteral("t%1.").arg(n) + ext);
            QTreeWidgetItem* docs = run.row(QStringLiteral("docs"), QStringLiteral("readme.txt"));
            QVERIFY2(docs, qPrintable(run.rows().join(QLatin1Char('|'))));
            run.shell.calls.clear();
            Q_EMIT run.list()->itemDoubleClicked(docs, 0);
            const auto opens = run.shell.callsOf(QStringLiteral("open"));
            QCOMPARE(opens.size(), 1);
            QCOMPARE(contentsOf(opens.first().path),
                     QByteArray("t") + QByteArray::number(n) + " docs\n");
        }
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void failuresAreToldWithTheirMembers()
    {
        Run run(true);
        run.begin();
        const QString folder = run.browse.path() + QLatin1Char('/');

        // Extraction: a report longer than its buffer keeps its error lines at the end, after
        // a line saying it was shortened; the last of many members failed.
        QString report = QStringLiteral("(報告が長すぎるため先頭を省きました)\n");
        for (int i = 0; i < 150; ++i)
            report += QStringLiteral("Melted  member %1.txt\n").arg(i);
        report += QStringLiteral("CRC エラー : -last member.txt\n");
        run.calls.results.enqueue(failure(0x800C, report));
        run.click(QStringLiteral("pack.zip"));
        run.prompts.expectMessages(1);
        run.extractWith("kaitou", 1);
        QCOMPARE(run.reports, QStringList{report});
        QCOMPARE(run.prompts.shown().size(), 1);
        QString text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("CRC エラー : -last member.txt")), qPrintable(text));
        QVERIFY2(text.contains(folder + QStringLiteral("pack.zip")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("Melted")), qPrintable(text));
        QCOMPARE(run.prompts.shown().last().icon, int(platform::Prompts::Exclamation));

        // Delete: the last of three members fails; only it is named, with its reason.
        run.click(QStringLiteral("ARC.LZH"));
        run.select({QStringLiteral("read me.txt"), QStringLiteral("plain.txt"),
                    QStringLiteral("sub folder/empty.txt")});
        run.calls.results.enqueue(archive::CallResult{});
        run.calls.results.enqueue(archive::CallResult{});
        run.calls.results.enqueue(failure(
            0x8013,
            QStringLiteral("Deleting from archive : %1ARC.LZH\n書庫ファイルを書き込めません")
                .arg(folder)));
        run.prompts.expectMessages(1);
        run.trigger("syosaku");
        QCOMPARE(run.calls.calls.size(), 4);
        QCOMPARE(run.prompts.shown().size(), 2);
        text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("sub folder/empty.txt")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("書庫ファイルを書き込めません")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("read me.txt")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("plain.txt")), qPrintable(text));

        // Add.
        const QString added = run.write(QStringLiteral("-added \"file\".txt"), "x");
        run.prompts.answerText(added);
        run.calls.results.enqueue(failure(
            0x800D, QStringLiteral("Updating archive : A\nファイルを開けません : ") + added));
        run.prompts.expectMessages(1);
        run.trigger("tuika");
        text = run.lastMessage();
        // The name holds quotes, so the line could not be built: that is told instead.
        QVERIFY2(!text.isEmpty(), "add");
        const QString plain = run.write(QStringLiteral("-added file.txt"), "x");
        run.prompts.answerText(plain);
        run.calls.results.clear();
        run.calls.results.enqueue(failure(
            0x800D, QStringLiteral("Updating archive : A\nファイルを開けません : ") + plain));
        run.prompts.expectMessages(1);
        run.trigger("tuika");
        text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("ファイルを開けません : ") + plain),
                 qPrintable(text));

        // Rename: the report is shown, and the failure is told.
        run.select({QStringLiteral("plain.txt")});
        run.calls.results.enqueue(failure(
            0x8007, QStringLiteral("Renaming in archive : A\nSkipped  plain.txt : 中止しました")));
        run.prompts.expectMessages(1);
        const int reportsBefore = run.reports.size();
        run.trigger("assyukuhenkou");
        QCOMPARE(run.reports.size(), reportsBefore + 1);
        text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("Skipped  plain.txt : 中止しました")),
                 qPrintable(text));

        // Files dropped on the list.
        QTemporaryDir elsewhere;
        const QString dropped = elsewhere.path() + QStringLiteral("/dropped one.txt");
        writeFile(dropped, "d");
        run.calls.results.enqueue(
            failure(0x8005, QStringLiteral("Updating archive : A\n書庫は変更されていません")));
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.prompts.expectMessages(1);
        run.events().addDropped({dropped});
        text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("dropped one.txt")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("書庫は変更されていません")), qPrintable(text));

        // A double click whose report did not fit at all: the member and the code are named,
        // and nothing is opened.
        run.calls.results.enqueue(failure(0x8012, QString()));
        run.prompts.expectMessages(1);
        run.shell.calls.clear();
        Q_EMIT run.list()->itemDoubleClicked(run.row(QString(), QStringLiteral("read me.txt")), 0);
        text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("read me.txt")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("0x8012")), qPrintable(text));
        QVERIFY(run.shell.callsOf(QStringLiteral("open")).isEmpty());
        QVERIFY(run.shell.callsOf(QStringLiteral("openWith")).isEmpty());

        // A drag-out that failed offers nothing.
        run.select({QStringLiteral("read me.txt")});
        run.calls.results.enqueue(
            failure(0x8013, QStringLiteral("ファイルを書き込めません : x/read me.txt")));
        run.prompts.expectMessages(1);
        std::unique_ptr<QMimeData> data(run.events().dragData());
        QVERIFY(!data);
        QVERIFY2(
            run.lastMessage().contains(QStringLiteral("ファイルを書き込めません : x/read me.txt")),
            qPrintable(run.lastMessage()));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    // The real libraries: a plain file named like the archive's folder makes its members fail,
    // the last ones of the archive.
    void realExtractionFailsAtTheLastMembers_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::newRow("lzh") << QStringLiteral("ARC.LZH");
        QTest::newRow("zip") << QStringLiteral("pack.zip");
    }

    void realExtractionFailsAtTheLastMembers()
    {
        QFETCH(QString, archive);
        Run run(false);
        writeFile(run.browsed(QStringLiteral("sub folder")), "in the way");
        run.begin();
        run.click(archive);
        run.prompts.expectMessages(1);
        run.extractWith("kaitou", 1);
        QCOMPARE(run.reports.size(), 1);
        QCOMPARE(run.prompts.shown().size(), 1);
        const QString text = run.lastMessage();
        QVERIFY2(text.contains(QStringLiteral("sub folder")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("Melted")), qPrintable(text));
        QCOMPARE(contentsOf(run.browsed(QStringLiteral("plain.txt"))), QByteArray("plain\n"));
    }

    void selfExtractingArchiveExtractsAsLzh()
    {
        Run run(false);
        archive::LibraryArchiverCall library(run.folder.path());
        const archive::CallResult made =
            library.run(Family::Lzh, 0,
                        QStringLiteral("s \"%1/ARC.LZH\" \"%1/\"").arg(run.browse.path()), 2048);
        QVERIFY2(made.code == 0, qPrintable(made.report));
        QVERIFY(QFile::remove(run.browsed(QStringLiteral("ARC.LZH"))));
        run.begin();
        run.click(QStringLiteral("ARC.run"));
        run.trigger("exnakami");
        QCOMPARE(run.rows().size(), 4);
        // "フォルダにファイル名をつけて解凍": the payload comes out into ARC/.
        run.extractWith("kaitou", 5);
        QTemporaryDir source;
        writeSourceTree(source.path());
        QCOMPARE(filesBelow(run.browsed(QStringLiteral("ARC"))), filesBelow(source.path()));
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }

    void memberListShowsTheArchiveAfterEachChange()
    {
        Run run(false);
        run.begin();
        run.click(QStringLiteral("ARC.LZH"));
        QCOMPARE(run.rows().size(), 4);
        run.select({QStringLiteral("plain.txt")});
        run.trigger("assyukuhenkou");
        QCOMPARE(run.reports.size(), 1);
        QStringList rows = run.rows();
        rows.sort();
        QCOMPARE(rows, (QStringList{QStringLiteral("read me.txt"), QStringLiteral("renamed.txt"),
                                    QStringLiteral("sub folder/data.bin"),
                                    QStringLiteral("sub folder/empty.txt")}));

        run.select({QStringLiteral("renamed.txt"), QStringLiteral("sub folder/empty.txt")});
        run.trigger("syosaku");
        rows = run.rows();
        rows.sort();
        QCOMPARE(rows, (QStringList{QStringLiteral("read me.txt"),
                                    QStringLiteral("sub folder/data.bin")}));

        QTemporaryDir elsewhere;
        const QString dropped = elsewhere.path() + QStringLiteral("/-dropped.txt");
        writeFile(dropped, "dropped");
        run.prompts.answerMessage(platform::Prompts::Yes);
        run.events().addDropped({dropped});
        QVERIFY2(run.rows().contains(QStringLiteral("-dropped.txt")),
                 qPrintable(run.rows().join(QLatin1Char('|'))));

        // A self-extracting archive cannot be changed: that is told, and its payload stays
        // listed as it was.
        archive::LibraryArchiverCall library(run.folder.path());
        const archive::CallResult made =
            library.run(Family::Lzh, 0,
                        QStringLiteral("s \"%1/ARC.LZH\" \"%1/\"").arg(run.browse.path()), 2048);
        QVERIFY2(made.code == 0, qPrintable(made.report));
        run.click(QStringLiteral("ARC.run"));
        run.trigger("exnakami");
        const QStringList payload = run.rows();
        QCOMPARE(payload.size(), 3);
        run.select({QStringLiteral("read me.txt")});
        run.prompts.expectMessages(1);
        run.trigger("syosaku");
        QVERIFY2(run.lastMessage().contains(QStringLiteral("read me.txt")),
                 qPrintable(run.lastMessage()));
        QCOMPARE(run.rows(), payload);
        QVERIFY(!run.list()->isHidden());
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(ArchiveResultsTest)
#include "tst_archive_results.moc"
