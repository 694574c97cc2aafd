// Hostile and broken archives through the entry points: nothing lands outside the
// destination, nothing half-written looks complete, and a failed update leaves the archive
// as it was.
#include "Crc16.h"
#include "LzhHeader.h"
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// One stored member with any name we like, CRC right or wrong.
std::string storedMember(const std::string& path, const std::string& data, bool goodCrc = true,
                         const std::string& method = "-lh0-")
{
    lzh::NewHeader h;
    h.method = method;
    h.compressedSize = data.size();
    h.originalSize = data.size();
    h.mtime = 1600000000;
    h.path = path;
    h.directory = method == "-lhd-";
    const uint16_t crc = lzh::crc16(0, reinterpret_cast<const uint8_t*>(data.data()), data.size());
    h.crc = goodCrc ? crc : static_cast<uint16_t>(crc ^ 0x1234);
    const std::vector<uint8_t> header = lzh::buildLevel2Header(h);
    return std::string(header.begin(), header.end()) + data;
}

class UnlhaSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        lib = loadBuiltLibrary(why);
        ASSERT_TRUE(lib) << why;
        root = makeTempDir();
        dest = root + "/dest/";
        outside = root + "/outside";
        makeDirs(dest);
        makeDirs(outside);
    }
    void TearDown() override { removeTree(root); }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, dest, outside;
};
} // namespace

TEST_F(UnlhaSafety, ClimbingAbsoluteAndLinkedMembersStayInside)
{
    const std::string abs = outside + "/absolute.txt";
    std::string arc;
    arc += storedMember("../outside/climb.txt", "x");
    arc += storedMember("ok/../../outside/climb2.txt", "x");
    arc += storedMember(abs, "x");
    // A link member pointing outside, then a file "through" it.
    arc += storedMember("lnk|" + outside, "", true, "-lhd-");
    arc += storedMember("lnk/through.txt", "x");
    // A link the user already has inside the destination.
    symlink(outside.c_str(), (dest + "userlink").c_str());
    arc += storedMember("userlink/via.txt", "x");
    symlink((outside + "/target.txt").c_str(), (dest + "filelink").c_str());
    arc += storedMember("filelink", "x");
    arc += storedMember("good/fine.txt", "fine");
    arc.push_back('\0');
    writeFile(root + "/evil.lzh", arc);

    auto r = lib->run("e -d1 -m1 \"" + root + "/evil.lzh\" \"" + dest + "\"");
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(treeContents(outside).empty()) << "written outside the destination";
    EXPECT_EQ(readFile(dest + "good/fine.txt"), "fine");
    for (const char* name : {"../outside/climb.txt", "ok/../../outside/climb2.txt", "lnk",
                             "userlink/via.txt", "filelink"})
        EXPECT_NE(r.report.find(std::string("Skipped  ") + name), std::string::npos) << name << "\n"
                                                                                     << r.report;
    EXPECT_NE(r.report.find("Skipped  " + abs), std::string::npos) << r.report;
    // lnk was never created, so lnk/through.txt lands in a real folder inside.
    struct stat st {
    };
    if (lstat((dest + "lnk").c_str(), &st) == 0) {
        EXPECT_TRUE(S_ISDIR(st.st_mode));
    }

    // With -jf0 an absolute path is taken relative to the destination.
    const std::string dest2 = root + "/dest2/";
    makeDirs(dest2);
    r = lib->run("e -d1 -jf0 -m1 \"" + root + "/evil.lzh\" \"" + dest2 + "\" " + abs);
    EXPECT_EQ(r.code, 0) << r.report;
    EXPECT_EQ(readFile(dest2 + abs.substr(1)), "x");
    EXPECT_TRUE(treeContents(outside).empty());
}

TEST_F(UnlhaSafety, CrcMismatchLeavesNoFile)
{
    std::string arc = storedMember("bad.txt", "content", false) + storedMember("good.txt", "ok");
    arc.push_back('\0');
    writeFile(root + "/crc.lzh", arc);
    const auto r = lib->run("e -d1 -m1 \"" + root + "/crc.lzh\" \"" + dest + "\"");
    EXPECT_EQ(r.code, ARCHIVER_ERROR_FILE_CRC);
    EXPECT_NE(r.report.find("CRC"), std::string::npos) << r.report;
    EXPECT_EQ(r.report.find("Melted  bad.txt"), std::string::npos);
    const auto tree = treeContents(dest);
    EXPECT_EQ(tree.size(), 1u); // good.txt only, no temporary left behind
    EXPECT_EQ(tree.count("good.txt"), 1u);
}

