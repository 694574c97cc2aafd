// libcab32.so through its C entry points, cross-checked with cabextract and gcab.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utime.h>

using namespace testsupport;

namespace
{

LoadedArchiver& cab()
{
    static LoadedArchiver lib("libcab32.so", "Cab");
    return lib;
}

// A tree with Japanese names, folders, an empty file, and compressible and incompressible
// data spanning many 32 KiB blocks.
void makeTree(const std::string& root)
{
    writeFile(root + "/readme.txt", "read me\n");
    writeFile(root + "/空.txt", "");
    writeFile(root + "/日本語/説明書.txt", std::string(300000, 'x') + "終わり\n");
    writeFile(root + "/bin/random.bin", randomBytes(3 << 20, 11));
    std::string text;
    for (int i = 0; i < 60000; ++i)
        text += "line " + std::to_string(i) + "\n";
    writeFile(root + "/bin/deep/more/text.log", text);
}

void expectSameTree(const std::string& a, const std::string& b)
{
    const auto files = filesBelow(a);
    ASSERT_EQ(files, filesBelow(b));
    for (const std::string& f : files)
        EXPECT_EQ(readFile(a + "/" + f), readFile(b + "/" + f)) << f;
}

std::vector<std::string> names(const std::vector<LoadedArchiver::Member>& members)
{
    std::vector<std::string> out;
    for (const auto& m : members)
        out.push_back(m.name);
    return out;
}

} // namespace

TEST(CabCreate, OurCabinetExtractsWithCabextractAndGcab)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    makeTree(dir / "src");
    const std::string archive = dir / "out.cab";
    const auto run = cab().run("-a -r \"" + archive + "\" \"" + dir.path() + "/src/\" *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    EXPECT_NE(run.report.find("Frozen  日本語\\説明書.txt"), std::string::npos) << run.report;

    bool ok = false;
    int end = 0;
    const auto members = cab().list(archive, ok, end);
    ASSERT_TRUE(ok);
    const std::vector<std::string> expected = {"bin\\deep\\more\\text.log", "bin\\random.bin",
                                               "readme.txt", "日本語\\説明書.txt", "空.txt"};
    EXPECT_EQ(names(members), expected);
    EXPECT_STREQ(members[0].record.mode, "MSZIP");
    EXPECT_EQ(members[1].originalSize, 3 << 20);

    ASSERT_EQ(shell("cabextract -q -d " + quote(dir / "cabextract") + " " + quote(archive)), 0);
    expectSameTree(dir / "src", dir / "cabextract");
    std::filesystem::create_directories(dir / "gcab");
    ASSERT_EQ(shell("gcab -x -C " + quote(dir / "gcab") + " " + quote(archive)), 0);
    expectSameTree(dir / "src", dir / "gcab");

    // And our own reader gives the same tree back.
    const auto back = cab().run("-x -r \"" + archive + "\" " + dir.path() + "/ours/");
    EXPECT_EQ(back.result, 0) << back.report;
    expectSameTree(dir / "src", dir / "ours");
}

