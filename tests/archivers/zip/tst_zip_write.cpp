// "UnZip -a": ZIP archives written by libunzip32.so, read back by programs we did not write
// (Info-ZIP unzip and zipinfo, bsdtar, 7z, Python's zipfile) in each name encoding.

#include "ZipWriteSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;
using namespace zipwrite;
namespace fs = std::filesystem;

namespace
{

const std::string kCheck = std::string(KORAMO_ZIP_CHECK);

// 7z's technical listing: the "Path = " lines after the line of dashes (before it, the
// archive's own).
std::set<std::string> sevenZipPaths(const std::string& listing)
{
    std::set<std::string> out;
    const std::string key = "\nPath = ";
    size_t at = listing.find("\n----------");
    while (at != std::string::npos && (at = listing.find(key, at)) != std::string::npos) {
        at += key.size();
        const size_t end = listing.find('\n', at);
        out.insert(listing.substr(at, end - at));
    }
    return out;
}

std::set<std::string> withoutSlash(const std::set<std::string>& names)
{
    std::set<std::string> out;
    for (std::string n : names) {
        if (!n.empty() && n.back() == '/')
            n.pop_back();
        out.insert(n);
    }
    return out;
}

class ZipWrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
        makeHostileTree(dir / "src");
        expected = entriesBelow(dir / "src");
    }
    LoadedArchiver::Run create(const std::string& switches, const std::string& archive,
                               uint32_t buffer = 1 << 16)
    {
        return unzipLibrary().run(createLine(switches, archive, dir / "src"), buffer);
    }

    TempFolder dir;
    std::set<std::string> expected;
};

} // namespace

TEST_F(ZipWrite, Utf8NamesAreReadByEveryPeer)
{
    const std::string archive = dir / "utf8.zip";
    const auto run = create("-a -r", archive);
    ASSERT_EQ(run.result, 0) << run.report;
    EXPECT_NE(run.report.find("Frozen  日本語フォルダ/テスト 1.txt ==> "), std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find("Frozen  空フォルダ/"), std::string::npos) << run.report;
    EXPECT_EQ(shell("python3 " + quote(kCheck) + " " + quote(archive) + " " + quote(dir / "src") +
                    " utf8"),
              0);

    int status = 0;
    EXPECT_EQ(lineSet(capture("LC_ALL=C.UTF-8 unzip -Z1 " + quote(archive), status)), expected);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 unzip -q " + quote(archive) + " -d " + quote(dir / "unzip")),
              0);
    expectSameTree(dir / "src", dir / "unzip");

    EXPECT_EQ(withoutSlash(lineSet(capture("LC_ALL=C.UTF-8 bsdtar -tf " + quote(archive), status))),
              withoutSlash(expected));
    EXPECT_EQ(status, 0);
    fs::create_directories(dir / "bsdtar");
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 bsdtar -xf " + quote(archive) + " -C " + quote(dir / "bsdtar")),
              0);
    expectSameTree(dir / "src", dir / "bsdtar");

    EXPECT_EQ(sevenZipPaths(capture("LC_ALL=C.UTF-8 7z l -slt " + quote(archive), status)),
              withoutSlash(expected));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 7z x -bd -y -o" + quote(dir / "7z") + " " + quote(archive) +
                    " >/dev/null"),
              0);
    expectSameTree(dir / "src", dir / "7z");
}

