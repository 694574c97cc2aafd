// The command lines handed to the archiver libraries: every table row, quoted.
#include "archive/CommandLines.h"

#include <QtTest>

using archive::ExtractWay;
using archive::Family;

namespace
{
// The line as built, or a marker that no line was built.
QString built(const std::optional<QString>& line)
{
    return line ? *line : QStringLiteral("<not built>");
}

const QString A = QStringLiteral("/home/user/my files/ARC.LZH");
const QString D = QStringLiteral("/home/user/out dir/");
const QString Z = QStringLiteral("/srv/data/pack.zip");
const QString C = QStringLiteral("/srv/data/setup.cab");
const QString W = QStringLiteral("/opt/koramo dir/temp/");
} // namespace

class CommandLinesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void familyIgnoresCase()
    {
        QCOMPARE(archive::familyOfFileName(QStringLiteral("ARC.LZH")), Family::Lzh);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("a.Zip")), Family::Zip);
        QCOMPARE(archive::familyOfFileName(QStringLiteral("x.cab")), Family::Cab);
        QVERIFY(!archive::familyOfFileName(QStringLiteral("notes.txt")));
        QVERIFY(!archive::familyOfFileName(QString()));
    }

    void extractionTable_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, Family f, ExtractWay w, const QString& a,
                            const QString& e) {
            QTest::newRow(name) << int(f) << int(w) << a << e;
        };
        const QString q = QStringLiteral("\"");
        row("lzh current", Family::Lzh, ExtractWay::CurrentFolder, A,
            QStringLiteral("e -d1 ") + q + A + q + QStringLiteral(" ") + q + D + q);
        row("lzh chosen", Family::Lzh, ExtractWay::ChosenFolder, A,
            QStringLiteral("e -d1 -jf0 ") + q + A + q + QStringLiteral(" ") + q + D + q);
        row("lzh new", Family::Lzh, ExtractWay::NewFolder, A,
            QStringLiteral("e -d1 -jf0 ") + q + A + q + QStringLiteral(" ") + q + D + q);
        row("lzh named", Family::Lzh, ExtractWay::NamedFolder, A,
            QStringLiteral("e -d1 ") + q + A + q + QStringLiteral(" ") + q + D + q);
        for (ExtractWay w : {ExtractWay::CurrentFolder, ExtractWay::ChosenFolder,
                             ExtractWay::NewFolder, ExtractWay::NamedFolder}) {
            const QByteArray z = "zip " + QByteArray::number(int(w));
            row(z.constData(), Family::Zip, w, Z,
                QStringLiteral("-x ") + q + Z + q + QStringLiteral(" ") + q + D + q);
            const QByteArray c = "cab " + QByteArray::number(int(w));
            row(c.constData(), Family::Cab, w, C,
                QStringLiteral("-x -r ") + q + C + q + QStringLiteral(" ") + q + D + q);
        }
    }

    void extractionTable()
    {
        QFETCH(int, family);
        QFETCH(int, way);
        QFETCH(QString, archive);
        QFETCH(QString, expected);
        QCOMPARE(built(archive::extractCommand(Family(family), ExtractWay(way), archive, D)),
                 expected);
    }

    void memberListIsQuotedAndBlankSeparated()
    {
        QCOMPARE(built(archive::memberList({})), QString());
        QCOMPARE(built(archive::memberList({QStringLiteral("a.txt")})),
                 QStringLiteral("\"a.txt\""));
        QCOMPARE(
            built(archive::memberList({QStringLiteral("dir/my file.txt"), QStringLiteral("b")})),
            QStringLiteral("\"dir/my file.txt\" \"b\""));
    }

    void extractSelectedMembers()
    {
        const QStringList members{QStringLiteral("read me.txt"), QStringLiteral("src/a.c")};
        const QString tail =
            QStringLiteral(" \"") + D + QStringLiteral("\" \"read me.txt\" \"src/a.c\"");
        QCOMPARE(built(archive::extractMembersCommand(Family::Lzh, A, D, members)),
                 QStringLiteral("e --exact \"") + A + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::extractMembersCommand(Family::Zip, Z, D, members)),
                 QStringLiteral("-x --exact \"") + Z + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::extractMembersCommand(Family::Cab, C, D, members)),
                 QStringLiteral("-x -r --exact \"") + C + QStringLiteral("\"") + tail);
        // Nothing selected: the line ends in the destination and one blank.
        QCOMPARE(built(archive::extractMembersCommand(Family::Lzh, A, D, {})),
                 QStringLiteral("e --exact \"") + A + QStringLiteral("\" \"") + D +
                     QStringLiteral("\" "));
    }

    void deleteOneMember()
    {
        QCOMPARE(built(archive::deleteMemberCommand(A, QStringLiteral("old notes.txt"))),
                 QStringLiteral("d -jyd --exact \"") + A + QStringLiteral("\" \"old notes.txt\""));
    }

    void addToLzh()
    {
        const QString f = QStringLiteral("/tmp/new file.txt");
        // An empty base folder becomes the root; the line ends in one blank.
        QCOMPARE(built(archive::addToLzhCommand(A, QString(), f)),
                 QStringLiteral("u -a1 -l1 -jp1 -o2 \"") + A + QStringLiteral("\" \"/\" \"") + f +
                     QStringLiteral("\" "));
        QCOMPARE(built(archive::addToLzhCommand(A, QStringLiteral("/tmp/base  "), f)),
                 QStringLiteral("u -a1 -l1 -jp1 -o2 \"") + A +
                     QStringLiteral("\" \"/tmp/base/\" \"") + f + QStringLiteral("\" "));
        QCOMPARE(built(archive::addToLzhCommand(A, QStringLiteral("/tmp/base/"),
                                                W + QStringLiteral("*.*"))),
                 QStringLiteral("u -a1 -l1 -jp1 -o2 \"") + A +
                     QStringLiteral("\" \"/tmp/base/\" \"") + W + QStringLiteral("*.*\" "));
    }

    void renameMembers()
    {
        QCOMPARE(
            built(archive::renameMembersCommand(A, QStringLiteral("ARC.LZH"),
                                                {QStringLiteral("a b.txt"), QStringLiteral("c")})),
            QStringLiteral("n --exact \"") + A +
                QStringLiteral("\" \"ARC.LZH\" \"a b.txt\" \"c\""));
        // Nothing selected: the line ends in the file name and one blank.
        QCOMPARE(built(archive::renameMembersCommand(A, QStringLiteral("ARC.LZH"), {})),
                 QStringLiteral("n --exact \"") + A + QStringLiteral("\" \"ARC.LZH\" "));
    }

    void openMemberByDoubleClick()
    {
        const QString m = QStringLiteral("docs/read me.txt");
        const QString tail =
            QStringLiteral(" \"") + W + QStringLiteral("\" \"") + m + QStringLiteral("\"");
        QCOMPARE(built(archive::openMemberCommand(Family::Lzh, A, W, m)),
                 QStringLiteral("e --exact \"") + A + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::openMemberCommand(Family::Zip, Z, W, m)),
                 QStringLiteral("-x -j --exact \"") + Z + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::openMemberCommand(Family::Cab, C, W, m)),
                 QStringLiteral("-x --exact \"") + C + QStringLiteral("\"") + tail);
        // The work folder gets its separator when given without one.
        QCOMPARE(
            built(archive::openMemberCommand(Family::Lzh, A, QStringLiteral("/opt/k/temp"), m)),
            QStringLiteral("e --exact \"") + A + QStringLiteral("\" \"/opt/k/temp/\" \"") + m +
                QStringLiteral("\""));
    }

    void dragOut()
    {
        const QStringList ms{QStringLiteral("a b.txt"), QStringLiteral("sub/c.txt")};
        const QString tail =
            QStringLiteral(" \"") + W + QStringLiteral("\" \"a b.txt\" \"sub/c.txt\"");
        QCOMPARE(built(archive::dragOutCommand(Family::Lzh, A, W, ms)),
                 QStringLiteral("e -n -d1 -m1 --exact \"") + A + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::dragOutCommand(Family::Zip, Z, W, ms)),
                 QStringLiteral("-x -u --i -o --exact \"") + Z + QStringLiteral("\"") + tail);
        QCOMPARE(built(archive::dragOutCommand(Family::Cab, C, W, ms)),
                 QStringLiteral("-x -r -i --exact \"") + C + QStringLiteral("\"") + tail);
    }

    void aNameWithADoubleQuoteBuildsNoLine()
    {
        const QString bad = QStringLiteral("say \"hi\".txt");
        QVERIFY(!archive::memberList({QStringLiteral("a"), bad}));
        QVERIFY(!archive::extractCommand(Family::Zip, ExtractWay::CurrentFolder, bad, D));
        QVERIFY(!archive::extractMembersCommand(Family::Lzh, A, D, {QStringLiteral("ok"), bad}));
        QVERIFY(!archive::deleteMemberCommand(A, bad));
        QVERIFY(!archive::addToLzhCommand(A, QString(), bad));
        QVERIFY(!archive::renameMembersCommand(A, bad, {}));
        QVERIFY(!archive::openMemberCommand(Family::Cab, C, W, bad));
        QVERIFY(!archive::dragOutCommand(Family::Zip, Z, bad, {QStringLiteral("x")}));
        QCOMPARE(archive::unquotableNameText(),
                 QStringLiteral("名前に \" を含むファイルやフォルダは書庫操作に使えません。"));
    }

    void baseNames()
    {
        QCOMPARE(archive::memberBaseName(Family::Zip, QStringLiteral("a/b/c.txt")),
                 QStringLiteral("c.txt"));
        QCOMPARE(archive::memberBaseName(Family::Lzh, QStringLiteral("plain.txt")),
                 QStringLiteral("plain.txt"));
        QCOMPARE(archive::memberBaseName(Family::Cab, QStringLiteral("dir\\x.ini")),
                 QStringLiteral("x.ini"));
        // CAB names keep a "/" as part of the name.
        QCOMPARE(archive::memberBaseName(Family::Cab, QStringLiteral("a/b")),
                 QStringLiteral("a/b"));
        // The last separator counts even far beyond the hundredth character.
        const QString deep = QString(150, QLatin1Char('d')) + QStringLiteral("/x/y.bin");
        QCOMPARE(archive::memberBaseName(Family::Lzh, deep), QStringLiteral("y.bin"));
    }

    void folderNamedAfterArchive()
    {
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/work"), QStringLiteral("data.lzh")),
                 QStringLiteral("/work/data/"));
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/"), QStringLiteral("My Pack.ZIP")),
                 QStringLiteral("/My Pack/"));
        // Endings of other lengths are cut whole, the longest that fits.
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/w"), QStringLiteral("-x 名.7z")),
                 QStringLiteral("/w/-x 名/"));
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/w"), QStringLiteral("src-1.0.TAR.GZ")),
                 QStringLiteral("/w/src-1.0/"));
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/w"), QStringLiteral("disc.iso")),
                 QStringLiteral("/w/disc/"));
        QCOMPARE(archive::namedFolderFor(QStringLiteral("/w"), QStringLiteral("a.tar.zst")),
                 QStringLiteral("/w/a/"));
    }
};

QTEST_GUILESS_MAIN(CommandLinesTest)
#include "tst_command_lines.moc"
