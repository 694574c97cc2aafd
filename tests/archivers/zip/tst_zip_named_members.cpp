// libunzip32.so with archives Info-ZIP zip made: a name selects only the member of that whole
// path, names starting with "-" are names when quoted, and a damaged last member of many makes
// the call fail with its name kept in a short report.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

LoadedArchiver& unzip()
{
    static LoadedArchiver lib("libunzip32.so", "UnZip");
    return lib;
}

// readme.txt three times in different folders, names that look like switches, a name with a
// "*" and a 200-byte name, stored by Info-ZIP zip.
std::string makeNamesakeZip(const TempFolder& dir)
{
    const std::string in = dir / "in";
    writeFile(in + "/readme.txt", "top\n");
    writeFile(in + "/docs/readme.txt", "docs\n");
    writeFile(in + "/d/e/readme.txt", "deep\n");
    writeFile(in + "/-x.txt", "dash\n");
    writeFile(in + "/-o", "oh\n");
    writeFile(in + "/a.txt", "a\n");
    writeFile(in + "/star*.txt", "star\n");
    writeFile(in + "/starX.txt", "x\n");
    writeFile(in + "/long/" + std::string(196, 'n') + ".txt", "long\n");
    const std::string zip = dir / "names.zip";
    EXPECT_EQ(shell("cd " + quote(in) + " && zip -q " + quote(zip) +
                    " readme.txt docs/readme.txt d/e/readme.txt a.txt 'star*.txt' starX.txt long/" +
                    std::string(196, 'n') + ".txt -- -x.txt -o"),
              0);
    return zip;
}

std::vector<std::string> extracted(const std::string& line, const std::string& dest, int& result)
{
    const auto run = unzip().run(line);
    result = run.result;
    return filesBelow(dest);
}

} // namespace

TEST(ZipNamedMembers, PlainAndExactNamesSelectOnlyTheirOwnPath)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    const std::string zip = makeNamesakeZip(dir);
    ASSERT_EQ(shell("unzip -l " + quote(zip) + " > /dev/null"), 0);
    int result = -1;
    const std::string a = dir / "a/";
    EXPECT_EQ(extracted("-x -o \"" + zip + "\" \"" + a + "\" \"readme.txt\"", a, result),
              std::vector<std::string>{"readme.txt"});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(a + "readme.txt"), "top\n");

    const std::string b = dir / "b/";
    EXPECT_EQ(
        extracted("-x -o --exact \"" + zip + "\" \"" + b + "\" \"d/e/readme.txt\"", b, result),
        std::vector<std::string>{"d/e/readme.txt"});
    EXPECT_EQ(result, 0);

    // Exact: the "*" is part of the name; as a wildcard it finds both.
    const std::string c = dir / "c/";
    EXPECT_EQ(extracted("-x --exact \"" + zip + "\" \"" + c + "\" \"star*.txt\"", c, result),
              std::vector<std::string>{"star*.txt"});
    const std::string w = dir / "w/";
    EXPECT_EQ(extracted("-x \"" + zip + "\" \"" + w + "\" \"star*.txt\"", w, result),
              (std::vector<std::string>{"star*.txt", "starX.txt"}));

    // A 200-byte name deep in a folder, flat (-j) as a double click opens it.
    const std::string longName = "long/" + std::string(196, 'n') + ".txt";
    const std::string l = dir / "l/";
    EXPECT_EQ(
        extracted("-x -j --exact \"" + zip + "\" \"" + l + "\" \"" + longName + "\"", l, result),
        std::vector<std::string>{std::string(196, 'n') + ".txt"});
    EXPECT_EQ(result, 0);
    // Its base name alone is not its path.
    const std::string m = dir / "m/";
    EXPECT_TRUE(
        extracted("-x --exact \"" + zip + "\" \"" + m + "\" \"" + std::string(196, 'n') + ".txt\"",
                  m, result)
            .empty());
    EXPECT_NE(result, 0);
}

TEST(ZipNamedMembers, NamesThatLookLikeSwitches)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    const std::string zip = makeNamesakeZip(dir);
    int result = -1;
    const std::string a = dir / "a/";
    EXPECT_EQ(extracted("-x --exact \"" + zip + "\" \"" + a + "\" \"-x.txt\"", a, result),
              std::vector<std::string>{"-x.txt"});
    EXPECT_EQ(result, 0);

    // Both selected: both come out, and success is true.
    const std::string b = dir / "b/";
    const auto run = unzip().run("-x \"" + zip + "\" \"" + b + "\" \"a.txt\" \"-x.txt\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(b), (std::vector<std::string>{"-x.txt", "a.txt"}));

    // After a bare "--" an unquoted "-o" is the member, not "overwrite".
    const std::string c = dir / "c/";
    writeFile(c + "a.txt", "mine\n");
    EXPECT_EQ(extracted("-x -- " + zip + " " + c + " -o", c, result),
              (std::vector<std::string>{"-o", "a.txt"}));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(c + "a.txt"), "mine\n");
    EXPECT_EQ(readFile(c + "-o"), "oh\n");

    // A name that is not there fails the call, even with another one extracted.
    const std::string d = dir / "d/";
    const auto missing = unzip().run("-x --exact \"" + zip + "\" \"" + d + "\" \"a.txt\" \"-y\"");
    EXPECT_NE(missing.result, 0) << missing.report;
    EXPECT_NE(missing.report.find("-y"), std::string::npos) << missing.report;
    EXPECT_EQ(filesBelow(d), std::vector<std::string>{"a.txt"});
}

TEST(ZipNamedMembers, BadCrcInTheLastOfTwoHundredMembers)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    const std::string in = dir / "in";
    std::string names;
    for (int i = 0; i < 200; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "folder/member-%03d-with-a-longer-name.txt", i);
        writeFile(in + "/" + name, i == 199 ? "LAST MEMBER DATA " + std::string(500, 'z')
                                            : "member " + std::string(name));
        names += std::string(" ") + name;
    }
    const std::string zip = dir / "many.zip";
    ASSERT_EQ(shell("cd " + quote(in) + " && zip -q -0 " + quote(zip) + names), 0);
    std::string bytes = readFile(zip);
    const size_t at = bytes.find("LAST MEMBER DATA");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] ^= 0x5A;
    writeFile(zip, bytes);
    ASSERT_NE(shell("unzip -tqq " + quote(zip) + " > /dev/null 2>&1"), 0);

    const std::string out = dir / "out/";
    const auto run = unzip().run("-x -o \"" + zip + "\" \"" + out + "\"", 2048);
    EXPECT_NE(run.result, 0) << run.report;
    EXPECT_LE(run.report.size(), 2047u);
    EXPECT_NE(run.report.find("folder/member-199-with-a-longer-name.txt"), std::string::npos)
        << run.report;
    EXPECT_EQ(run.report.find("Extracting from archive"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("個のファイルを解凍しました"), std::string::npos) << run.report;
    const auto files = filesBelow(out);
    EXPECT_EQ(files.size(), 199u);
    EXPECT_FALSE(exists(out + "folder/member-199-with-a-longer-name.txt"));
    EXPECT_TRUE(exists(out + "folder/member-198-with-a-longer-name.txt"));
}
