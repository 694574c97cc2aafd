// libunlha32.so through its C entry points, with the command lines the program sends.
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string binFolder()
{
    const char* bin = std::getenv("KORAMO_BUILD_BIN");
    return bin ? bin : "";
}

class UnlhaCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "Asia/Tokyo", 1);
        ASSERT_FALSE(binFolder().empty()) << "KORAMO_BUILD_BIN is not set";
        lib = std::make_unique<UnlhaLibrary>(binFolder() + "/libunlha32.so");
        ASSERT_TRUE(lib->loaded()) << lib->error();
        root = makeTempDir();
        ASSERT_FALSE(root.empty());
        // The program folder layout: P/temp/ is the work and staging folder.
        program = root + "/prog";
        temp = program + "/temp/";
        makeDirs(temp);
        makeDirs(root + "/src/sub");
        writeFile(root + "/src/a.txt", mixedData(20000, 1));
        writeFile(root + "/src/empty.dat", "");
        writeFile(root + "/src/sub/b.txt", mixedData(5000, 2));
        writeFile(root + "/src/sub/日本語.txt", "日本語の名前");
        writeFile(root + "/src/noise.bin", noise(30000, 3));
        chmod((root + "/src/sub/b.txt").c_str(), 0640);
    }
    void TearDown() override { removeTree(root); }

    // Packs src/ the way the compression dialog does: staged, then "*.*" from the staging
    // folder.
    std::string packSource(const std::string& name)
    {
        shell("cp -a " + quote(root + "/src/.") + " " + quote(temp));
        const std::string archive = root + "/" + name;
        const auto r = lib->run("u -a1 -l1 -jp1 -o2 \"" + archive + "\" \"" + temp + "\" \"*.*\" ");
        EXPECT_EQ(r.code, 0) << r.report;
        shell("rm -rf " + quote(temp) + " && mkdir -p " + quote(temp));
        return archive;
    }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, program, temp;
};
} // namespace

TEST_F(UnlhaCommands, VersionAndMemberRecord)
{
    EXPECT_EQ(lib->version(), 100);
    // A member stored as 1999-05-10 13:04:06 local time.
    struct tm tmv {
    };
    tmv.tm_year = 99;
    tmv.tm_mon = 4;
    tmv.tm_mday = 10;
    tmv.tm_hour = 13;
    tmv.tm_min = 4;
    tmv.tm_sec = 6;
    tmv.tm_isdst = -1;
    const time_t t = mktime(&tmv);
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (root + "/src/a.txt").c_str(), ts, 0), 0);
    const std::string archive = packSource("rec.lzh");

    const ArchiverHandle h = lib->open(0, archive.c_str(), 0);
    ASSERT_NE(h, 0u);
    ArchiverMemberInfo info;
    std::memset(&info, 0xAB, sizeof info);
    std::map<std::string, ArchiverMemberInfo> seen;
    for (int r = lib->findFirst(h, "*.*", &info); r == 0; r = lib->findNext(h, &info))
        seen[info.fileName] = info;
    EXPECT_EQ(lib->findNext(h, &info), -1);
    ASSERT_EQ(seen.size(), 6u); // a.txt empty.dat noise.bin sub sub/b.txt sub/日本語.txt
    const ArchiverMemberInfo& a = seen.at("a.txt");
    EXPECT_EQ(a.originalSize, 20000u);
    EXPECT_LT(a.compressedSize, 20000u);
    EXPECT_EQ(a.dosDate, ((1999 - 1980) << 9) | (5 << 5) | 10);
    EXPECT_EQ(a.dosTime, (13 << 11) | (4 << 5) | 3);
    EXPECT_STREQ(a.mode, "-lh5-");
    EXPECT_EQ(a.osType, static_cast<uint32_t>(ARCHIVER_OS_UNIX));
    EXPECT_EQ(a.ratio, a.compressedSize * 1000 / 20000);
    EXPECT_EQ(std::string(a.attribute), "a--w");
    EXPECT_EQ(seen.at("empty.dat").originalSize, 0u);
    EXPECT_STREQ(seen.at("noise.bin").mode, "-lh0-"); // would not shrink
    EXPECT_EQ(seen.at("noise.bin").compressedSize, 30000u);
    EXPECT_STREQ(seen.at("sub").mode, "-lhd-");
    EXPECT_TRUE(seen.count("sub/日本語.txt"));
    // Wildcards in the find call; the 64-bit size of the last found member.
    ASSERT_EQ(lib->findFirst(h, "*.txt", &info), 0);
    int64_t size64 = 0;
    EXPECT_EQ(lib->originalSizeEx(h, &size64), 0);
    EXPECT_EQ(size64, static_cast<int64_t>(info.originalSize));
    EXPECT_EQ(lib->close(h), 0);
    EXPECT_NE(lib->close(h), 0);                 // already closed
    EXPECT_NE(lib->findFirst(h, "*", &info), 0); // a stale handle is refused
    // Something that is no archive does not open.
    writeFile(root + "/fake.lzh", "this is not an archive at all, just text");
    EXPECT_EQ(lib->open(0, (root + "/fake.lzh").c_str(), 0), 0u);
    EXPECT_EQ(lib->open(0, (root + "/missing.lzh").c_str(), 0), 0u);
}

