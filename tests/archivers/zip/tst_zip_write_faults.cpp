// "UnZip -a" when a member cannot be read, when the report does not fit, and with more members
// than the classic end record can count. The unreadable file is unreadable to a user, not to root:
// those calls run as the unprivileged user 65534.

#include "ZipWriteSupport.h"

#include "Report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace testsupport;
using namespace zipwrite;
namespace fs = std::filesystem;

namespace
{

// Many files, of which the last in name order cannot be read.
std::string makeManyWithUnreadableLast(const TempFolder& dir, int count)
{
    for (int i = 0; i < count; ++i)
        writeFile(dir / ("src/" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".txt"),
                  std::string(size_t(1000 + i), char('a' + i % 26)));
    const std::string last = "zz 読めない.txt";
    writeFile(dir / ("src/" + last), "secret");
    ::chmod((dir / ("src/" + last)).c_str(), 0);
    return last;
}

} // namespace

TEST(ZipWriteFaults, UnreadableLastMemberFailsAndLeavesNoArchive)
{
    ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
    TempFolder dir;
    const std::string last = makeManyWithUnreadableLast(dir, 300);
    const std::string archive = dir / "out.zip";
    std::string report;
    const int result =
        runAsUser(dir.path(), createLine("-a -r --i", archive, dir / "src"), 2048, report);
    ASSERT_NE(result, -1) << "the child did not run";
    EXPECT_NE(result, 0) << report;
    EXPECT_NE(report.find("格納できません: " + last + " : ファイルを開けません"), std::string::npos)
        << report;
    EXPECT_NE(report.find("書庫は作成していません: " + archive), std::string::npos) << report;
    // No member is reported as stored: there is no archive that holds them.
    EXPECT_EQ(report.find("Frozen"), std::string::npos) << report;
    EXPECT_FALSE(exists(archive));
    EXPECT_TRUE(namesStartingWith(dir.path(), ".out.zip").empty());
}

TEST(ZipWriteFaults, AnExistingArchiveStaysAsItWasWhenAMemberFails)
{
    ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
    TempFolder dir;
    const std::string last = makeManyWithUnreadableLast(dir, 40);
    const std::string archive = dir / "kept.zip";
    writeFile(archive, "the archive from before");
    // Links are passed over with a line each, which makes the report long.
    for (int i = 0; i < 10; ++i)
        fs::create_symlink("00.txt", dir / ("src/link" + std::to_string(i)));
    std::string report;
    // A buffer far too small for the whole report still holds the error that names the file.
    const int result =
        runAsUser(dir.path(), createLine("-a -r -o --i", archive, dir / "src"), 240, report);
    ASSERT_NE(result, -1) << "the child did not run";
    EXPECT_NE(result, 0) << report;
    EXPECT_LT(report.size(), 240u);
    EXPECT_EQ(report.rfind(std::string(archiver::Report::shortenedLine()), 0), 0u) << report;
    EXPECT_NE(report.find(last), std::string::npos) << report;
    EXPECT_NE(report.find("書庫は元のままです"), std::string::npos) << report;
    EXPECT_EQ(readFile(archive), "the archive from before");
    EXPECT_TRUE(namesStartingWith(dir.path(), ".kept.zip").empty());
}

TEST(ZipWriteFaults, AFolderThatCannotBeReadFailsTheArchive)
{
    ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
    TempFolder dir;
    writeFile(dir / "src/a.txt", "a");
    writeFile(dir / "src/locked/b.txt", "b");
    ::chmod((dir / "src/locked").c_str(), 0);
    std::string report;
    const int result =
        runAsUser(dir.path(), createLine("-a -r --i", dir / "x.zip", dir / "src"), 2048, report);
    ::chmod((dir / "src/locked").c_str(), 0755);
    ASSERT_NE(result, -1);
    EXPECT_NE(result, 0) << report;
    EXPECT_NE(report.find("フォルダを読めません: " + dir / "src/locked"), std::string::npos)
        << report;
    EXPECT_FALSE(exists(dir / "x.zip"));
}

TEST(ZipWriteFaults, MoreMembersThanTheClassicRecordCountsGetZip64)
{
    ASSERT_TRUE(unzipLibrary().loaded()) << buildBin();
    TempFolder dir;
    constexpr int kFolders = 70;
    constexpr int kFiles = 1000;
    for (int d = 0; d < kFolders; ++d) {
        const std::string folder = dir / ("src/" + std::to_string(d));
        fs::create_directories(folder);
        for (int f = 0; f < kFiles; ++f)
            std::ofstream(folder + "/" + std::to_string(f)) << (f % 3 ? "" : "x");
    }
    const std::string archive = dir / "many.zip";
    const auto run = unzipLibrary().run(createLine("-a -r", archive, dir / "src"));
    ASSERT_EQ(run.result, 0) << run.report.substr(0, 400);
    const std::string total = std::to_string(kFolders * kFiles + kFolders);
    EXPECT_NE(run.report.find(std::to_string(kFolders * kFiles) + " 個のファイルと " +
                              std::to_string(kFolders) + " 個のフォルダを格納しました"),
              std::string::npos);
    int status = 0;
    const std::string count =
        capture("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                "print(len(z.infolist()), z.testzip())\" " +
                    quote(archive),
                status);
    EXPECT_EQ(count, total + " None\n");
    const std::string listed = capture("LC_ALL=C unzip -Z1 " + quote(archive) + " | wc -l", status);
    EXPECT_EQ(std::stoi(listed), kFolders * kFiles + kFolders);
    EXPECT_EQ(shell("bsdtar -tf " + quote(archive) + " >/dev/null"), 0);
    EXPECT_EQ(shell("LC_ALL=C unzip -tq " + quote(archive) + " >/dev/null"), 0);
    // The count is in the ZIP64 end record, the classic one holds its "see there" mark.
    const std::string records =
        capture("python3 -c \"import struct, sys; d = open(sys.argv[1], 'rb').read(); "
                "i = d.rfind(b'PK\\x06\\x06'); e = d.rfind(b'PK\\x05\\x06'); "
                "print(struct.unpack('<Q', d[i + 32:i + 40])[0] if i >= 0 else -1, "
                "struct.unpack('<H', d[e + 10:e + 12])[0])\" " +
                    quote(archive),
                status);
    EXPECT_EQ(records, total + " 65535\n");
}
