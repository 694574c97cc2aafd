// ZIP members copied side by side and CAB members decoded ahead of their writing
// (KORAMO_EXTRACT_THREADS sets the workers): with archives Info-ZIP and gcab made, the report,
// the files and the result are those of one member after the other; a damaged last member of
// 150 fails the call by name and leaves nothing behind.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testsupport;

namespace
{

class ZipCabParallel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // 150 members in folders, a big one first so that the workers finish out of order,
        // namesakes in different folders and a folder and file named in CP932 bytes.
        for (int i = 0; i < 150; ++i) {
            const std::string folder = i == 40 ? cp932Folder() : "f" + std::to_string(i % 4);
            const size_t size =
                i == 0 ? 3000000 : (i % 17 == 0 || i == 149 ? 400000 : 300 + i * 37);
            std::string name = "m" + std::to_string(i) + ".txt";
            if (i == 6 || i == 9 || i == 148) // in f2, f1 and f0
                name = "same.txt";
            if (i == 40)
                name = cp932File();
            // Half text-like (compressible), half random.
            std::string data = i % 2 ? randomBytes(size, 500 + i) : text(size, i);
            writeFile(dir / ("in/" + folder + "/" + name), data);
            members.push_back(folder + "/" + name);
        }
    }
    void TearDown() override { unsetenv("KORAMO_EXTRACT_THREADS"); }

    static std::string cp932Folder() { return "\x93\xfa\x96\x7b\x8c\xea"; }           // 日本語
    static std::string cp932File() { return "\x83\x74\x83\x40\x83\x43\x83\x8b.txt"; } // ファイル
    static std::string text(size_t size, int seed)
    {
        std::string out;
        for (int n = 0; out.size() < size; ++n)
            out += "line " + std::to_string(n * 7919 % (seed + 13)) + " of member " +
                   std::to_string(seed) + " with words that repeat\n";
        out.resize(size);
        return out;
    }

    std::string names() const
    {
        std::string out;
        for (const std::string& m : members)
            out += " " + quote(m);
        return out;
    }

    LoadedArchiver::Run run(const LoadedArchiver& lib, const std::string& line,
                            const std::string& dest, int threads)
    {
        setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
        shell("mkdir -p " + quote(dest));
        LoadedArchiver::Run r = lib.run(line + " \"" + dest + "/\"", 1 << 20);
        for (size_t at; (at = r.report.find(dest)) != std::string::npos;)
            r.report.replace(at, dest.size(), "DEST");
        return r;
    }

    // The files below the folder with their contents, names as UTF-8.
    std::vector<std::pair<std::string, std::string>> contents(const std::string& folder) const
    {
        std::vector<std::pair<std::string, std::string>> out;
        for (const std::string& f : filesBelow(folder))
            out.emplace_back(f, readFile(folder + "/" + f));
        return out;
    }
    // What the source tree extracts to: the CP932 names as UTF-8.
    std::vector<std::pair<std::string, std::string>> expected() const
    {
        auto out = contents(dir / "in");
        for (auto& [name, data] : out) {
            if (name.rfind(cp932Folder(), 0) == 0)
                name = "日本語/ファイル.txt";
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string hiddenFiles(const std::string& dest)
    {
        std::string found;
        for (const std::string& f : filesBelow(dest))
            if (f[0] == '.' || f.find("/.") != std::string::npos)
                found += f + "\n";
        return found;
    }

    TempFolder dir;
    std::vector<std::string> members; // in archive order
    LoadedArchiver unzip{"libunzip32.so", "UnZip"};
    LoadedArchiver cab{"libcab32.so", "Cab"};
};

} // namespace

