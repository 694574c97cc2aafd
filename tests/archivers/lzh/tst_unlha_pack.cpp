// Archives written with the files compressed side by side: hostile files read back by lhasa and
// jlha, the same archive whatever the number of workers, and an unreadable last file of many
// failing the call by name with the old archive left as it was.
#include "NameCodec.h"
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
class UnlhaPack : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        lib = loadBuiltLibrary(why);
        ASSERT_TRUE(lib) << why;
        const std::string missing = missingTool({"lhasa", "jlha"});
        ASSERT_TRUE(missing.empty())
            << missing << " is missing: scripts/install-deps.sh installs it";
        root = makeTempDir();
        in = root + "/in";
    }
    void TearDown() override
    {
        unsetenv("KORAMO_EXTRACT_THREADS");
        removeTree(root);
    }

    // Runs "u" with the given number of workers.
    UnlhaLibrary::Result pack(const std::string& switches, const std::string& archive,
                              const std::string& names, int threads)
    {
        setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
        return lib->run("u " + switches + " \"" + archive + "\" \"" + in + "/\" " + names, 1 << 20);
    }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, in;
};

// Bytes of 64 letters at random: nearly every byte a literal, so the tokens pass a block's
// 32768 within a file of that many bytes.
std::string literals(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, ' ');
    for (char& c : s)
        c = static_cast<char>('0' + rng() % 64);
    return s;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST_F(UnlhaPack, HostileFilesReadByLhasaAndJlhaWithAnyNumberOfWorkers)
{
    makeDirs(in + "/日本語");
    makeDirs(in + "/many");
    writeFile(in + "/empty.txt", "");
    writeFile(in + "/one.bin", "x");
    writeFile(in + "/noise.bin", noise(100000, 1));
    writeFile(in + "/runs.bin", std::string(2000000, 'z') + std::string(1000, 'y'));
    writeFile(in + "/window5.txt", mixedData(8193, 2));
    writeFile(in + "/window7.txt", mixedData(65537, 3));
    writeFile(in + "/blocks.txt", literals(32768 + 700, 4));
    writeFile(in + "/-dash name.txt", mixedData(3000, 5));
    writeFile(in + "/日本語/表示.txt", mixedData(5000, 6));
    std::string kanji;
    for (int i = 0; i < 64; ++i)
        kanji += "漢";
    writeFile(in + "/日本語/" + kanji + "abcd.txt", mixedData(700, 7)); // 200 bytes in UTF-8
    writeFile(in + "/" + std::string(196, 'n') + ".txt", mixedData(900, 8));
    // Many members of mixed sizes, so that the workers finish out of order.
    for (int i = 0; i < 120; ++i)
        writeFile(in + "/many/m" + std::to_string(i) + ".txt",
                  i % 10 == 0 ? mixedData(300000, 100 + i) : mixedData(10 + i * 53, 100 + i));
    const auto expected = treeContents(in);
    std::map<std::string, std::string> expectedCp932;
    for (const auto& [name, content] : expected) {
        std::string bytes;
        ASSERT_TRUE(archiver::utf8ToCp932(name, bytes)) << name;
        expectedCp932[bytes] = content;
    }
    for (const std::string method : {"-o5", "-o7"}) {
        SCOPED_TRACE(method);
        const std::string archive = root + "/ours" + method + ".lzh";
        const auto r = pack("-a1 " + method, archive, "*.*", 3);
        ASSERT_EQ(r.code, 0) << r.report;
        // One worker writes the very same bytes: the order and the coding do not depend on
        // which worker finished first.
        const std::string single = root + "/single" + method + ".lzh";
        ASSERT_EQ(pack("-a1 " + method, single, "*.*", 1).code, 0);
        EXPECT_TRUE(readFile(single) == readFile(archive));

        std::string out;
        EXPECT_EQ(shell("lhasa t " + quote(archive), &out), 0) << out;
        EXPECT_EQ(shell("jlha t " + quote(archive), &out), 0) << out;
        EXPECT_EQ(out.find("CRC"), std::string::npos) << out;
        const std::string byLhasa = root + "/lhasa" + method;
        makeDirs(byLhasa);
        EXPECT_EQ(shell("cd " + quote(byLhasa) + " && lhasa xqf " + quote(archive), &out), 0)
            << out;
        EXPECT_TRUE(treeContents(byLhasa) == expectedCp932);
        // jlha turns each byte of a name that is not ASCII into a Latin-1 letter, which makes
        // the 200-byte kanji name too long to create (its bytes were checked by "t" above):
        // the ASCII-named members are compared by name, the others by their bytes.
        const std::string byJlha = root + "/jlha" + method;
        makeDirs(byJlha);
        EXPECT_EQ(shell("cd " + quote(byJlha) + " && jlha xq " + quote(archive), &out), 0) << out;
        const auto jlhaTree = treeContents(byJlha);
        std::multiset<std::string> want, got;
        for (const auto& [name, content] : expected) {
            if (name.find(kanji) == std::string::npos)
                want.insert(content);
        }
        for (const auto& [name, content] : jlhaTree)
            got.insert(content);
        EXPECT_TRUE(want == got);
        for (const std::string name : {"empty.txt", "one.bin", "noise.bin", "runs.bin",
                                       "blocks.txt", "-dash name.txt", "many/m119.txt"}) {
            ASSERT_TRUE(jlhaTree.count(name)) << name;
            EXPECT_TRUE(jlhaTree.at(name) == expected.at(name)) << name;
        }
    }
}

