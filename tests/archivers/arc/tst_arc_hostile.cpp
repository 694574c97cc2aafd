// libunarc32.so on hostile and damaged archives: nothing is written outside the destination,
// encrypted members and volumes of a set are refused whole, damage is a failure, and the
// formats are read only.

#include "ArcSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;
using namespace arctest;

namespace
{

// A tar written by python3's tarfile with the members the script's `add` calls make.
std::string hostileTar(const TempFolder& dir, const std::string& adds,
                       const std::string& encoding = "utf-8")
{
    const std::string out = dir / "hostile.tar";
    const std::string script = "import io, tarfile\n"
                               "t = tarfile.open(" +
                               quote(out) + ", 'w', format=tarfile.GNU_FORMAT, encoding='" +
                               encoding +
                               "')\n"
                               "def add(name, body=b'x', link=None):\n"
                               "    i = tarfile.TarInfo(name)\n"
                               "    i.mtime = 1600000000\n"
                               "    if link is not None:\n"
                               "        i.type = tarfile.SYMTYPE\n"
                               "        i.linkname = link\n"
                               "        t.addfile(i)\n"
                               "        return\n"
                               "    i.size = len(body)\n"
                               "    t.addfile(i, io.BytesIO(body))\n" +
                               adds + "t.close()\n";
    EXPECT_EQ(python(script), 0);
    return out;
}

std::string truncated(const TempFolder& dir, const std::string& archive, double fraction)
{
    const std::string body = readFile(archive);
    const std::string out = archive + ".cut";
    writeFile(out, body.substr(0, static_cast<size_t>(body.size() * fraction)));
    return out;
}

} // namespace

TEST(ArcHostile, NothingIsWrittenOutsideTheDestination)
{
    TempFolder dir;
    const std::string name200(200, 'n');
    const std::string tar = hostileTar(dir, "add('../evil.txt')\n"
                                            "add('a/../../evil2.txt')\n"
                                            "add('" +
                                                dir.path() +
                                                "/abs.txt')\n"
                                                "add('out', link='" +
                                                dir.path() +
                                                "')\n"
                                                "add('out/through.txt')\n"
                                                "add('up', link='../..')\n"
                                                "add('up/x/through2.txt')\n"
                                                "add('-m1', b'dash')\n"
                                                "add('" +
                                                name200 +
                                                "', b'long')\n"
                                                "add('good.txt', b'good')\n");
    const auto run = unarc().run("-x -o " + dq(tar) + " " + dq(dir / "dest/"), 8192);
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_NE(run.report.find("解凍先の外を指すパスのため展開しません"), std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find("リンクや特殊ファイルは展開しません"), std::string::npos)
        << run.report;
    EXPECT_FALSE(exists(dir / "evil.txt"));
    EXPECT_FALSE(exists(dir / "evil2.txt"));
    EXPECT_FALSE(exists(dir / "through.txt"));
    EXPECT_FALSE(exists(dir / "x/through2.txt"));
    // Safe members all come out, the absolute one beneath the destination at most.
    EXPECT_EQ(readFile(dir / "dest/good.txt"), "good");
    EXPECT_EQ(readFile(dir / "dest/-m1"), "dash");
    EXPECT_EQ(readFile(dir / "dest/" + name200), "long");
    EXPECT_FALSE(exists(dir / "abs.txt.tmp"));
    // Through the links' names only folders of the destination were made: nothing else appeared
    // beside it, and those names are folders, not links.
    for (const std::string& f : filesBelow(dir.path())) {
        if (f != "hostile.tar") {
            EXPECT_EQ(f.rfind("dest/", 0), 0u) << f;
        }
    }
    for (const char* link : {"dest/out", "dest/up"}) {
        struct stat st {
        };
        if (::lstat((dir / link).c_str(), &st) == 0) {
            EXPECT_TRUE(S_ISDIR(st.st_mode)) << link;
        }
    }
}

