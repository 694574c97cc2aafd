// Extraction with members decoded side by side (KORAMO_EXTRACT_THREADS sets the workers): the
// report, the files and the result are those of one member after the other, with archives
// jlha made; a damaged last member of 150 fails the call by name and leaves nothing behind.
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
class UnlhaParallel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        lib = loadBuiltLibrary(why);
        ASSERT_TRUE(lib) << why;
        ASSERT_FALSE(findTool("jlha").empty()) << "jlha is missing: scripts/install-deps.sh";
        root = makeTempDir();
        in = root + "/in";
        // 150 members in folders, big and small mixed so that the workers finish out of order
        // (a big member first), and namesakes in different folders.
        for (int i = 0; i < 150; ++i) {
            const std::string folder = "f" + std::to_string(i % 4);
            makeDirs(in + "/" + folder);
            const size_t size =
                i == 0 ? 3000000 : (i % 17 == 0 || i == 149 ? 400000 : 300 + i * 37);
            const bool namesake = i == 6 || i == 9 || i == 148; // in f2, f1 and f0
            const std::string name = namesake ? "same.txt" : "m" + std::to_string(i) + ".txt";
            writeFile(in + "/" + folder + "/" + name, mixedData(size, 100 + i));
            order += " " + folder + "/" + name;
        }
    }
    void TearDown() override
    {
        unsetenv("KORAMO_EXTRACT_THREADS");
        removeTree(root);
    }

    std::string pack(const std::string& name, const std::string& method)
    {
        const std::string archive = root + "/" + name;
        std::string out;
        EXPECT_EQ(shell("cd " + quote(in) + " && jlha a2o" + method + "q " + quote(archive) + order,
                        &out),
                  0)
            << out;
        return archive;
    }

    // Runs the command with the given number of workers into a fresh folder; the report has
    // the folder's path replaced, so reports of different runs compare.
    UnlhaLibrary::Result run(const std::string& command, const std::string& dest, int threads)
    {
        setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
        makeDirs(dest);
        UnlhaLibrary::Result r = lib->run(command + " \"" + dest + "/\"", 1 << 20);
        for (size_t at; (at = r.report.find(dest)) != std::string::npos;)
            r.report.replace(at, dest.size(), "DEST");
        return r;
    }

    static std::string hiddenFiles(const std::string& dest)
    {
        std::string out;
        shell("find " + quote(dest) + " -name '.*' -print", &out);
        return out;
    }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, in, order;
};
} // namespace

TEST_F(UnlhaParallel, ReportAndFilesAreThoseOfOneMemberAfterTheOther)
{
    for (const char* method : {"5", "7"}) {
        SCOPED_TRACE(std::string("lh") + method);
        const std::string archive = pack(std::string("p") + method + ".lzh", method);
        const std::string line = "e -d1 -m1 -n \"" + archive + "\"";
        const auto one = run(line, root + "/one" + method, 1);
        const auto four = run(line, root + "/four" + method, 4);
        ASSERT_EQ(one.code, 0) << one.report;
        EXPECT_EQ(four.code, 0) << four.report;
        EXPECT_EQ(four.report, one.report);
        EXPECT_EQ(treeContents(root + "/four" + method), treeContents(in));
        // The "Melted" lines name the members in the archive's order.
        size_t at = 0;
        for (size_t i = 0; i < 150; ++i) {
            const size_t next = four.report.find("Melted  ", at);
            ASSERT_NE(next, std::string::npos) << i;
            at = next + 1;
        }
        EXPECT_LT(four.report.find("f0/m0.txt"), four.report.find("f1/m1.txt"));
        EXPECT_LT(four.report.find("f3/m147.txt"), four.report.find("f1/m149.txt"));
        EXPECT_EQ(hiddenFiles(root + "/four" + method), "");
    }
}

TEST_F(UnlhaParallel, FlatNamesakesInDifferentFoldersMeetAsOneAfterTheOther)
{
    const std::string archive = pack("flat.lzh", "5");
    // Without -d1 the namesakes go to one name: each later one meets the earlier one's file.
    const std::string line = "e -m1 -n \"" + archive + "\"";
    const auto one = run(line, root + "/one", 1);
    const auto four = run(line, root + "/four", 4);
    EXPECT_EQ(four.code, one.code) << four.report;
    EXPECT_EQ(four.report, one.report);
    EXPECT_EQ(treeContents(root + "/four"), treeContents(root + "/one"));
    EXPECT_EQ(readFile(root + "/four/same.txt"), readFile(in + "/f0/same.txt"));
    EXPECT_EQ(hiddenFiles(root + "/four"), "");
}

TEST_F(UnlhaParallel, DamagedLastOfOneHundredFiftyIsReportedAndLeavesNothing)
{
    const std::string archive = pack("damaged.lzh", "5");
    std::string bytes = readFile(archive);
    // The last member (f1/m149.txt, 400 KB) ends just before the closing zero byte.
    ASSERT_GT(bytes.size(), 100000u);
    bytes[bytes.size() - 20000] ^= 0x5A;
    writeFile(archive, bytes);
    const std::string dest = root + "/out";
    const auto r = run("e -d1 -m1 -n \"" + archive + "\"", dest, 4);
    EXPECT_NE(r.code, 0) << r.report;
    const size_t error = r.report.find("f1/m149.txt");
    ASSERT_NE(error, std::string::npos) << r.report;
    EXPECT_EQ(r.report.find("Melted  f1/m149.txt"), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("149 個のファイルを展開しました (エラー 1 件"), std::string::npos)
        << r.report;
    EXPECT_FALSE(exists(dest + "/f1/m149.txt"));
    auto expected = treeContents(in);
    expected.erase("f1/m149.txt");
    EXPECT_EQ(treeContents(dest), expected);
    EXPECT_EQ(hiddenFiles(dest), "");
}

TEST_F(UnlhaParallel, CodePageNamesFromOurArchiveComeOutAsTheyWere)
{
    // jlha cannot store these names under the C locale; our own writer stores them in CP932.
    const std::string jp = root + "/jp";
    for (int i = 0; i < 120; ++i) {
        const std::string folder = i % 2 ? "/フォルダ" : "/表示";
        makeDirs(jp + folder);
        writeFile(jp + folder + "/ソース" + std::to_string(i) + ".txt",
                  mixedData(2000 + i * 100, 300 + i));
    }
    writeFile(jp + "/表示/ソース.txt", "one");
    writeFile(jp + "/フォルダ/ソース.txt", "two");
    const std::string archive = root + "/jp.lzh";
    ASSERT_EQ(lib->run("u -a1 \"" + archive + "\" \"" + jp + "/\" *.*").code, 0);
    const auto one = run("e -d1 -m1 -n \"" + archive + "\"", root + "/jp1", 1);
    const auto four = run("e -d1 -m1 -n \"" + archive + "\"", root + "/jp4", 4);
    EXPECT_EQ(four.code, 0) << four.report;
    EXPECT_EQ(four.report, one.report);
    EXPECT_EQ(treeContents(root + "/jp4"), treeContents(jp));
}