TEST_F(UnlhaSafety, TruncatedAndCorruptArchives)
{
    const std::string src = root + "/src/";
    makeDirs(src);
    writeFile(src + "one.txt", mixedData(200000, 4));
    writeFile(src + "two.txt", mixedData(100000, 5));
    const std::string archive = root + "/t.lzh";
    auto r = lib->run("u -o7 \"" + archive + "\" \"" + src + "\" *.*");
    ASSERT_EQ(r.code, 0) << r.report;
    const std::string whole = readFile(archive);
    // Every cut gives an error report, never a crash; the archive never "extracts fine".
    for (size_t cut : {size_t(1), size_t(10), size_t(30), whole.size() / 3, whole.size() - 2}) {
        writeFile(root + "/cut.lzh", whole.substr(0, cut));
        const std::string d = root + "/cut" + std::to_string(cut) + "/";
        makeDirs(d);
        r = lib->run("e -d1 -m1 \"" + root + "/cut.lzh\" \"" + d + "\"");
        EXPECT_NE(r.code, 0) << "cut at " << cut << "\n" << r.report;
        EXPECT_FALSE(r.report.empty());
        const auto tree = treeContents(d);
        for (const auto& [name, content] : tree)
            EXPECT_EQ(content, readFile(src + name)) << "a wrong " << name << " was left";
    }
    // Garbage inside the compressed data: an error or a CRC mismatch, and no wrong file.
    std::string corrupt = whole;
    for (size_t i = 200; i < corrupt.size() - 100; i += 997)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x55);
    writeFile(root + "/corrupt.lzh", corrupt);
    r = lib->run("e -d1 -m1 \"" + root + "/corrupt.lzh\" \"" + dest + "\"");
    EXPECT_NE(r.code, 0);
    for (const auto& [name, content] : treeContents(dest))
        EXPECT_EQ(content, readFile(src + name));
    // Listing a truncated archive stops with an error code after the good members.
    writeFile(root + "/cut.lzh", whole.substr(0, whole.size() - 2));
    const ArchiverHandle h = lib->open(0, (root + "/cut.lzh").c_str(), 0);
    ASSERT_NE(h, 0u);
    ArchiverMemberInfo info;
    int r1 = lib->findFirst(h, "*.*", &info);
    int r2 = lib->findNext(h, &info);
    EXPECT_EQ(r1, 0);
    EXPECT_NE(r2, 0);
    EXPECT_NE(r2, -1); // an error, not a clean end
    lib->close(h);
}

TEST_F(UnlhaSafety, FailedUpdatesLeaveTheArchiveAsItWas)
{
    std::string arc = storedMember("a.txt", "a") + storedMember("b.txt", "b");
    const std::string good = arc + '\0';
    // A broken second header: the archive is not rewritten by u, d or n.
    std::string broken = arc;
    broken[storedMember("a.txt", "a").size() + 5] = 'X';
    broken.push_back('\0');
    writeFile(root + "/broken.lzh", broken);
    writeFile(root + "/new.txt", "new");
    for (const std::string& cmd : {"u \"" + root + "/broken.lzh\" \"" + root + "/\" new.txt",
                                   "d -jyd \"" + root + "/broken.lzh\" a.txt",
                                   "n -grc.txt \"" + root + "/broken.lzh\" a.txt"}) {
        const auto r = lib->run(cmd);
        EXPECT_NE(r.code, 0) << cmd;
        EXPECT_EQ(readFile(root + "/broken.lzh"), broken) << cmd;
    }
    // No temporary files are left beside it.
    EXPECT_EQ(treeContents(root).size(), 4u) << "broken.lzh, new.txt, dest/, outside/";
    // A member that cannot be read: the update stops and the archive is unchanged.
    writeFile(root + "/good.lzh", good);
    const auto r = lib->run("u \"" + root + "/good.lzh\" \"" + root + "/\" new.txt missing.txt");
    EXPECT_NE(r.report.find("Skipped  missing.txt"), std::string::npos) << r.report;
}