TEST(ArcHostile, Cp932NamesAreDecodedAndTheChoiceIsFollowed)
{
    TempFolder dir;
    const std::string tar =
        hostileTar(dir, "add('日本語/表.txt', b'cp932')\nadd('ascii.txt', b'a')\n", "cp932");
    bool ok = false;
    int end = 0;
    auto members = unarc().list(tar, ok, end);
    ASSERT_TRUE(ok);
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    EXPECT_EQ(names, (std::vector<std::string>{"日本語/表.txt", "ascii.txt"}));
    auto run = unarc().run("-x -o " + dq(tar) + " " + dq(dir / "dest/"));
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "dest/日本語/表.txt"), "cp932");
    // A user who says the names are EUC-JP gets them read so, in the list and when extracting.
    using Set = int (*)(const char*, const char*);
    auto set = reinterpret_cast<Set>(unarc().symbol("SetNameEncoding"));
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set(tar.c_str(), "EUC-JP"), 0);
    members = unarc().list(tar, ok, end);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_NE(std::string(members[0].name), "日本語/表.txt");
    EXPECT_EQ(std::string(members[1].name), "ascii.txt");
    EXPECT_NE(set(tar.c_str(), "no-such-encoding"), 0);
    ASSERT_EQ(set(tar.c_str(), ""), 0);
    members = unarc().list(tar, ok, end);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(std::string(members[0].name), "日本語/表.txt");
}

// Names stored decomposed (as macOS writes them) come out composed, in the list and on disk,
// short or as long as a file name may be; composed and ASCII names come out as stored.
TEST(ArcHostile, NamesComeOutComposed)
{
    TempFolder dir;
    const std::string tar = hostileTar(dir, "add('\u304b\u3099.txt', b'1')\n"
                                            "add('e\u0301t\u00e9.txt', b'2')\n"
                                            "add('\u3071.txt', b'3')\n"
                                            "add('\u304b\u3099' * 80 + '.txt', b'4')\n"
                                            "add('plain.txt', b'5')\n");
    std::string longName;
    for (int i = 0; i < 80; ++i)
        longName += "が";
    longName += ".txt";
    bool ok = false;
    int end = 0;
    const auto members = unarc().list(tar, ok, end);
    ASSERT_TRUE(ok);
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"が.txt", "été.txt", "ぱ.txt", longName, "plain.txt"}));
    const auto run = unarc().run("-x -o " + dq(tar) + " " + dq(dir / "dest/"), 8192);
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "dest/が.txt"), "1");
    EXPECT_EQ(readFile(dir / "dest/été.txt"), "2");
    EXPECT_EQ(readFile(dir / "dest/ぱ.txt"), "3");
    EXPECT_EQ(readFile(dir / ("dest/" + longName)), "4");
}

TEST(ArcHostile, EncryptedMembersAreListedAndRefusedWhole)
{
    TempFolder dir;
    writeFile(dir / "src/secret.txt", "secret body\n");
    writeFile(dir / "src/other.txt", "other body\n");
    const std::string sevenZip = dir / "locked.7z";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && 7z a -bd -bso0 -pX " + quote(sevenZip) +
                    " secret.txt other.txt"),
              0);
    for (const std::string& archive : {sevenZip}) {
        SCOPED_TRACE(archive);
        bool ok = false;
        int end = 0;
        const auto members = unarc().list(archive, ok, end);
        ASSERT_TRUE(ok);
        EXPECT_GE(members.size(), 2u);
        const std::string dest = dir / ("out-" + std::to_string(archive.size()) + "/");
        const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dest), 8192);
        EXPECT_NE(run.result, 0) << run.report;
        EXPECT_NE(run.report.find("暗号化"), std::string::npos) << run.report;
        // Nothing of an encrypted member is left, not even a part.
        const std::vector<std::string> left = filesBelow(dest);
        for (const std::string& f : left)
            EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
        if (archive == sevenZip) {
            EXPECT_TRUE(left.empty());
        }
    }
}

// A 7z whose directory is encrypted too cannot be listed; its extraction says why.
TEST(ArcHostile, EncryptedDirectoryIsRefusedAsEncrypted)
{
    TempFolder dir;
    writeFile(dir / "src/secret.txt", "secret body\n");
    const std::string archive = dir / "hidden.7z";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && 7z a -bd -bso0 -pX -mhe=on " +
                    quote(archive) + " secret.txt"),
              0);
    bool ok = true;
    int end = 0;
    unarc().list(archive, ok, end);
    EXPECT_FALSE(ok);
    const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dir / "out/"));
    EXPECT_NE(run.result, 0);
    EXPECT_NE(run.report.find("暗号化された書庫には対応していません"), std::string::npos)
        << run.report;
    EXPECT_TRUE(filesBelow(dir / "out").empty());
}

