// libunzip32.so through its C entry points, loaded with dlopen from the program folder.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>
#include <zlib.h>

using namespace testsupport;

namespace
{

LoadedArchiver& unzip()
{
    static LoadedArchiver lib("libunzip32.so", "UnZip");
    return lib;
}

std::string makeFixture(const TempFolder& dir, const std::string& kind)
{
    const std::string out = dir / (kind + ".zip");
    EXPECT_EQ(shell("python3 " + quote(fixtureScript()) + " " + kind + " " + quote(out)), 0);
    return out;
}

uint32_t crcOf(const std::string& data)
{
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

void setMtime(const std::string& path, time_t t)
{
    struct utimbuf times {
        t, t
    };
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

// A ZIP with folders, built by Info-ZIP zip from a tree.
std::string makeTreeZip(const TempFolder& dir)
{
    writeFile(dir / "tree/dir/a.txt", "alpha\n");
    writeFile(dir / "tree/dir/sub/b.txt", "beta\n");
    writeFile(dir / "tree/c.txt", "gamma\n");
    const std::string zip = dir / "tree.zip";
    EXPECT_EQ(shell("cd " + quote(dir / "tree") + " && zip -qr " + quote(zip) + " dir c.txt"), 0);
    return zip;
}

} // namespace

TEST(ZipListing, PythonCp932AndUtf8NamesWithTheirRecords)
{
    ASSERT_TRUE(unzip().loaded()) << buildBin();
    TempFolder dir;
    const std::string zip = makeFixture(dir, "cp932_zip");
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end, "*.*", 0x20000000);
    ASSERT_TRUE(ok);
    EXPECT_EQ(end, ARCHIVER_FIND_END);
    ASSERT_EQ(members.size(), 6u);
    EXPECT_EQ(members[0].name, "表/ソ能.txt");
    EXPECT_EQ(members[1].name, "空.txt");
    EXPECT_EQ(members[2].name, "utf8名前/丸①.txt");
    EXPECT_EQ(members[3].name, "plain/stored.bin");

    const std::string first = repeat("ソースの表", 50);
    const ArchiverMemberInfo& r = members[0].record;
    EXPECT_EQ(r.originalSize, first.size());
    EXPECT_EQ(r.crc, crcOf(first));
    EXPECT_LT(r.compressedSize, r.originalSize);
    EXPECT_EQ(r.ratio, r.compressedSize * 1000 / r.originalSize);
    EXPECT_EQ(r.dosDate, (19 << 9) | (5 << 5) | 10); // 1999/05/10
    EXPECT_EQ(r.dosTime, (13 << 11) | (4 << 5) | 3); // 13:04:06
    EXPECT_STREQ(r.mode, "deflate");
    EXPECT_EQ(members[1].record.originalSize, 0u);
    EXPECT_STREQ(members[3].record.mode, "store");
    EXPECT_STREQ(members[4].record.mode, "bzip2");
    EXPECT_STREQ(members[5].record.mode, "lzma");

    // A wildcard narrows the walk; "*" also crosses folders and dots.
    const auto txt = unzip().list(zip, ok, end, "*.txt");
    EXPECT_EQ(txt.size(), 5u);
    const auto none = unzip().list(zip, ok, end, "nothing*");
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(end, ARCHIVER_FIND_END);
}

TEST(ZipExtract, PythonCp932ArchiveKeepsFoldersAndEveryMethod)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "cp932_zip");
    const auto run = unzip().run("-x \"" + zip + "\" " + dir.path() + "/out/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_NE(run.report.find("Melted  表/ソ能.txt"), std::string::npos) << run.report;
    EXPECT_EQ(readFile(dir / "out/表/ソ能.txt"), repeat("ソースの表", 50));
    EXPECT_TRUE(exists(dir / "out/空.txt"));
    EXPECT_EQ(readFile(dir / "out/空.txt"), "");
    EXPECT_EQ(readFile(dir / "out/utf8名前/丸①.txt"), "utf8 member\n");
    EXPECT_EQ(readFile(dir / "out/bz/data.txt"), repeat("bzip2 ", 1000));
    EXPECT_EQ(readFile(dir / "out/xz/data.txt"), repeat("lzma ", 1000));
    EXPECT_EQ(readFile(dir / "out/plain/stored.bin").size(), 5000u);
    // The stored time comes back on the file.
    struct stat st {
    };
    ASSERT_EQ(::stat((dir / "out/表/ソ能.txt").c_str(), &st), 0);
    struct tm tm {
    };
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 1999);
    EXPECT_EQ(tm.tm_hour, 13);
}