TEST_F(UnlhaPack, AnUnreadableLastFileOfManyFailsTheCallAndKeepsTheOldArchive)
{
    // A file that is listed as a regular file but cannot be read: without root, one without
    // read permission; as root, a kernel attribute file, which cannot be mapped.
    std::string unreadable = root + "/locked.txt";
    if (geteuid() == 0) {
        unreadable = "/sys/kernel/mm/transparent_hugepage/enabled";
        struct stat st {
        };
        if (stat(unreadable.c_str(), &st) != 0)
            GTEST_SKIP() << "no unreadable file to be had as root here";
    } else {
        writeFile(unreadable, "secret");
        chmod(unreadable.c_str(), 0);
    }
    makeDirs(in);
    for (int i = 0; i < 200; ++i)
        writeFile(in + "/m" + std::to_string(i) + ".txt", mixedData(20 + i * 331, 200 + i));
    const std::string archive = root + "/old.lzh";
    writeFile(archive + ".keep", "");
    ASSERT_EQ(pack("-o7", archive, "m1.txt m2.txt", 2).code, 0);
    const std::string before = readFile(archive);
    const auto entriesBefore = folderEntries(root);

    const auto r = pack("-o7", archive, "*.* \"" + unreadable + "\"", 2);
    EXPECT_NE(r.code, 0) << r.report;
    EXPECT_NE(r.report.find(unreadable), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("書庫は変更されていません"), std::string::npos) << r.report;
    EXPECT_TRUE(readFile(archive) == before);
    EXPECT_EQ(folderEntries(root), entriesBefore); // no temporary left beside it

    // A new archive is not made at all.
    const std::string fresh = root + "/fresh.lzh";
    const auto f = pack("-o5", fresh, "*.* \"" + unreadable + "\"", 3);
    EXPECT_NE(f.code, 0) << f.report;
    EXPECT_FALSE(exists(fresh));
    EXPECT_EQ(folderEntries(root), entriesBefore);
}

// A file too big to wait in memory is compressed straight into the archive in its turn, while
// the files after it are compressed ahead: the members still come in order and read back.
TEST_F(UnlhaPack, AFileTooBigToWaitInMemoryKeepsItsPlace)
{
    makeDirs(in + "/a");
    makeDirs(in + "/b");
    // 34 MiB that repeat within lh5's window, numbered so that no two pieces are alike.
    const std::string piece = mixedData(4000, 9);
    std::string big;
    for (int i = 0; big.size() < (34u << 20); ++i)
        big += piece + std::to_string(i);
    for (int i = 0; i < 30; ++i) {
        writeFile(in + "/a/s" + std::to_string(i) + ".txt", mixedData(2000 + i * 977, 300 + i));
        writeFile(in + "/b/s" + std::to_string(i) + ".txt", mixedData(5000 + i * 31, 400 + i));
    }
    writeFile(in + "/a/t-big.bin", big); // between a/s9.txt and b/s0.txt in name order
    const auto expected = treeContents(in);
    const std::string archive = root + "/big.lzh";
    const auto r = pack("-o5", archive, "*.*", 3);
    ASSERT_EQ(r.code, 0) << r.report;
    const std::string single = root + "/single.lzh";
    ASSERT_EQ(pack("-o5", single, "*.*", 1).code, 0);
    EXPECT_TRUE(readFile(single) == readFile(archive));
    const auto names = listNames(*lib, archive);
    std::vector<std::string> files;
    for (const std::string& n : names) {
        if (n.back() != '/')
            files.push_back(n);
    }
    std::vector<std::string> sorted = files;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(files, sorted);
    EXPECT_EQ(files.size(), expected.size());
    std::string out;
    const std::string byLhasa = root + "/lhasa";
    makeDirs(byLhasa);
    EXPECT_EQ(shell("cd " + quote(byLhasa) + " && lhasa xqf " + quote(archive), &out), 0) << out;
    EXPECT_TRUE(treeContents(byLhasa) == expected);
    EXPECT_LT(readFile(archive).size(), big.size() / 10);
}