TEST_F(ZipWrite, Cp932NamesAreReadByEveryPeerThatIsToldTheEncoding)
{
    const std::string archive = dir / "cp932.zip";
    const auto run = create("-a -r -cp932", archive);
    ASSERT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(shell("python3 " + quote(kCheck) + " " + quote(archive) + " " + quote(dir / "src") +
                    " cp932"),
              0);

    // Without the flag Info-ZIP and 7z take the stored bytes as they are: CP932. (Debian's
    // unzip has no -O to name the encoding.)
    int status = 0;
    EXPECT_EQ(lineSet(capture("LC_ALL=C unzip -Z1 " + quote(archive), status)), inCp932(expected));
    EXPECT_EQ(status, 0);
    fs::create_directories(dir / "unzip");
    ASSERT_EQ(shell("cd " + quote(dir / "unzip") + " && LC_ALL=C unzip -q " + quote(archive)), 0);
    expectSameTreeInCp932(dir / "src", dir / "unzip");
    EXPECT_EQ(sevenZipPaths(capture("LC_ALL=C.UTF-8 7z l -slt " + quote(archive), status)),
              inCp932(withoutSlash(expected)));
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 7z x -bd -y -o" + quote(dir / "7z") + " " + quote(archive) +
                    " >/dev/null"),
              0);
    expectSameTreeInCp932(dir / "src", dir / "7z");

    // bsdtar told the encoding writes the names in UTF-8.
    EXPECT_EQ(
        withoutSlash(lineSet(capture(
            "LC_ALL=C.UTF-8 bsdtar --options hdrcharset=CP932 -tf " + quote(archive), status))),
        withoutSlash(expected));
    fs::create_directories(dir / "bsdtar");
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 bsdtar --options hdrcharset=CP932 -xf " + quote(archive) +
                    " -C " + quote(dir / "bsdtar")),
              0);
    expectSameTree(dir / "src", dir / "bsdtar");

    // And our own reader takes names without the flag as CP932.
    const auto back =
        unzipLibrary().run("-x -o --i \"" + archive + "\" \"" + dir.path() + "/ours/\"", 1 << 16);
    ASSERT_EQ(back.result, 0) << back.report;
    expectSameTree(dir / "src", dir / "ours");
}

TEST_F(ZipWrite, Cp932RefusesANameItCannotHoldAndWritesNothing)
{
    writeFile(dir / "src/絵文字😀.txt", "emoji\n");
    writeFile(dir / "src/日本語フォルダ/한국어.txt", "hangul\n");
    const std::string archive = dir / "refused.zip";
    const auto run = create("-a -r -cp932", archive);
    EXPECT_NE(run.result, 0);
    EXPECT_NE(run.report.find("「絵文字😀.txt」は Shift_JIS (CP932) で表せない文字を含むため"
                              "格納できません"),
              std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find("「日本語フォルダ/한국어.txt」は Shift_JIS"), std::string::npos)
        << run.report;
    EXPECT_NE(run.report.find("名前の文字コードを UTF-8 にすると格納できます。"),
              std::string::npos);
    EXPECT_EQ(run.report.find("Frozen"), std::string::npos) << run.report;
    EXPECT_FALSE(exists(archive));
    EXPECT_TRUE(namesStartingWith(dir.path(), ".refused.zip").empty());

    // The same tree in UTF-8 keeps both names.
    const auto utf8 = create("-a -r", archive);
    ASSERT_EQ(utf8.result, 0) << utf8.report;
    EXPECT_EQ(shell("python3 " + quote(kCheck) + " " + quote(archive) + " " + quote(dir / "src") +
                    " utf8"),
              0);
}

TEST_F(ZipWrite, SizeIsCloseToInfoZipAtTheSameLevel)
{
    const std::string ours = dir / "ours.zip";
    ASSERT_EQ(create("-a -r -6", ours).result, 0);
    ASSERT_EQ(
        shell("cd " + quote(dir / "src") + " && zip -q -r -6 " + quote(dir / "infozip.zip") + " ."),
        0);
    const auto oursSize = fs::file_size(ours);
    const auto theirs = fs::file_size(dir / "infozip.zip");
    EXPECT_LE(double(oursSize), 1.01 * double(theirs)) << oursSize << " against " << theirs;

    // Level 0 stores every member; level 9 is no larger than level 1.
    ASSERT_EQ(create("-a -r -0", dir / "stored.zip").result, 0);
    EXPECT_EQ(shell("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                    "sys.exit(any(i.compress_type for i in z.infolist()))\" " +
                    quote(dir / "stored.zip")),
              0);
    ASSERT_EQ(create("-a -r -1", dir / "fast.zip").result, 0);
    ASSERT_EQ(create("-a -r -9", dir / "best.zip").result, 0);
    EXPECT_LE(fs::file_size(dir / "best.zip"), fs::file_size(dir / "fast.zip"));
    EXPECT_EQ(shell("LC_ALL=C.UTF-8 unzip -tq " + quote(dir / "best.zip") + " >/dev/null"), 0);
}