// In the RAR samples a.txt and c.txt are stored in the clear, b.txt and d.txt encrypted. The
// libarchive of Debian 12 does not mark RAR members as encrypted; the library reads that from the
// headers and refuses them as encrypted, not as damaged, and nothing of them is left.
TEST(ArcHostile, EncryptedRarMembersAreRefused)
{
    for (const char* sample :
         {"read_format_rar4_encrypted.rar", "read_format_rar5_encrypted.rar"}) {
        SCOPED_TRACE(sample);
        TempFolder dir;
        bool ok = false;
        int end = 0;
        EXPECT_EQ(unarc().list(dataFile(sample), ok, end).size(), 4u);
        const auto run = unarc().run("-x -o " + dq(dataFile(sample)) + " " + dq(dir / "out/"));
        EXPECT_NE(run.result, 0) << run.report;
        EXPECT_NE(run.report.find("Skipped  b.txt : 暗号化されたファイルには対応していません"),
                  std::string::npos)
            << run.report;
        EXPECT_NE(run.report.find("Skipped  d.txt : 暗号化"), std::string::npos) << run.report;
        EXPECT_EQ(run.report.find("壊れています"), std::string::npos) << run.report;
        EXPECT_EQ(readFile(dir / "out/a.txt"), "This is from a.txt");
        EXPECT_EQ(readFile(dir / "out/c.txt"), "This is from c.txt");
        for (const std::string& f : filesBelow(dir / "out")) {
            EXPECT_NE(f, "b.txt");
            EXPECT_NE(f, "d.txt");
            EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
        }
    }
}

TEST(ArcHostile, VolumesOfASetAreListedAndRefused)
{
    for (const char* sample : {"rar_multivolume_single_file.vol1.rar",
                               "read_format_rar5_multiarchive_solid.vol01.rar"}) {
        SCOPED_TRACE(sample);
        TempFolder dir;
        bool ok = false;
        int end = 0;
        const auto members = unarc().list(dataFile(sample), ok, end);
        ASSERT_TRUE(ok);
        EXPECT_FALSE(members.empty());
        const auto run = unarc().run("-x -o " + dq(dataFile(sample)) + " " + dq(dir / "dest/"));
        EXPECT_NE(run.result, 0);
        EXPECT_NE(run.report.find("分割された書庫には対応していません"), std::string::npos)
            << run.report;
        EXPECT_FALSE(exists(dir / "dest"));
    }
    // A whole RAR archive is no volume: the same check lets it through.
    TempFolder dir;
    const auto run = unarc().run("-x -o " + dq(dataFile("read_format_rar5_compressed.rar")) + " " +
                                 dq(dir / "dest/"));
    EXPECT_EQ(run.result, 0) << run.report;
}

TEST(ArcHostile, TruncatedArchivesFail)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    for (const char* ending : {".7z", ".tar", ".tar.gz", ".tar.xz", ".tar.zst", ".iso"}) {
        SCOPED_TRACE(ending);
        const std::string archive = archiveOfTree(dir, tree, ending);
        ASSERT_FALSE(archive.empty());
        const std::string cut = truncated(dir, archive, 0.35);
        const std::string dest = dir / (std::string("cut") + ending + "/");
        const auto run = unarc().run("-x -o " + dq(cut) + " " + dq(dest), 8192);
        EXPECT_NE(run.result, 0) << run.report;
        EXPECT_TRUE(run.report.find("壊れています") != std::string::npos ||
                    run.report.find("開けません") != std::string::npos ||
                    run.report.find("Error") != std::string::npos)
            << run.report;
        for (const std::string& f : filesBelow(dest))
            EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
        // The big member, whose data is cut, never looks complete.
        if (exists(dest + "big.bin")) {
            EXPECT_EQ(readFile(dest + "big.bin"), readFile(tree.root + "/big.bin"));
        }
    }
}

TEST(ArcHostile, AFailureInTheLastOfManyMembers)
{
    TempFolder dir;
    std::string adds;
    for (int i = 0; i < 60; ++i)
        adds +=
            "add('m" + std::to_string(i) + ".txt', b'" + std::string(100, 'a' + i % 26) + "')\n";
    adds += "add('last.bin', bytes(range(256)) * 400)\n";
    const std::string tar = hostileTar(dir, adds);
    // Cut in the middle of the last member's data.
    const std::string body = readFile(tar);
    const std::string cut = dir / "cut.tar";
    writeFile(cut, body.substr(0, body.size() - 10240 - 50000));
    const auto run = unarc().run("-x -o " + dq(cut) + " " + dq(dir / "dest/"), 16384);
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_EQ(run.report.find("Melted  last.bin"), std::string::npos) << run.report;
    EXPECT_FALSE(exists(dir / "dest/last.bin"));
    const auto files = filesBelow(dir / "dest");
    EXPECT_EQ(files.size(), 60u);
    EXPECT_EQ(readFile(dir / "dest/m59.txt"), std::string(100, 'a' + 59 % 26));
}

