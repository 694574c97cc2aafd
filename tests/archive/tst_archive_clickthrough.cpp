// A folder of archives made by other programs (7z, GNU tar with gzip, bzip2, xz and zstd,
// genisoimage, Info-ZIP, jlha, gcab, and a RAR sample), clicked through one after another in the
// real main window with the real libraries: each lists its files in the member list with their
// names and sizes, and each is extracted through the program's own extraction into a folder
// named after it, which must hold exactly what bsdtar extracts from the same archive, byte for
// byte and name for name (Japanese names, blanks, a leading "-", a long name, an empty file).
#include "ArchiveWindowRun.h"
#include "E2eSupport.h"

#include "app/MainWindow.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <QtTest>

namespace
{

// The files of the tree the archives are made from, with their bytes.
QMap<QString, QByteArray> sourceFiles()
{
    QByteArray text;
    for (int i = 0; i < 3000; ++i)
        text += "行 " + QByteArray::number(i) + " of a text that repeats itself\n";
    QByteArray binary(200000, '\0');
    QRandomGenerator random(7);
    for (char& c : binary)
        c = char(random.bounded(256));
    return {
        {QStringLiteral("read me.txt"), text},
        {QStringLiteral("-dash.txt"), "starts with a dash\n"},
        {QStringLiteral("ﾊﾝｶｸ.txt"), "half-width\n"},
        {QStringLiteral("サブ フォルダ/名前.txt"), QStringLiteral("日本語の中身\n").toUtf8()},
        {QStringLiteral("サブ フォルダ/data.bin"), binary},
        {QStringLiteral("サブ フォルダ/empty.txt"), QByteArray()},
        {QStringLiteral("deep/a/b/c.txt"), "deep\n"},
        // 60 characters, 180 bytes in UTF-8 (what Joliet and the formats' fields can hold).
        {QStringLiteral("deep/") + QStringLiteral("長い名前のファイル").repeated(6) +
             QStringLiteral("とても長い.txt"),
         "long\n"},
    };
}

// Everything below the folder (files, folders, links) by relative path.
QStringList everythingBelow(const QString& folder)
{
    QStringList out;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << root.relativeFilePath(it.next());
    return out;
}

struct Made {
    QString name;   // the archive's file name in the browsed folder
    QString folder; // the folder the program extracts it into ("gz" for gz.tar.gz)
    bool links;     // holds a link, which the program does not make (and says so)
};

} // namespace

class ArchiveClickthroughTest : public QObject
{
    Q_OBJECT

    struct Run : ArchiveWindowRun {
        QTemporaryDir source;
        QTemporaryDir reference;
        QList<Made> made;

        Run()
        {
            copyLibraries();
            const QString bin = qEnvironmentVariable("KORAMO_BUILD_BIN");
            QVERIFY(QFile::copy(bin + QStringLiteral("/libunarc32.so"),
                                folder.path() + QStringLiteral("/libunarc32.so")));
            const QMap<QString, QByteArray> files = sourceFiles();
            for (auto it = files.begin(); it != files.end(); ++it) {
                const QString path = source.path() + QLatin1Char('/') + it.key();
                QVERIFY(QDir().mkpath(QFileInfo(path).path()));
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(it.value());
            }
            makeArchives(files.keys());
            collectReports();
            start({browse.path()});
        }

        void make(const QString& name, const QString& into, const QString& tool,
                  const QStringList& arguments, bool links = false)
        {
            QVERIFY2(runTool(tool, arguments, source.path()), qPrintable(name));
            made.append({name, into, links});
        }

        void makeArchives(const QStringList& files)
        {
            const QString at = browse.path() + QLatin1Char('/');
            const QStringList top{QStringLiteral("read me.txt"), QStringLiteral("-dash.txt"),
                                  QStringLiteral("ﾊﾝｶｸ.txt"), QStringLiteral("サブ フォルダ"),
                                  QStringLiteral("deep")};
            make(QStringLiteral("seven.7z"), QStringLiteral("seven"), QStringLiteral("7z"),
                 QStringList{QStringLiteral("a"), QStringLiteral("-bd"), QStringLiteral("-bso0"),
                             at + QStringLiteral("seven.7z"), QStringLiteral("--")} +
                     top);
            const QList<std::pair<QString, QString>> tars{
                {QStringLiteral("gz"), QStringLiteral("--gzip")},
                {QStringLiteral("bz2"), QStringLiteral("--bzip2")},
                {QStringLiteral("xz"), QStringLiteral("--xz")},
                {QStringLiteral("zst"), QStringLiteral("--zstd")}};
            for (const auto& [ending, option] : tars) {
                const QString name = ending + QStringLiteral(".tar.") + ending;
                make(name, ending, QStringLiteral("tar"),
                     QStringList{option, QStringLiteral("-cf"), at + name, QStringLiteral("--")} +
                         top);
            }
            make(QStringLiteral("image.iso"), QStringLiteral("image"),
                 QStringLiteral("genisoimage"),
                 {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-J"),
                  QStringLiteral("-joliet-long"), QStringLiteral("-input-charset"),
                  QStringLiteral("utf-8"), QStringLiteral("-o"), at + QStringLiteral("image.iso"),
                  source.path()});
            make(QStringLiteral("infozip.zip"), QStringLiteral("infozip"), QStringLiteral("zip"),
                 QStringList{QStringLiteral("-q"), QStringLiteral("-X"), QStringLiteral("-r"),
                             at + QStringLiteral("infozip.zip"), QStringLiteral("--")} +
                     top);
            // jlha writes the names in CP932 when told to, as LZH archives made on Windows hold
            // them.
            make(QStringLiteral("jlha.lzh"), QStringLiteral("jlha"), QStringLiteral("sh"),
                 QStringList{QStringLiteral("-c"),
                             QStringLiteral("JAVA_TOOL_OPTIONS=-Dlha.encoding=MS932 jlha aq "
                                            "\"$0\" \"$@\" 2>/dev/null"),
                             at + QStringLiteral("jlha.lzh")} +
                     files);
            make(QStringLiteral("gcab.cab"), QStringLiteral("gcab"), QStringLiteral("gcab"),
                 QStringList{QStringLiteral("-c"), QStringLiteral("-z"),
                             at + QStringLiteral("gcab.cab"), QStringLiteral("--")} +
                     files);
            const QString rar = QStringLiteral(KORAMO_RAR_SAMPLE);
            QVERIFY(QFile::copy(rar, at + QStringLiteral("sample.rar")));
            made.append({QStringLiteral("sample.rar"), QStringLiteral("sample"), true});
        }