TEST(CabCreate, TheCabinetBeingWrittenIsNeverItsOwnInput)
{
    TempFolder dir;
    writeFile(dir / "temp/a.txt", "a\n");
    writeFile(dir / "temp/sub/b.txt", "b\n");
    // The compression dialog's command line: the cabinet inside the staging folder it packs.
    const std::string line = "-a -r " + dir.path() + "/temp/pack.cab " + dir.path() + "/temp/ *.*";
    auto run = cab().run(line);
    ASSERT_EQ(run.result, 0) << run.report;
    const std::string first = readFile(dir / "temp/pack.cab");

    // Again without -o: the existing cabinet stays as it was.
    writeFile(dir / "temp/c.txt", "c\n");
    run = cab().run(line);
    EXPECT_EQ(run.result, ARCHIVER_ERROR_ALREADY_EXIST) << run.report;
    EXPECT_EQ(readFile(dir / "temp/pack.cab"), first);

    // With -o it is replaced, and it does not contain itself.
    run = cab().run("-a -r -o " + dir.path() + "/temp/pack.cab " + dir.path() + "/temp/ *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    bool ok = false;
    int end = 0;
    EXPECT_EQ(names(cab().list(dir / "temp/pack.cab", ok, end)),
              (std::vector<std::string>{"a.txt", "c.txt", "sub\\b.txt"}));
    for (const std::string& f : filesBelow(dir / "temp"))
        EXPECT_EQ(f.find(".tmp"), std::string::npos) << f;
}

TEST(CabCreate, WithoutRecursionOnlyTheBaseFolderAndPatternsSelect)
{
    TempFolder dir;
    writeFile(dir / "s/a.txt", "a");
    writeFile(dir / "s/b.log", "b");
    writeFile(dir / "s/sub/c.txt", "c");
    auto run = cab().run("-a \"" + dir.path() + "/flat.cab\" \"" + dir.path() + "/s/\" *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    bool ok = false;
    int end = 0;
    EXPECT_EQ(names(cab().list(dir / "flat.cab", ok, end)),
              (std::vector<std::string>{"a.txt", "b.log"}));
    run = cab().run("-a -r \"" + dir.path() + "/txt.cab\" \"" + dir.path() + "/s/\" *.txt");
    ASSERT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(names(cab().list(dir / "txt.cab", ok, end)),
              (std::vector<std::string>{"a.txt", "sub\\c.txt"}));
    // Nothing to pack: an error, and no cabinet.
    std::filesystem::create_directories(dir / "empty");
    run = cab().run("-a -r \"" + dir.path() + "/none.cab\" \"" + dir.path() + "/empty/\" *.*");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_NOT_FILENAME);
    EXPECT_FALSE(exists(dir / "none.cab"));
}

TEST(CabExtract, CabinetWrittenByGcab)
{
    TempFolder dir;
    makeTree(dir / "src");
    const std::string archive = dir / "gcab.cab";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && gcab -c -z " + quote(archive) +
                    " readme.txt 空.txt 日本語/説明書.txt bin/random.bin bin/deep/more/text.log"),
              0);
    auto run = cab().run("-x -r \"" + archive + "\" \"" + dir.path() + "/tree/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    expectSameTree(dir / "src", dir / "tree");
    // Without -r every member lands in the destination itself.
    run = cab().run("-x \"" + archive + "\" \"" + dir.path() + "/flat/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(
        filesBelow(dir / "flat"),
        (std::vector<std::string>{"random.bin", "readme.txt", "text.log", "空.txt", "説明書.txt"}));
}

TEST(CabExtract, WindowsCp932NamesAndForeignMszip)
{
    TempFolder dir;
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " cp932_cab " + quote(dir / "sjis.cab")),
              0);
    bool ok = false;
    int end = 0;
    EXPECT_EQ(names(cab().list(dir / "sjis.cab", ok, end)),
              (std::vector<std::string>{"日本\\ソ表.txt", "plain.txt"}));
    auto run = cab().run("-x -r \"" + dir.path() + "/sjis.cab\" " + dir.path() + "/o/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "o/日本/ソ表.txt"), "sjis name\n");

    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " plain_cab " + quote(dir / "p.cab")), 0);
    ASSERT_EQ(shell("cabextract -q -d " + quote(dir / "ref") + " " + quote(dir / "p.cab")), 0);
    run = cab().run("-x -r \"" + dir.path() + "/p.cab\" " + dir.path() + "/mine/");
    EXPECT_EQ(run.result, 0) << run.report;
    expectSameTree(dir / "ref", dir / "mine");
}

TEST(CabExtract, LzxFolder)
{
    TempFolder dir;
    const std::string archive = dir / "lzx.cab";
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " lzx_cab " + quote(archive)), 0);
    // The fixture is checked by an independent reader first.
    ASSERT_EQ(shell("cabextract -q -t " + quote(archive) + " >/dev/null"), 0);
    bool ok = false;
    int end = 0;
    const auto members = cab().list(archive, ok, end);
    ASSERT_EQ(names(members), (std::vector<std::string>{"lzx\\one.txt", "two.bin"}));
    EXPECT_STREQ(members[0].record.mode, "LZX");
    const auto run = cab().run("-x -r \"" + archive + "\" " + dir.path() + "/o/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "o/lzx/one.txt"), readFile(archive + ".lzx_one.txt"));
    EXPECT_EQ(readFile(dir / "o/two.bin"), readFile(archive + ".two.bin"));
}

