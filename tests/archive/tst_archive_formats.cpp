// The table of archive formats, row by row: every row names a library of the build that loads
// and answers, an ending that the program recognises, command lines that start with the row's
// switches, and the about box's row of its library.
#include "E2eSupport.h"

#include "about/AboutDialog.h"
#include "archive/ArchiveFormats.h"
#include "archive/ArchiveListing.h"
#include "archive/ArchiverLibrary.h"
#include "archive/CommandLines.h"

#include <QFile>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

Q_DECLARE_METATYPE(const archive::ArchiveFormat*)

class ArchiveFormatsTest : public QObject
{
    Q_OBJECT

    static QString bin() { return qEnvironmentVariable("KORAMO_BUILD_BIN"); }
    static void rows()
    {
        QTest::addColumn<const archive::ArchiveFormat*>("format");
        for (const archive::ArchiveFormat& format : archive::archiveFormats())
            QTest::newRow(format.endings.front()) << &format;
    }

private Q_SLOTS:
    void rowsAreDistinct()
    {
        QSet<int> families;
        QSet<QString> endings, libraries, prefixes, labels;
        qsizetype endingCount = 0;
        for (const archive::ArchiveFormat& format : archive::archiveFormats()) {
            families.insert(static_cast<int>(format.family));
            for (const char* ending : format.endings)
                endings.insert(QString::fromLatin1(ending).toLower());
            endingCount += static_cast<qsizetype>(format.endings.size());
            libraries.insert(QString::fromLatin1(format.library));
            prefixes.insert(QString::fromLatin1(format.entryPrefix));
            labels.insert(QString::fromLatin1(format.aboutNameLabel));
            labels.insert(QString::fromLatin1(format.aboutVersionLabel));
        }
        const qsizetype n = archive::archiveFormats().size();
        QVERIFY(n >= 3);
        QCOMPARE(families.size(), n);
        // No ending belongs to two rows.
        QCOMPARE(endings.size(), endingCount);
        QCOMPARE(libraries.size(), n);
        QCOMPARE(prefixes.size(), n);
        QCOMPARE(labels.size(), 2 * n);
    }