TEST_F(ZipCabParallel, ZipReportAndFilesAreThoseOfOneMemberAfterTheOther)
{
    ASSERT_TRUE(unzip.loaded());
    const std::string zip = dir / "many.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "in") + " && zip -q " + quote(zip) + names()), 0);
    const std::string line = "-x -o --i \"" + zip + "\"";
    const auto one = run(unzip, line, dir / "one", 1);
    const auto four = run(unzip, line, dir / "four", 4);
    ASSERT_EQ(one.result, 0) << one.report;
    EXPECT_EQ(four.result, 0) << four.report;
    EXPECT_EQ(four.report, one.report);
    EXPECT_EQ(contents(dir / "four"), expected());
    EXPECT_LT(four.report.find("Melted  f0/m0.txt"), four.report.find("Melted  f1/m1.txt"));
    EXPECT_LT(four.report.find("Melted  f3/m147.txt"), four.report.find("Melted  f1/m149.txt"));
    EXPECT_NE(four.report.find("Melted  日本語/ファイル.txt"), std::string::npos) << four.report;
    EXPECT_EQ(hiddenFiles(dir / "four"), "");

    // Flat: the namesakes meet at one name, each later one over the earlier one's file.
    const auto flatOne = run(unzip, "-x -j -o --i \"" + zip + "\"", dir / "flat1", 1);
    const auto flatFour = run(unzip, "-x -j -o --i \"" + zip + "\"", dir / "flat4", 4);
    EXPECT_EQ(flatFour.result, flatOne.result) << flatFour.report;
    EXPECT_EQ(flatFour.report, flatOne.report);
    EXPECT_EQ(contents(dir / "flat4"), contents(dir / "flat1"));
    EXPECT_EQ(readFile(dir / "flat4/same.txt"), readFile(dir / "in/f0/same.txt"));
    EXPECT_EQ(hiddenFiles(dir / "flat4"), "");
}

TEST_F(ZipCabParallel, ZipDamagedLastOfOneHundredFiftyIsReportedAndLeavesNothing)
{
    ASSERT_TRUE(unzip.loaded());
    const std::string zip = dir / "damaged.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "in") + " && zip -q " + quote(zip) + names()), 0);
    std::string bytes = readFile(zip);
    // The last member's data (400 KB of text, deflated) lies before the central directory.
    const size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
    const size_t last = bytes.rfind(std::string("PK\x03\x04", 4), central);
    ASSERT_NE(last, std::string::npos);
    bytes[last + 30 + 16 + (central - last - 46) / 2] ^= 0x5A;
    writeFile(zip, bytes);
    const std::string dest = dir / "out";
    const auto r = run(unzip, "-x -o --i \"" + zip + "\"", dest, 4);
    EXPECT_NE(r.result, 0) << r.report;
    EXPECT_NE(r.report.find("Error  f1/m149.txt"), std::string::npos) << r.report;
    EXPECT_EQ(r.report.find("Melted  f1/m149.txt"), std::string::npos) << r.report;
    EXPECT_NE(r.report.find("149 個のファイルを解凍しました。(スキップ 0 個、エラー 1 個)"),
              std::string::npos)
        << r.report;
    auto want = expected();
    want.erase(std::remove_if(want.begin(), want.end(),
                              [](const auto& f) { return f.first == "f1/m149.txt"; }),
               want.end());
    EXPECT_EQ(contents(dest), want);
    EXPECT_EQ(hiddenFiles(dest), "");
}

TEST_F(ZipCabParallel, CabReportAndFilesAreThoseOfOneMemberAfterTheOther)
{
    ASSERT_TRUE(cab.loaded());
    // gcab takes the names as they are; the CP932 member is left out (CAB names are not CP932
    // bytes on disk).
    std::string list;
    for (const std::string& m : members)
        if (m.rfind(cp932Folder(), 0) != 0)
            list += " " + quote(m);
    const std::string cabinet = dir / "many.cab";
    ASSERT_EQ(shell("cd " + quote(dir / "in") + " && gcab -c -z " + quote(cabinet) + list), 0);
    const std::string line = "-x -r -o -i \"" + cabinet + "\"";
    const auto one = run(cab, line, dir / "one", 1);
    const auto two = run(cab, line, dir / "two", 2);
    ASSERT_EQ(one.result, 0) << one.report;
    EXPECT_EQ(two.result, 0) << two.report;
    EXPECT_EQ(two.report, one.report);
    auto want = expected();
    want.erase(std::remove_if(want.begin(), want.end(),
                              [](const auto& f) { return f.first.rfind("日本語", 0) == 0; }),
               want.end());
    EXPECT_EQ(contents(dir / "two"), want);
    EXPECT_EQ(hiddenFiles(dir / "two"), "");
}