TEST_F(UnlhaCommands, ExtractionDialogCommandLines)
{
    const std::string archive = packSource("x.lzh");
    // Into the current folder and into a chosen folder (with -jf0): the tree comes back with
    // its times and permissions.
    for (const char* swText : {"e -d1 ", "e -d1 -jf0 "}) {
        const std::string sw = swText;
        const std::string dest = root + "/out" + std::to_string(sw.size()) + "/";
        makeDirs(dest);
        const auto r = lib->run(sw + "\"" + archive + "\" \"" + dest + "\"");
        EXPECT_EQ(r.code, 0) << r.report;
        EXPECT_NE(r.report.find("Melted  sub/b.txt"), std::string::npos) << r.report;
        EXPECT_EQ(treeContents(dest), treeContents(root + "/src"));
        struct stat a {
        }, b{};
        ASSERT_EQ(stat((dest + "sub/b.txt").c_str(), &a), 0);
        ASSERT_EQ(stat((root + "/src/sub/b.txt").c_str(), &b), 0);
        EXPECT_EQ(a.st_mtime, b.st_mtime);
        EXPECT_EQ(a.st_mode & 0777, 0640u);
        ASSERT_EQ(stat((dest + "sub").c_str(), &a), 0);
        ASSERT_EQ(stat((root + "/src/sub").c_str(), &b), 0);
        EXPECT_EQ(a.st_mtime, b.st_mtime); // folder time set after its files
    }
}

// A caller that passes paths with blanks unquoted gets them joined again, as the ZIP and CAB
// libraries do: the archive, then the destination; the members are extracted there and
// nowhere else.
TEST_F(UnlhaCommands, UnquotedPathsWithBlanksAreJoinedAgain)
{
    const std::string packed = packSource("x.lzh");
    makeDirs(root + "/my archives");
    const std::string archive = root + "/my archives/the pack.lzh";
    shell("mv " + quote(packed) + " " + quote(archive));
    const std::string dest = root + "/out dir/";
    makeDirs(dest);
    const auto r = lib->run("e -d1 " + archive + " " + dest);
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(treeContents(dest), treeContents(root + "/src"));
    EXPECT_FALSE(exists(root + "/out")) << "extracted into the first half of the destination";

    // One member by name, flat, with the joined archive path and destination.
    const std::string other = root + "/out dir 2/";
    makeDirs(other);
    const auto e = lib->run("e " + archive + " " + other + " a.txt");
    EXPECT_EQ(e.code, 0) << e.report;
    EXPECT_TRUE(exists(other + "a.txt"));
    EXPECT_FALSE(exists(other + "sub"));
}