    void rowOfItsFamily_data() { rows(); }
    void rowOfItsFamily()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        QCOMPARE(&archive::formatOf(format->family), format);
    }

    void endingNamesTheFormat_data() { rows(); }
    void endingNamesTheFormat()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        QVERIFY(!format->endings.empty());
        for (const char* text : format->endings) {
            const QString ending = QString::fromLatin1(text);
            QVERIFY(ending.startsWith(QLatin1Char('.')));
            QCOMPARE(archive::familyOfFileName(QStringLiteral("arc") + ending), format->family);
            QCOMPARE(archive::familyOfFileName(QStringLiteral("-日本語 名") + ending.toUpper()),
                     format->family);
            // Only the end of the name counts.
            QVERIFY(!archive::familyOfFileName(QStringLiteral("arc") + ending +
                                               QStringLiteral(".txt")));
            QVERIFY(
                !archive::familyOfFileName(QStringLiteral("arc") + ending.left(ending.size() - 1)));
        }
    }

    // Endings of several parts: the longest that fits decides, and a part alone names nothing.
    void compoundEndings()
    {
        using archive::Family;
        QCOMPARE(archive::familyOfFileName(QStringLiteral("src.tar.gz")), Family::ReadOnly);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("SRC.TAR.ZST")), Family::ReadOnly);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("a.zip.7z")), Family::ReadOnly);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("a.7z.zip")), Family::Zip);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("a.tar.lzh")), Family::Lzh);
        QVERIFY(!archive::familyOfFileName(QStringLiteral("notes.gz")));
        QVERIFY(!archive::familyOfFileName(QStringLiteral("notes.xz")));
        QVERIFY(!archive::familyOfFileName(QStringLiteral("notes.bz2")));
        QVERIFY(!archive::familyOfFileName(QStringLiteral("a.tar.gz.txt")));
    }

    void libraryLoadsAndAnswers_data() { rows(); }
    void libraryLoadsAndAnswers()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        QVERIFY2(QFile::exists(bin() + QLatin1Char('/') + QString::fromLatin1(format->library)),
                 format->library);
        const archive::ArchiverLibrary library(format->family, bin());
        QVERIFY(library.isLoaded());
        // The command entry point has the bare prefix as its name; the others carry it first.
        QVERIFY(library.resolve("") != nullptr);
        for (const char* entry : {"OpenArchive", "FindFirst", "FindNext", "CloseArchive"})
            QVERIFY2(library.resolve(entry) != nullptr, entry);
        QVERIFY(library.version().has_value());
        QVERIFY(!archive::versionText(format->family, bin()).isEmpty());
    }

    void commandLinesOpenWithTheRowsSwitches_data() { rows(); }
    void commandLinesOpenWithTheRowsSwitches()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        using archive::ExtractWay;
        const QString archivePath = QStringLiteral("/tmp/a b/-x.arc");
        const QString to = QStringLiteral("/tmp/to/");
        for (const char* switches : {format->extractHere, format->extractInto,
                                     format->extractMembers, format->openMember, format->dragOut})
            QVERIFY2(QByteArray(switches).endsWith(' '), switches);
        // Lines that name members the user chose take each name as a whole member path.
        for (const char* switches : {format->extractMembers, format->openMember, format->dragOut})
            QVERIFY2(QByteArray(switches).contains("--exact "), switches);
        const auto starts = [](const std::optional<QString>& line, const char* switches) {
            return line && line->startsWith(QString::fromLatin1(switches));
        };
        QVERIFY(starts(
            archive::extractCommand(format->family, ExtractWay::CurrentFolder, archivePath, to),
            format->extractHere));
        QVERIFY(starts(
            archive::extractCommand(format->family, ExtractWay::NamedFolder, archivePath, to),
            format->extractHere));
        QVERIFY(starts(
            archive::extractCommand(format->family, ExtractWay::ChosenFolder, archivePath, to),
            format->extractInto));
        QVERIFY(
            starts(archive::extractCommand(format->family, ExtractWay::NewFolder, archivePath, to),
                   format->extractInto));
        QVERIFY(starts(
            archive::extractMembersCommand(format->family, archivePath, to, {QStringLiteral("a")}),
            format->extractMembers));
        QVERIFY(
            starts(archive::openMemberCommand(format->family, archivePath, to, QStringLiteral("a")),
                   format->openMember));
        QVERIFY(
            starts(archive::dragOutCommand(format->family, archivePath, to, {QStringLiteral("a")}),
                   format->dragOut));
    }

    void memberNamesSplitAtTheRowsSeparator_data() { rows(); }
    void memberNamesSplitAtTheRowsSeparator()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        const QChar separator(format->memberSeparator);
        QCOMPARE(archive::memberSeparator(format->family), separator);
        const QString member = QStringLiteral("dir") + separator + QStringLiteral("sub") +
                               separator + QStringLiteral("名前.txt");
        QCOMPARE(archive::memberBaseName(format->family, member), QStringLiteral("名前.txt"));
    }

    // The library lists a member in a subfolder with the row's separator, and no other.
    void libraryListsWithTheRowsSeparator_data() { rows(); }
    void libraryListsWithTheRowsSeparator()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        QTemporaryDir source;
        QTemporaryDir made;
        writeSourceTree(source.path());
        const QString path =
            made.path() + QStringLiteral("/arc") + QString::fromLatin1(format->endings.front());
        QVERIFY(makeArchive(format->family, source.path(), path));
        QTreeWidget list;
        QVERIFY(archive::listArchive(format->family, path, &list, 0, bin()) >= 4);
        const QChar separator(format->memberSeparator);
        const QChar other = separator == QLatin1Char('/') ? QLatin1Char('\\') : QLatin1Char('/');
        QStringList inFolder;
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QString name = list.topLevelItem(i)->text(0);
            QVERIFY2(!name.contains(other), qPrintable(name));
            if (name.startsWith(QStringLiteral("sub folder") + separator))
                inFolder << archive::memberBaseName(format->family, name);
        }
        inFolder.sort();
        QCOMPARE(inFolder, (QStringList{QStringLiteral("data.bin"), QStringLiteral("empty.txt")}));
    }

    void aboutBoxShowsTheLibrary_data() { rows(); }
    void aboutBoxShowsTheLibrary()
    {
        QFETCH(const archive::ArchiveFormat*, format);
        about::AboutDialog about(bin());
        about.loadVersions();
        const auto* name = about.findChild<QLabel*>(QString::fromLatin1(format->aboutNameLabel));
        QVERIFY(name);
        QCOMPARE(name->text(), QString::fromUtf8(format->aboutName));
        const QLabel* version = about.versionLabel(QString::fromLatin1(format->aboutVersionLabel));
        QVERIFY(version);
        QCOMPARE(version->text(), archive::versionText(format->family, bin()));
    }
};

QTEST_MAIN(ArchiveFormatsTest)
#include "tst_archive_formats.moc"