TEST(ArcHostile, TheFormatsAreReadOnly)
{
    TempFolder dir;
    const std::string tar = hostileTar(dir, "add('a.txt')\n");
    const std::string before = readFile(tar);
    for (const char* sw : {"-a", "-d", "-n", "-f"}) {
        const auto run = unarc().run(std::string(sw) + " " + dq(tar) + " a.txt");
        EXPECT_NE(run.result, 0) << sw;
        EXPECT_NE(run.report.find("読み取り専用"), std::string::npos) << run.report;
    }
    EXPECT_EQ(unarc().run("-q " + dq(tar)).result != 0, true);
    EXPECT_EQ(readFile(tar), before);
    // Not an archive at all, and no archive named.
    writeFile(dir / "plain.7z", "just text");
    EXPECT_NE(unarc().run("-x " + dq(dir / "plain.7z") + " " + dq(dir / "d/")).result, 0);
    bool ok = true;
    int end = 0;
    unarc().list(dir / "plain.7z", ok, end);
    EXPECT_FALSE(ok);
    EXPECT_NE(unarc().run("-x").result, 0);
}

// The folder a member went into is kept open for the next member of the same folder: members
// that take turns between folders each land in their own, and a link that already lies in the
// destination under a folder's name is never entered, however its namesake members are mixed
// with the others.
TEST(ArcHostile, MembersTakingTurnsBetweenFoldersLandInTheirOwn)
{
    TempFolder dir;
    std::filesystem::create_directories(dir / "outside");
    std::filesystem::create_directories(dir / "dest");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "dest/link");
    const std::string tar = hostileTar(dir, "add('a/1', b'a1')\n"
                                            "add('a/2', b'a2')\n"
                                            "add('link/evil', b'no')\n"
                                            "add('b/1', b'b1')\n"
                                            "add('a/3', b'a3')\n"
                                            "add('link/evil2', b'no')\n"
                                            "add('link/evil3', b'no')\n"
                                            "add('a/sub/4', b'a4')\n"
                                            "add('a/5', b'a5')\n"
                                            "add('6', b'top')\n");
    const auto run = unarc().run("-x -o " + dq(tar) + " " + dq(dir / "dest/"), 8192);
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "dest"),
              (std::vector<std::string>{"6", "a/1", "a/2", "a/3", "a/5", "a/sub/4", "b/1"}));
    EXPECT_EQ(readFile(dir / "dest/a/3"), "a3");
    EXPECT_EQ(readFile(dir / "dest/a/5"), "a5");
    EXPECT_EQ(readFile(dir / "dest/b/1"), "b1");
    EXPECT_EQ(readFile(dir / "dest/6"), "top");
    EXPECT_TRUE(filesBelow(dir / "outside").empty());
    for (const char* member : {"link/evil", "link/evil2", "link/evil3"})
        EXPECT_NE(run.report.find(std::string("Error  ") + member), std::string::npos)
            << run.report;
}

// An image whose directory points back at itself (found by fuzzing): libarchive hands out the
// same members again without end. Listing and extraction must end, with the damage reported.
TEST(ArcHostile, AnImageWhoseMembersComeRoundAgainEnds)
{
    const std::string image = std::string(KORAMO_ARC_DATA) +
                              "/../../../fuzz/regressions/fuzz_unarc/iso_members_without_end.iso";
    ASSERT_TRUE(exists(image)) << image;
    bool ok = false;
    int findResult = 0;
    const auto members = unarc().list(image, ok, findResult);
    EXPECT_LT(members.size(), 100u);
    EXPECT_NE(findResult, 0);

    // Extraction reads the names in their stored form, where this image happens to end after
    // five members; it must end too, and leave nothing half written.
    TempFolder dir;
    const std::string dest = dir / "out/";
    const auto run = unarc().run("-x -o " + dq(image) + " " + dq(dest), 8192);
    EXPECT_NE(run.report.find("Extracting from archive"), std::string::npos) << run.report;
    for (const std::string& f : filesBelow(dest))
        EXPECT_EQ(f.find(".koramo-part"), std::string::npos) << f;
}