TEST_F(UnlhaCommands, MemberCommandLines)
{
    const std::string archive = packSource("m.lzh");
    const std::string dest = root + "/picked/";
    makeDirs(dest);
    // Selected members, flat (no -d1).
    auto r = lib->run("e \"" + archive + "\" \"" + dest + "\" a.txt sub/b.txt");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(readFile(dest + "b.txt"), readFile(root + "/src/sub/b.txt"));
    EXPECT_TRUE(exists(dest + "a.txt"));
    EXPECT_FALSE(exists(dest + "sub"));
    EXPECT_FALSE(exists(dest + "noise.bin"));
    // No member selected: the line ends with the destination and a blank; all come out.
    const std::string all = root + "/all/";
    makeDirs(all);
    r = lib->run("e \"" + archive + "\" \"" + all + "\" ");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_TRUE(exists(all + "日本語.txt"));
    EXPECT_TRUE(exists(all + "noise.bin"));

    // Double click: the unquoted work folder, a blank, the member.
    r = lib->run("e \"" + archive + "\" " + temp + " sub/日本語.txt");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(readFile(temp + "日本語.txt"), "日本語の名前");

    // Drag out: with folders and -m1 into the work folder.
    r = lib->run("e -n -d1 -m1 \"" + archive + "\" \"" + temp + "\" sub/b.txt a.txt");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(readFile(temp + "sub/b.txt"), readFile(root + "/src/sub/b.txt"));
    EXPECT_TRUE(exists(temp + "a.txt"));
    // -m1 overwrites an older file but keeps a newer one.
    writeFile(temp + "a.txt", "older");
    struct timespec old[2] = {{1000, 0}, {1000, 0}};
    utimensat(AT_FDCWD, (temp + "a.txt").c_str(), old, 0);
    writeFile(temp + "sub/b.txt", "newer");
    const time_t later = time(nullptr) + 3600;
    struct timespec newer[2] = {{later, 0}, {later, 0}};
    utimensat(AT_FDCWD, (temp + "sub/b.txt").c_str(), newer, 0);
    r = lib->run("e -n -d1 -m1 \"" + archive + "\" \"" + temp + "\" sub/b.txt a.txt");
    EXPECT_TRUE(readFile(temp + "a.txt") == readFile(root + "/src/a.txt")) << r.report;
    EXPECT_EQ(readFile(temp + "sub/b.txt"), "newer");
    EXPECT_NE(r.report.find("Skipped  sub/b.txt"), std::string::npos) << r.report;
    // Without -m1 and without a display the question is answered "no", and the report says so.
    writeFile(dest + "a.txt", "keep me");
    r = lib->run("e \"" + archive + "\" \"" + dest + "\" a.txt");
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(readFile(dest + "a.txt"), "keep me");
    EXPECT_NE(r.report.find("Skipped  a.txt"), std::string::npos) << r.report;
}