TEST(ZipExtract, InfoZipArchiveOfCp932FileNames)
{
    TempFolder dir;
    ASSERT_EQ(shell("python3 " + quote(fixtureScript()) + " cp932_tree " + quote(dir / "tree")), 0);
    const std::string zip = dir / "infozip.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "tree") + " && LC_ALL=C zip -qr " + quote(zip) + " ."), 0);
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end);
    ASSERT_TRUE(ok);
    std::vector<std::string> names;
    for (const auto& m : members)
        names.push_back(m.name);
    EXPECT_NE(std::find(names.begin(), names.end(), "日本語フォルダ/ソース表.txt"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "ascii.txt"), names.end());

    // Flat extraction of one member by its full name, as a double click asks for it.
    const auto run =
        unzip().run("-x -j \"" + zip + "\" " + dir.path() + "/temp/ 日本語フォルダ/ソース表.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "temp"), std::vector<std::string>{"ソース表.txt"});
    EXPECT_EQ(readFile(dir / "temp/ソース表.txt"), repeat("info-zip sjis\n", 20));
}

TEST(ZipExtract, BsdtarArchiveWithDotEntries)
{
    // bsdtar stores "./" and "./d/": the destination itself is no unsafe member.
    TempFolder dir;
    writeFile(dir / "src/d/x.txt", "x\n");
    const std::string zip = dir / "b.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && bsdtar -a -cf " + quote(zip) + " ."), 0);
    const auto run = unzip().run("-x \"" + zip + "\" " + dir.path() + "/o/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "o"), std::vector<std::string>{"d/x.txt"});
}

TEST(ZipExtract, WindowsBackslashNamesAndEncryptedMembers)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "backslash_zip");
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].name, "win/sub/file.txt"); // "\\" read as the separator
    // Asked for by its listed name, it lands in the folders it names; "..\" is refused.
    auto run =
        unzip().run("-x \"" + zip + "\" " + dir.path() + "/o/ win\\sub\\file.txt ..\\evil.txt");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_UNSAFE_PATH) << run.report;
    EXPECT_EQ(filesBelow(dir / "o"), std::vector<std::string>{"win/sub/file.txt"});
    EXPECT_FALSE(exists(dir / "evil.txt"));

    writeFile(dir / "src/secret.txt", "secret\n");
    writeFile(dir / "src/open.txt", "open\n");
    const std::string enc = dir / "enc.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "src") + " && zip -q -P pw " + quote(enc) +
                    " secret.txt && zip -q " + quote(enc) + " open.txt"),
              0);
    run = unzip().run("-x \"" + enc + "\" " + dir.path() + "/e/");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_NOT_SUPPORT) << run.report;
    EXPECT_NE(run.report.find("Skipped  secret.txt"), std::string::npos) << run.report;
    EXPECT_EQ(filesBelow(dir / "e"), std::vector<std::string>{"open.txt"});
}

TEST(Zip64, ForcedZip64MemberExtracts)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "zip64_small");
    const auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/o/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "o/big/one.txt"), repeat("zip64 member ", 1000));
    EXPECT_EQ(readFile(dir / "o/two.txt"), "second");
}

TEST(Zip64, MemberOfMoreThanFourGibibytesReportsItsSize)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "zip64_huge");
    bool ok = false;
    int end = 0;
    const auto members = unzip().list(zip, ok, end);
    ASSERT_TRUE(ok);
    ASSERT_EQ(members.size(), 1u);
    const int64_t size = (int64_t(4) << 30) + (1 << 20);
    EXPECT_EQ(members[0].originalSize, size);
    EXPECT_EQ(members[0].record.originalSize, static_cast<uint32_t>(size));
    EXPECT_GT(members[0].compressedSize, 0);
    EXPECT_LT(members[0].compressedSize, size / 100);
}

TEST(ZipCommands, CommandLinesOfTheProgram)
{
    TempFolder dir;
    const std::string zip = makeTreeZip(dir);

    // Double click: flat into the work folder, the destination unquoted and ending in "/".
    auto run = unzip().run("-x -j \"" + zip + "\" " + dir.path() + "/temp/ dir/sub/b.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "temp"), std::vector<std::string>{"b.txt"});

    // Extraction into a folder whose path holds a blank, passed without quotes.
    const std::string blank = dir / "with blank";
    std::filesystem::create_directories(blank);
    run = unzip().run("-x \"" + zip + "\" " + blank + "/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(blank), (std::vector<std::string>{"c.txt", "dir/a.txt", "dir/sub/b.txt"}));

    // A created folder, quoted.
    run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/made/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "made").size(), 3u);

    // Selected members keep their folders; with none selected every member comes out.
    run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/sel/\" dir/a.txt c.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "sel"), (std::vector<std::string>{"c.txt", "dir/a.txt"}));
    run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/none/\" ");
    EXPECT_EQ(filesBelow(dir / "none").size(), 3u);

    // A name that matches nothing is reported.
    run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/miss/\" missing.txt");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_NOT_EXIST);
    EXPECT_NE(run.report.find("missing.txt"), std::string::npos);
}