TEST_F(ZipWrite, TheArchiveIsNeverItsOwnInput)
{
    // The target inside the folder being packed, there already, and a temporary left there.
    const std::string archive = dir / "src/inside.zip";
    writeFile(archive, "an older archive");
    writeFile(dir / "src/.inside.zip.tmpABCDEF", "left by a crash");
    const auto run = create("-a -r -o", archive);
    ASSERT_EQ(run.result, 0) << run.report;
    int status = 0;
    const std::set<std::string> names =
        lineSet(capture("LC_ALL=C.UTF-8 unzip -Z1 " + quote(archive), status));
    EXPECT_EQ(names.count("inside.zip"), 0u);
    EXPECT_EQ(names.count(".inside.zip.tmpABCDEF"), 0u);
    EXPECT_EQ(names, expected);
}

TEST_F(ZipWrite, NamesSelectFilesAndFoldersBelowTheBase)
{
    const std::string archive = dir / "some.zip";
    // A folder named brings everything below it; a wildcard without "/" finds files anywhere.
    auto run = unzipLibrary().run("-a -r \"" + archive + "\" \"" + dir.path() +
                                  "/src/\" 日本語フォルダ *.log -- -x");
    ASSERT_EQ(run.result, 0) << run.report;
    int status = 0;
    EXPECT_EQ(lineSet(capture("LC_ALL=C.UTF-8 unzip -Z1 " + quote(archive), status)),
              (std::set<std::string>{"-x", "bin/text.log", "日本語フォルダ/",
                                     "日本語フォルダ/テスト 1.txt"}));
    // Without -r only the base folder's own entries.
    run = unzipLibrary().run("-a -o \"" + archive + "\" \"" + dir.path() + "/src/\"");
    ASSERT_EQ(run.result, 0) << run.report;
    const std::set<std::string> top =
        lineSet(capture("LC_ALL=C.UTF-8 unzip -Z1 " + quote(archive), status));
    EXPECT_EQ(top.count("bin/"), 1u);
    EXPECT_EQ(top.count("bin/text.log"), 0u);
    EXPECT_EQ(top.count("-始まり.txt"), 1u);
}

TEST(ZipWriteSwitches, CreationAndExtractionSwitchesDoNotMix)
{
    ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
    TempFolder dir;
    writeFile(dir / "src/a.txt", "a");
    auto run = unzipLibrary().run("-x -cp932 \"" + dir / "a.zip" + "\" \"" + dir.path() + "/\"");
    EXPECT_NE(run.result, 0);
    EXPECT_NE(run.report.find("-cp932 は -a (書庫の作成) と一緒に指定してください。"),
              std::string::npos)
        << run.report;
    run = unzipLibrary().run(createLine("-a -x", dir / "a.zip", dir / "src"));
    EXPECT_NE(run.result, 0);
    run = unzipLibrary().run(createLine("-a -cp932 -utf8", dir / "a.zip", dir / "src"));
    EXPECT_NE(run.result, 0);
    run = unzipLibrary().run(createLine("-a -z", dir / "a.zip", dir / "src"));
    EXPECT_NE(run.report.find("知らないスイッチです: -z"), std::string::npos) << run.report;
    EXPECT_FALSE(exists(dir / "a.zip"));
    // An empty folder gives nothing to pack: an error, and no archive.
    fs::create_directories(dir / "empty");
    run = unzipLibrary().run(createLine("-a -r", dir / "a.zip", dir / "empty"));
    EXPECT_NE(run.result, 0);
    EXPECT_NE(run.report.find("圧縮するファイルがありません"), std::string::npos);
    EXPECT_FALSE(exists(dir / "a.zip"));
}