TEST_F(UnlhaCommands, AddDeleteAndRenameKeepOtherMembersBytes)
{
    const std::string archive = packSource("edit.lzh");
    const std::string before = readFile(archive);
    const std::string noiseBytes = readFile(root + "/src/noise.bin");
    ASSERT_NE(before.find(noiseBytes), std::string::npos); // stored member

    // "Add a file": empty base folder becomes "/", the file by its full path.
    writeFile(root + "/added.txt", mixedData(3000, 9));
    auto r = lib->run("u -a1 -l1 -jp1 -o2 \"" + archive + "\" \"/\" \"" + root + "/added.txt\" ");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_NE(r.report.find("Frozen  added.txt"), std::string::npos) << r.report;
    std::vector<std::string> names = listNames(*lib, archive);
    EXPECT_EQ(names.back(), "added.txt");
    // The members that were there keep their bytes: the old archive minus its end mark is
    // the start of the new one.
    const std::string afterAdd = readFile(archive);
    EXPECT_EQ(afterAdd.compare(0, before.size() - 1, before, 0, before.size() - 1), 0);

    // Dropped files: base "/" and the work folder's "*.*".
    writeFile(temp + "dropped1.txt", "one");
    writeFile(temp + "dropped2.txt", "two");
    r = lib->run("u -a1 -l1 -jp1 -o2 \"" + archive + "\" \"/\" \"" + temp + "*.*\" ");
    EXPECT_EQ(r.code, 0) << r.report;
    names = listNames(*lib, archive);
    EXPECT_EQ(std::count(names.begin(), names.end(), "dropped1.txt"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "dropped2.txt"), 1);

    // Nothing newer: nothing changes.
    const std::string stable = readFile(archive);
    r = lib->run("u -a1 -l1 -jp1 -o2 \"" + archive + "\" \"/\" \"" + temp + "*.*\" ");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(readFile(archive), stable);

    // Delete: one call per member, archive unquoted, 255-byte report.
    r = lib->run("d -jyd " + archive + " \"sub/b.txt\"", 255);
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_LT(r.report.size(), 255u);
    names = listNames(*lib, archive);
    EXPECT_EQ(std::count(names.begin(), names.end(), "sub/b.txt"), 0);
    EXPECT_EQ(names.size(), 8u);
    EXPECT_NE(readFile(archive).find(noiseBytes), std::string::npos);
    // Deleting what is not there changes nothing and says so.
    const std::string afterDelete = readFile(archive);
    r = lib->run("d -jyd " + archive + " \"nothing.txt\"", 255);
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(readFile(archive), afterDelete);
    // Without -jyd and without a display nothing is deleted.
    r = lib->run("d " + archive + " \"a.txt\"");
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(readFile(archive), afterDelete);

    // Rename as the member command sends it: the archive's own file name follows the
    // archive, then the members. Without a display no name can be asked.
    r = lib->run("n \"" + archive + "\" edit.lzh a.txt");
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.report.find("Skipped  a.txt"), std::string::npos) << r.report;
    EXPECT_EQ(readFile(archive), afterDelete);
    // With -gr the new name comes from the command line.
    r = lib->run("n -grrenamed.txt \"" + archive + "\" edit.lzh a.txt");
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_NE(r.report.find("Renamed  a.txt -> renamed.txt"), std::string::npos) << r.report;
    names = listNames(*lib, archive);
    EXPECT_EQ(std::count(names.begin(), names.end(), "renamed.txt"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "a.txt"), 0);
    EXPECT_NE(readFile(archive).find(noiseBytes), std::string::npos);
    // A new name that climbs out or already exists is refused.
    r = lib->run("n -gr../up.txt \"" + archive + "\" renamed.txt");
    EXPECT_NE(r.code, 0);
    r = lib->run("n -grnoise.bin \"" + archive + "\" renamed.txt");
    EXPECT_NE(r.code, 0);
    const std::string out = root + "/renamed/";
    makeDirs(out);
    r = lib->run("e \"" + archive + "\" \"" + out + "\" renamed.txt");
    EXPECT_EQ(readFile(out + "renamed.txt"), readFile(root + "/src/a.txt"));

    // A newer file replaces its member.
    sleep(1);
    writeFile(temp + "dropped1.txt", "one, changed");
    r = lib->run("u -a1 -l1 -jp1 -o2 \"" + archive + "\" \"/\" \"" + temp + "*.*\" ");
    EXPECT_EQ(r.code, 0) << r.report;
    r = lib->run("e -m1 \"" + archive + "\" \"" + out + "\" dropped1.txt");
    EXPECT_EQ(readFile(out + "dropped1.txt"), "one, changed");
}