        // What bsdtar extracts from the archive, in its own folder. LZH names without a UTF-8
        // mark are CP932, which bsdtar is told.
        QString bsdtarOf(const Made& archive) const
        {
            const QString out = reference.path() + QLatin1Char('/') + archive.folder;
            QDir().mkpath(out);
            QStringList arguments{QStringLiteral("-xf"), browsed(archive.name),
                                  QStringLiteral("-C"), out};
            if (archive.name.endsWith(QLatin1String(".lzh")))
                arguments << QStringLiteral("--options") << QStringLiteral("hdrcharset=CP932");
            if (!runTool(QStringLiteral("bsdtar"), arguments))
                return {};
            return out;
        }
    };

private Q_SLOTS:
    void everyArchiveListsAndExtractsAsBsdtarDoes()
    {
        Run run;
        QVERIFY(!QTest::currentTestFailed());
        const QMap<QString, QByteArray> source = sourceFiles();
        for (const Made& archive : std::as_const(run.made)) {
            const QString expected = run.bsdtarOf(archive);
            QVERIFY2(!expected.isEmpty(), qPrintable(archive.name));
            const QMap<QString, QByteArray> reference = filesBelow(expected, FileLinks::Skip);
            const QStringList referenceEntries = everythingBelow(expected);
            // Every archive of the tree holds the tree (the RAR sample its own files).
            if (archive.name != QLatin1String("sample.rar"))
                QCOMPARE(reference, source);
            QVERIFY2(!reference.isEmpty(), qPrintable(archive.name));

            // The click: each file is a row with its size; every row names something bsdtar
            // found (a folder, a file or a link), so no name is garbled.
            run.click(archive.name);
            QMap<QString, qint64> sizes;
            QTreeWidget* list = run.list();
            for (int i = 0; i < list->topLevelItemCount(); ++i) {
                QString name = list->topLevelItem(i)->text(0);
                name.replace(QLatin1Char('\\'), QLatin1Char('/'));
                while (name.endsWith(QLatin1Char('/')))
                    name.chop(1);
                if (name.startsWith(QLatin1String("./")))
                    name.remove(0, 2);
                // The root folder itself (an image's "." record) names the destination.
                if (name.isEmpty() || name == QLatin1String("."))
                    continue;
                QVERIFY2(referenceEntries.contains(name),
                         qPrintable(archive.name + QStringLiteral(": ") + name));
                sizes.insert(name, list->topLevelItem(i)->text(1).toLongLong());
            }
            for (auto it = reference.begin(); it != reference.end(); ++it) {
                QVERIFY2(sizes.contains(it.key()),
                         qPrintable(archive.name + QStringLiteral(": no row for ") + it.key()));
                QCOMPARE(sizes.value(it.key()), qint64(it.value().size()));
            }

            // "フォルダにファイル名をつけて解凍": into a folder named after the archive. A link is
            // not made and the program says so in one message.
            if (archive.links)
                run.prompts.expectMessages(1);
            const int reportsBefore = int(run.reports.size());
            run.extractWith("kaitou", 5);
            QCOMPARE(int(run.reports.size()), reportsBefore + 1);
            const QString ours = run.browsed(archive.folder);
            QVERIFY2(QFileInfo(ours).isDir(), qPrintable(run.reports.last()));
            QCOMPARE(filesBelow(ours, FileLinks::Skip), reference);
            // Nothing else came out (folders aside): no link, no stray file.
            for (const QString& entry : everythingBelow(ours)) {
                const QFileInfo info(ours + QLatin1Char('/') + entry);
                QVERIFY2(!info.isSymLink(),
                         qPrintable(archive.name + QStringLiteral(": ") + entry));
                QVERIFY2(info.isDir() || reference.contains(entry),
                         qPrintable(archive.name + QStringLiteral(": ") + entry));
            }
        }
        QCOMPARE(run.made.size(), 10);
        QCOMPARE(run.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(ArchiveClickthroughTest)
#include "tst_archive_clickthrough.moc"