TEST(CabCommands, CommandLinesOfTheProgram)
{
    TempFolder dir;
    writeFile(dir / "src/dir/a.txt", "alpha\n");
    writeFile(dir / "src/c.txt", "gamma\n");
    const std::string archive = dir / "t.cab";
    ASSERT_EQ(cab().run("-a -r \"" + archive + "\" \"" + dir.path() + "/src/\" *.*").result, 0);

    // Double click: flat, the member named with "\" as listed.
    auto run = cab().run("-x \"" + archive + "\" " + dir.path() + "/temp/ dir\\a.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "temp"), std::vector<std::string>{"a.txt"});

    // Into a folder with a blank in its path, unquoted.
    std::filesystem::create_directories(dir / "my folder");
    run = cab().run("-x -r \"" + archive + "\" " + dir.path() + "/my folder/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "my folder"), (std::vector<std::string>{"c.txt", "dir/a.txt"}));

    // Drag-out: only members newer than what is there.
    writeFile(dir / "drag/a.txt", "newer\n");
    struct utimbuf future {
        time(nullptr) + 3600, time(nullptr) + 3600
    };
    ::utime((dir / "drag/a.txt").c_str(), &future);
    writeFile(dir / "drag/c.txt", "older\n");
    struct utimbuf past {
        946684800, 946684800
    };
    ::utime((dir / "drag/c.txt").c_str(), &past);
    run = cab().run("-x -i -n \"" + archive + "\" \"" + dir.path() + "/drag/\" dir\\a.txt c.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "drag/a.txt"), "newer\n");
    EXPECT_NE(run.report.find("Skipped  dir\\a.txt"), std::string::npos) << run.report;
    // The older file would be replaced after a question; without a display the answer is no.
    EXPECT_EQ(readFile(dir / "drag/c.txt"), "older\n");
    EXPECT_NE(run.report.find("確認の画面を出せない"), std::string::npos) << run.report;
    run =
        cab().run("-x -i -n -o \"" + archive + "\" \"" + dir.path() + "/drag/\" dir\\a.txt c.txt");
    EXPECT_EQ(readFile(dir / "drag/a.txt"), "newer\n");
    EXPECT_EQ(readFile(dir / "drag/c.txt"), "gamma\n");

    // Selected members with their folders.
    run = cab().run("-x -r \"" + archive + "\" \"" + dir.path() + "/sel/\" dir\\a.txt");
    EXPECT_EQ(filesBelow(dir / "sel"), std::vector<std::string>{"dir/a.txt"});
}

TEST(CabCommands, SwitchesAreCaseSensitive)
{
    TempFolder dir;
    writeFile(dir / "src/a.txt", "a");
    const std::string archive = dir / "t.cab";
    ASSERT_EQ(cab().run("-a \"" + archive + "\" \"" + dir.path() + "/src/\"").result, 0);
    EXPECT_EQ(cab().run("-X \"" + archive + "\" " + dir.path() + "/o/").result,
              ARCHIVER_ERROR_COMMAND_NAME);
    EXPECT_EQ(cab().run("-x -R \"" + archive + "\" " + dir.path() + "/o/").result,
              ARCHIVER_ERROR_COMMAND_NAME);
    EXPECT_EQ(cab().run("-x -a \"" + archive + "\" " + dir.path() + "/o/").result,
              ARCHIVER_ERROR_COMMAND_NAME);
    EXPECT_FALSE(exists(dir / "o"));
}

TEST(CabSafety, HostileNamesStayInside)
{
    TempFolder dir;
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " hostile_cab " + quote(dir / "h.cab")),
              0);
    ::unlink("/tmp/koramo-cab-absolute.txt");
    const auto run = cab().run("-x -r \"" + dir.path() + "/h.cab\" \"" + dir.path() + "/a/b/\"");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_UNSAFE_PATH) << run.report;
    EXPECT_EQ(filesBelow(dir / "a"), (std::vector<std::string>{"b/good.txt", "b/ok/inner.txt"}));
    EXPECT_FALSE(exists("/tmp/koramo-cab-absolute.txt"));
    EXPECT_NE(run.report.find("Skipped  ..\\escape1.txt"), std::string::npos) << run.report;
}

TEST(CabDamage, TruncatedAndMutatedCabinetsFailCleanly)
{
    TempFolder dir;
    writeFile(dir / "src/a.txt", std::string(200000, 'a'));
    writeFile(dir / "src/b.bin", randomBytes(100000, 3));
    const std::string archive = dir / "t.cab";
    ASSERT_EQ(cab().run("-a \"" + archive + "\" \"" + dir.path() + "/src/\"").result, 0);
    const std::string original = readFile(archive);
    for (unsigned i = 0; i < 120; ++i) {
        std::string bytes = original;
        if (i % 3 == 0) {
            bytes.resize(bytes.size() * (i % 89) / 89);
        } else {
            const std::string noise = randomBytes(8, i);
            for (int k = 0; k < 1 + int(i % 6); ++k)
                bytes[(i * 7919u + k * 104729u) % bytes.size()] = noise[k];
        }
        writeFile(dir / "m.cab", bytes);
        bool ok = false;
        int end = 0;
        cab().list(dir / "m.cab", ok, end);
        EXPECT_TRUE(!ok || end == ARCHIVER_FIND_END || end >= 0x8000) << i;
        const auto run = cab().run("-x -r -o \"" + dir.path() + "/m.cab\" " + dir.path() + "/m/");
        EXPECT_TRUE(run.result == 0 || run.result >= 0x8000) << i;
        // Whatever was written is complete: a member that is there has its full content.
        if (exists(dir / "m/a.txt")) {
            EXPECT_EQ(readFile(dir / "m/a.txt"), std::string(200000, 'a')) << i;
        }
        std::filesystem::remove_all(dir / "m");
    }
}