TEST(ZipCommands, DragOutReplacesOnlyOlderFiles)
{
    TempFolder dir;
    const std::string zip = makeTreeZip(dir);
    writeFile(dir / "temp/dir/a.txt", "newer local\n");
    setMtime(dir / "temp/dir/a.txt", time(nullptr) + 3600);
    writeFile(dir / "temp/c.txt", "older local\n");
    setMtime(dir / "temp/c.txt", 946684800); // 2000-01-01
    const auto run = unzip().run("-x -u --i -o \"" + zip + "\" \"" + dir.path() +
                                 "/temp/\" dir/a.txt c.txt dir/sub/b.txt");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "temp/dir/a.txt"), "newer local\n");
    EXPECT_EQ(readFile(dir / "temp/c.txt"), "gamma\n");
    EXPECT_EQ(readFile(dir / "temp/dir/sub/b.txt"), "beta\n");
}

TEST(ZipCommands, NoOverwriteQuestionWithoutADisplay)
{
    TempFolder dir;
    const std::string zip = makeTreeZip(dir);
    writeFile(dir / "out/c.txt", "mine\n");
    const auto run = unzip().run("-x \"" + zip + "\" " + dir.path() + "/out/");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(readFile(dir / "out/c.txt"), "mine\n");
    EXPECT_NE(run.report.find("Skipped  c.txt"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("確認の画面を出せない"), std::string::npos) << run.report;
    EXPECT_EQ(readFile(dir / "out/dir/a.txt"), "alpha\n");
}

TEST(ZipCommands, BadCommandLinesAndSmallBuffers)
{
    TempFolder dir;
    const std::string zip = makeTreeZip(dir);
    EXPECT_EQ(unzip().run("-x -Z \"" + zip + "\" " + dir.path() + "/o/").result,
              ARCHIVER_ERROR_COMMAND_NAME);
    EXPECT_EQ(unzip().run("-x").result, ARCHIVER_ERROR_NOT_FIND_ARC_FILE);
    EXPECT_EQ(unzip().run("-x \"" + dir.path() + "/absent.zip\" " + dir.path() + "/o/").result,
              ARCHIVER_ERROR_NOT_FIND_ARC_FILE);
    // The report is cut to the buffer and stays terminated (the helper checks the bytes
    // past the buffer).
    const auto small = unzip().run("-x \"" + zip + "\" " + dir.path() + "/small/", 16);
    EXPECT_EQ(small.result, 0);
    EXPECT_LE(small.report.size(), 15u);
    EXPECT_EQ(small.report,
              std::string("Extracting from archive : ").substr(0, small.report.size()));
}

TEST(ZipSafety, HostileMembersNeverLeaveTheDestination)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "hostile_zip");
    ::unlink("/tmp/koramo-absolute-escape.txt");
    const auto run = unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/a/b/\"");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_UNSAFE_PATH) << run.report;
    EXPECT_FALSE(exists(dir / "a/escape1.txt"));
    EXPECT_FALSE(exists(dir / "escape2.txt"));
    EXPECT_FALSE(exists(dir / "a/escape2.txt"));
    EXPECT_FALSE(exists(dir / "a/escape3.txt"));
    EXPECT_FALSE(exists("/tmp/koramo-absolute-escape.txt"));
    EXPECT_EQ(readFile(dir / "a/b/good.txt"), "good");
    EXPECT_EQ(readFile(dir / "a/b/ok/inner.txt"), "inner");
    for (const char* name :
         {"../escape1.txt", "/tmp/koramo-absolute-escape.txt", "sub/../../escape2.txt", "link"})
        EXPECT_NE(run.report.find(std::string("Skipped  ") + name), std::string::npos) << name;
    // The link member was refused, so "link" below the destination is a plain folder.
    struct stat st {
    };
    ASSERT_EQ(::lstat((dir / "a/b/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(ZipSafety, LinkAlreadyInTheDestinationIsNotFollowed)
{
    TempFolder dir;
    const std::string zip = makeFixture(dir, "hostile_zip");
    std::filesystem::create_directories(dir / "outside");
    std::filesystem::create_directories(dir / "dest");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "dest/link");
    const auto run =
        unzip().run("-x \"" + zip + "\" \"" + dir.path() + "/dest/\" link/escape3.txt");
    EXPECT_GE(run.result, 0x8000);
    EXPECT_TRUE(filesBelow(dir / "outside").empty());
    EXPECT_NE(run.report.find("link/escape3.txt"), std::string::npos) << run.report;
}

TEST(ZipDamage, CrcMismatchLeavesNoFileAndKeepsTheOldOne)
{
    TempFolder dir;
    const std::string zip = dir / "stored.zip";
    ASSERT_EQ(shell("python3 -c \"import zipfile; z=zipfile.ZipFile('" + zip +
                    "','w'); z.writestr('s.txt', b'A'*4000); z.writestr('t.txt', b'B'*10)\""),
              0);
    std::string bytes = readFile(zip);
    const size_t at = bytes.find(std::string(100, 'A'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'X';
    writeFile(zip, bytes);
    auto run = unzip().run("-x \"" + zip + "\" " + dir.path() + "/o/");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_FILE_CRC) << run.report;
    // The damaged member leaves nothing behind (no partial file either); the next one is
    // still extracted.
    EXPECT_EQ(filesBelow(dir / "o"), std::vector<std::string>{"t.txt"});
    EXPECT_EQ(run.report.find("Melted  s.txt"), std::string::npos);

    writeFile(dir / "keep/s.txt", "previous\n");
    run = unzip().run("-x -o \"" + zip + "\" " + dir.path() + "/keep/ s.txt");
    EXPECT_EQ(run.result, ARCHIVER_ERROR_FILE_CRC);
    EXPECT_EQ(readFile(dir / "keep/s.txt"), "previous\n");
}

TEST(ZipDamage, TruncatedAndMutatedArchivesFailCleanly)
{
    TempFolder dir;
    const std::string good = makeFixture(dir, "cp932_zip");
    const std::string original = readFile(good);
    bool ok = false;
    int end = 0;
    writeFile(dir / "garbage.zip", randomBytes(3000, 7));
    EXPECT_TRUE(unzip().list(dir / "garbage.zip", ok, end).empty());
    EXPECT_FALSE(ok);
    EXPECT_GE(unzip().run("-x \"" + dir.path() + "/garbage.zip\" " + dir.path() + "/g/").result,
              0x8000);

    // Truncations and random byte changes: every result is success or an error code, and
    // nothing lands outside the destination.
    for (unsigned i = 0; i < 150; ++i) {
        std::string bytes = original;
        if (i % 3 == 0) {
            bytes.resize(bytes.size() * (i % 97) / 97);
        } else {
            const std::string noise = randomBytes(8, i);
            for (int k = 0; k < 1 + int(i % 8); ++k)
                bytes[(i * 7919u + k * 104729u) % bytes.size()] = noise[k];
        }
        const std::string path = dir / "m.zip";
        writeFile(path, bytes);
        const auto listed = unzip().list(path, ok, end);
        EXPECT_TRUE(!ok || end == ARCHIVER_FIND_END || end >= 0x8000) << i;
        const auto run = unzip().run("-x -o \"" + path + "\" " + dir.path() + "/m/");
        EXPECT_TRUE(run.result == 0 || run.result >= 0x8000) << i << " " << run.report;
    }
    EXPECT_EQ(filesBelow(dir.path()).size(), filesBelow(dir / "m").size() + 3);
}

TEST(ZipHandles, ForgedHandlesAndEmptyArchives)
{
    using First = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
    using Next = int (*)(ArchiverHandle, ArchiverMemberInfo*);
    using Close = int (*)(ArchiverHandle);
    ArchiverMemberInfo info;
    auto first = reinterpret_cast<First>(unzip().symbol("FindFirst"));
    auto next = reinterpret_cast<Next>(unzip().symbol("FindNext"));
    auto close = reinterpret_cast<Close>(unzip().symbol("CloseArchive"));
    ASSERT_TRUE(first && next && close);
    EXPECT_EQ(first(0xDEADBEEF, "*.*", &info), ARCHIVER_ERROR_HARC_ISNOT_OPENED);
    EXPECT_EQ(next(0, &info), ARCHIVER_ERROR_HARC_ISNOT_OPENED);
    EXPECT_NE(close(12345), 0);
    EXPECT_GT(unzip().version(), 0);

    TempFolder dir;
    ASSERT_EQ(shell("python3 -c \"import zipfile; zipfile.ZipFile('" + dir.path() +
                    "/empty.zip','w').close()\""),
              0);
    bool ok = false;
    int end = 0;
    EXPECT_TRUE(unzip().list(dir / "empty.zip", ok, end).empty());
    EXPECT_TRUE(ok);
    EXPECT_EQ(end, ARCHIVER_FIND_END);
}