TEST_F(UnlhaCommands, SelfExtractingArchive)
{
    writeFile(temp + "$", "$GroupTitle=T\r\n$Group=G,N,a.txt,");
    writeFile(temp + "a.txt", "payload");
    // The start-menu variant names the intermediate archive P + "temp" + name + ".lzh".
    const std::string intermediate = program + "/tempsetup.lzh";
    auto r = lib->run("u -a1 -l1 -jp1 -o2 \"" + intermediate + "\" \"/\" \"" + temp + "*.*\" ");
    ASSERT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(listNames(*lib, intermediate), (std::vector<std::string>{"$", "a.txt"}));
    const std::string chosen = root + "/chosen/";
    makeDirs(chosen);

    // A library folder without the stub program: a clear error, nothing written.
    const std::string bare = root + "/bare";
    makeDirs(bare);
    shell("cp " + quote(binFolder() + "/libunlha32.so") + " " + quote(bare + "/"));
    {
        UnlhaLibrary copy(bare + "/libunlha32.so");
        ASSERT_TRUE(copy.loaded()) << copy.error();
        r = copy.run("s -gw3 \"" + intermediate + "\" \"" + chosen + "\"");
        EXPECT_NE(r.code, 0);
        EXPECT_NE(r.report.find("koramo-sfx"), std::string::npos) << r.report;
        EXPECT_FALSE(exists(chosen + "tempsetup.run"));
        // With a stub beside it: stub followed by the unchanged archive, executable.
        writeFile(bare + "/koramo-sfx", "#!/bin/sh\nexit 0\n");
        r = copy.run("s -gw3 \"" + intermediate + "\" \"" + chosen + "\"");
        EXPECT_EQ(r.code, 0) << r.report;
    }
    EXPECT_EQ(readFile(chosen + "tempsetup.run"), "#!/bin/sh\nexit 0\n" + readFile(intermediate));
    struct stat st {
    };
    ASSERT_EQ(stat((chosen + "tempsetup.run").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(UnlhaCommands, ReportsAndBadCommandLines)
{
    const std::string archive = packSource("r.lzh");
    auto r = lib->run("l \"" + archive + "\"");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.report.find("sub/日本語.txt"), std::string::npos) << r.report;
    // A tiny buffer: cut, terminated, nothing written past it.
    r = lib->run("l \"" + archive + "\"", 16);
    EXPECT_LT(r.report.size(), 16u);
    EXPECT_EQ(r.report.find("wrote past"), std::string::npos);
    r = lib->run("q \"" + archive + "\"");
    EXPECT_EQ(r.code, ARCHIVER_ERROR_COMMAND_NAME);
    r = lib->run("e \"" + root + "/missing.lzh\" \"" + root + "/\"");
    EXPECT_EQ(r.code, ARCHIVER_ERROR_NOT_FIND_ARC_FILE);
    EXPECT_NE(r.report.find("missing.lzh"), std::string::npos);
    r = lib->run("");
    EXPECT_NE(r.code, 0);
    // Compressing an empty staging folder makes no archive and says why.
    r = lib->run("u -a1 -l1 -jp1 -o2 \"" + root + "/none.lzh\" \"" + temp + "\" \"*.*\" ");
    EXPECT_NE(r.code, 0);
    EXPECT_FALSE(exists(root + "/none.lzh"));
    EXPECT_FALSE(r.report.empty());
    // Hidden files only with -a1.
    writeFile(temp + ".hidden", "h");
    writeFile(temp + "shown", "s");
    r = lib->run("u \"" + root + "/h.lzh\" \"" + temp + "\" \"*.*\" ");
    EXPECT_EQ(listNames(*lib, root + "/h.lzh"), std::vector<std::string>{"shown"});
    // The archive being written is never its own input.
    r = lib->run("u -a1 \"" + temp + "self.lzh\" \"" + temp + "\" \"*.*\" ");
    r = lib->run("u -a1 \"" + temp + "self.lzh\" \"" + temp + "\" \"*.*\" ");
    const std::vector<std::string> self = listNames(*lib, temp + "self.lzh");
    EXPECT_EQ(std::count(self.begin(), self.end(), "self.lzh"), 0);
}
