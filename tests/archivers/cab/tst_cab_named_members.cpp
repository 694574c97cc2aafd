// libcab32.so with cabinets gcab made: a name is a whole stored path with "\" between its
// folders, names starting with "-" are names when quoted, and a damaged last member of many
// makes the call fail with its name kept in a short report.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

LoadedArchiver& cab()
{
    static LoadedArchiver lib("libcab32.so", "Cab");
    return lib;
}

std::string makeNamesakeCab(const TempFolder& dir)
{
    const std::string in = dir / "in";
    writeFile(in + "/readme.txt", "top\n");
    writeFile(in + "/docs/readme.txt", "docs\n");
    writeFile(in + "/d/e/readme.txt", "deep\n");
    writeFile(in + "/-x.txt", "dash\n");
    writeFile(in + "/a.txt", "a\n");
    writeFile(in + "/q?.txt", "q\n");
    writeFile(in + "/qq.txt", "qq\n");
    const std::string archive = dir / "names.cab";
    EXPECT_EQ(shell("cd " + quote(in) + " && gcab -cz " + quote(archive) +
                    " -- readme.txt docs/readme.txt d/e/readme.txt a.txt 'q?.txt' qq.txt -x.txt"),
              0);
    return archive;
}

std::vector<std::string> extracted(const std::string& line, const std::string& dest, int& result)
{
    const auto run = cab().run(line);
    result = run.result;
    return filesBelow(dest);
}

} // namespace

TEST(CabNamedMembers, NamesAreWholeStoredPaths)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    const std::string archive = makeNamesakeCab(dir);
    std::string listing;
    ASSERT_EQ(shell("gcab -t " + quote(archive) + " | grep -c readme > /dev/null"), 0);
    int result = -1;
    const std::string a = dir / "a/";
    EXPECT_EQ(extracted("-x -r \"" + archive + "\" \"" + a + "\" \"readme.txt\"", a, result),
              std::vector<std::string>{"readme.txt"});
    EXPECT_EQ(result, 0);
    const std::string b = dir / "b/";
    EXPECT_EQ(extracted("-x -r --exact \"" + archive + "\" \"" + b + "\" \"d\\e\\readme.txt\"", b,
                        result),
              std::vector<std::string>{"d/e/readme.txt"});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(b + "d/e/readme.txt"), "deep\n");
    // Flat, as a double click opens a member: only the one named, not its namesakes.
    const std::string c = dir / "c/";
    EXPECT_EQ(
        extracted("-x --exact \"" + archive + "\" \"" + c + "\" \"docs\\readme.txt\"", c, result),
        std::vector<std::string>{"readme.txt"});
    EXPECT_EQ(readFile(c + "readme.txt"), "docs\n");
    // Exact: "?" is a character of the name.
    const std::string q = dir / "q/";
    EXPECT_EQ(extracted("-x --exact \"" + archive + "\" \"" + q + "\" \"q?.txt\"", q, result),
              std::vector<std::string>{"q?.txt"});
    const std::string w = dir / "w/";
    EXPECT_EQ(extracted("-x \"" + archive + "\" \"" + w + "\" \"q?.txt\"", w, result),
              (std::vector<std::string>{"q?.txt", "qq.txt"}));
}

TEST(CabNamedMembers, NamesThatLookLikeSwitches)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    const std::string archive = makeNamesakeCab(dir);
    int result = -1;
    const std::string a = dir / "a/";
    EXPECT_EQ(extracted("-x -r --exact \"" + archive + "\" \"" + a + "\" \"-x.txt\" \"a.txt\"", a,
                        result),
              (std::vector<std::string>{"-x.txt", "a.txt"}));
    EXPECT_EQ(result, 0);
    // The switches end at "--": the archive may then begin with "-".
    const std::string odd = dir / "-odd.cab";
    ASSERT_EQ(shell("cp " + quote(archive) + " " + quote(odd)), 0);
    const std::string b = dir / "b/";
    EXPECT_EQ(extracted("-x -- " + odd + " " + b + " a.txt", b, result),
              std::vector<std::string>{"a.txt"});
    EXPECT_EQ(result, 0);
    // A name that is not there fails the call, even with another one extracted.
    const std::string c = dir / "c/";
    const auto run = cab().run("-x --exact \"" + archive + "\" \"" + c + "\" \"a.txt\" \"x.txt\"");
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_NE(run.report.find("x.txt"), std::string::npos);
}

TEST(CabNamedMembers, DamagedLastOfTwoHundredMembers)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    const std::string in = dir / "in";
    std::string names;
    for (int i = 0; i < 200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "folder/member-%03d-with-a-longer-name.txt", i);
        // The last member fills blocks of its own, so only its data is damaged.
        writeFile(in + "/" + name, i == 199 ? "LAST MEMBER DATA " + randomBytes(200000, 5)
                                            : "member " + std::string(name));
        names += std::string(" ") + name;
    }
    const std::string archive = dir / "many.cab";
    ASSERT_EQ(shell("cd " + quote(in) + " && gcab -c " + quote(archive) + names), 0);
    std::string bytes = readFile(archive);
    ASSERT_GT(bytes.size(), 200000u);
    bytes[bytes.size() - 1000] ^= 0x5A;
    writeFile(archive, bytes);
    ASSERT_NE(
        shell("gcab -x -C " + quote(dir / "gcab") + " " + quote(archive) + " > /dev/null 2>&1"), 0);

    const std::string out = dir / "out/";
    const auto run = cab().run("-x -r -o \"" + archive + "\" \"" + out + "\"", 2048);
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_LE(run.report.size(), 2047u);
    EXPECT_NE(run.report.find("folder\\member-199-with-a-longer-name.txt"), std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find("個のファイルを解凍しました"), std::string::npos) << run.report;
    EXPECT_EQ(filesBelow(out).size(), 199u);
    EXPECT_FALSE(exists(out + "folder/member-199-with-a-longer-name.txt"));
    EXPECT_TRUE(exists(out + "folder/member-198-with-a-longer-name.txt"));
}
