// Archives we write, read by lhasa and bsdtar; archives jlha writes, read by us.
#include "NameCodec.h"
#include "UnlhaTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
class UnlhaCross : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        lib = loadBuiltLibrary(why);
        ASSERT_TRUE(lib) << why;
        const std::string missing = missingTool({"lhasa", "bsdtar", "jlha"});
        ASSERT_TRUE(missing.empty())
            << missing << " is missing: scripts/install-deps.sh installs it";
        root = makeTempDir();
        src = root + "/src";
        makeDirs(src + "/フォルダ/深い");
        makeDirs(src + "/empty folder");
        writeFile(src + "/readme.txt", mixedData(40000, 11));
        writeFile(src + "/zero.bin", "");
        writeFile(src + "/フォルダ/日本語の名前.txt", mixedData(7000, 12));
        writeFile(src + "/フォルダ/深い/ソース表示.c", mixedData(12345, 13));
        // Several megabytes that repeat every 40000 bytes with small changes: only lh7's
        // 64 KiB window reaches back that far.
        std::string block = mixedData(40000, 14), big;
        for (int i = 0; big.size() < (6u << 20); ++i) {
            block[static_cast<size_t>(i * 7919) % block.size()] ^= 0x21;
            big += block;
        }
        writeFile(src + "/big.dat", big);
        writeFile(src + "/noise.bin", noise(70000, 15));
        writeFile(src + "/runs.bin", std::string(300000, 'z'));
    }
    void TearDown() override { removeTree(root); }

    // The tree as lhasa writes it: names in the archive's bytes (CP932).
    static std::map<std::string, std::string> asCp932(const std::map<std::string, std::string>& t)
    {
        std::map<std::string, std::string> out;
        for (const auto& [name, content] : t) {
            std::string bytes;
            EXPECT_TRUE(archiver::utf8ToCp932(name, bytes)) << name;
            out[bytes] = content;
        }
        return out;
    }

    std::unique_ptr<UnlhaLibrary> lib;
    std::string root, src;
};
} // namespace

TEST_F(UnlhaCross, OurArchivesReadByLhasaAndBsdtar)
{
    const auto expected = treeContents(src);
    for (const char* methodText : {"-o2", "-o7", "-o6"}) {
        const std::string method = methodText;
        const std::string archive = root + "/ours" + method + ".lzh";
        const auto r = lib->run("u -a1 " + method + " \"" + archive + "\" \"" + src + "/\" *.*");
        ASSERT_EQ(r.code, 0) << r.report;
        std::string out;
        EXPECT_EQ(shell("lhasa t " + quote(archive), &out), 0) << method << "\n" << out;

        const std::string byLhasa = root + "/lhasa" + method;
        makeDirs(byLhasa);
        EXPECT_EQ(shell("cd " + quote(byLhasa) + " && lhasa xqf " + quote(archive), &out), 0)
            << out;
        EXPECT_EQ(treeContents(byLhasa), asCp932(expected)) << method;

        const std::string byBsdtar = root + "/bsdtar" + method;
        makeDirs(byBsdtar);
        EXPECT_EQ(shell("bsdtar --options hdrcharset=CP932 -xf " + quote(archive) + " -C " +
                            quote(byBsdtar),
                        &out),
                  0)
            << out;
        EXPECT_EQ(treeContents(byBsdtar), expected) << method;
        // The listing names the same members.
        EXPECT_EQ(
            shell("bsdtar --options hdrcharset=CP932 -tf " + quote(archive) + " | sort", &out), 0);
        std::string want;
        for (const auto& [name, content] : expected)
            want += name + "\n";
        EXPECT_EQ(out, want);
        // And our own extraction agrees.
        const std::string byUs = root + "/us" + method + "/";
        makeDirs(byUs);
        const auto e = lib->run("e -d1 \"" + archive + "\" \"" + byUs + "\"");
        EXPECT_EQ(e.code, 0) << e.report;
        EXPECT_EQ(treeContents(byUs), expected);
    }
    // The compressed sizes say the encoder did its work: lh7 finds the big file's
    // long-distance repeats that lh5 cannot reach.
    const auto s5 = readFile(root + "/ours-o2.lzh").size();
    const auto s7 = readFile(root + "/ours-o7.lzh").size();
    EXPECT_LT(s7 * 4, s5);
}

TEST_F(UnlhaCross, JlhaArchivesReadByUs)
{
    // jlha under the C locale mangles non-ASCII names, so its inputs are ASCII-named.
    const std::string in = root + "/ascii";
    makeDirs(in + "/dir/sub");
    writeFile(in + "/text.txt", mixedData(90000, 21));
    writeFile(in + "/dir/noise.bin", noise(20000, 22));
    writeFile(in + "/dir/sub/zero", "");
    writeFile(in + "/dir/sub/runs", std::string(200000, 'q') + mixedData(50000, 23));
    const auto expected = treeContents(in);
    for (const char* levelText : {"0", "1", "2"}) {
        const std::string level = levelText;
        for (const char* methodText : {"5", "6", "7"}) {
            const std::string method = methodText;
            const std::string archive = root + "/j" + level + method + ".lzh";
            std::string out;
            ASSERT_EQ(shell("cd " + quote(in) + " && jlha a" + level + "o" + method + "q " +
                                quote(archive) + " text.txt dir",
                            &out),
                      0)
                << out;
            const std::string dest = root + "/from-j" + level + method + "/";
            makeDirs(dest);
            const auto r = lib->run("e -d1 \"" + archive + "\" \"" + dest + "\"");
            EXPECT_EQ(r.code, 0) << "level " << level << " lh" << method << "\n" << r.report;
            EXPECT_EQ(treeContents(dest), expected) << "level " << level << " lh" << method;
            const auto names = listNames(*lib, archive);
            EXPECT_GE(names.size(), 5u);
        }
    }
}

namespace
{

// Fixed-size records as a database or log writer leaves them: a counter, a few random bytes,
// zero padding and a slowly cycling value. Many short matches at the record distance, and
// long ones only far back.
std::string records(size_t size, unsigned seed)
{
    const std::string random = noise(size / 4 + 16, seed);
    std::string out;
    for (uint32_t i = 0; out.size() < size; ++i) {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<char>((i >> (8 * k)) & 0xFF));
        out += random.substr((i * 6) % (random.size() - 6), 6);
        out += std::string(10, '\0');
        const uint32_t v = i * 7 % 997;
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
    }
    out.resize(size);
    return out;
}

// Real text: the system's C headers, one after another.
std::string headerText(size_t size)
{
    std::string out;
    std::string listing;
    shell("find /usr/include -maxdepth 1 -name '*.h' | sort", &listing);
    size_t pos = 0;
    while (out.size() < size && pos < listing.size()) {
        size_t end = listing.find('\n', pos);
        if (end == std::string::npos)
            end = listing.size();
        out += readFile(listing.substr(pos, end - pos));
        pos = end + 1;
    }
    if (out.size() < size)
        out += mixedData(size - out.size(), 31);
    out.resize(size);
    return out;
}

} // namespace

TEST_F(UnlhaCross, BenchLikeDataExtractsWithLhasaAndJlhaAndIsNoLargerThanJlha)
{
    const std::string in = root + "/bench";
    makeDirs(in + "/d");
    writeFile(in + "/records.dat", records(1500000, 41));
    writeFile(in + "/d/text.dat", headerText(1200000));
    writeFile(in + "/d/noise.dat", noise(300000, 42));
    const auto expected = treeContents(in);
    for (const char* methodText : {"5", "7"}) {
        const std::string method = methodText;
        SCOPED_TRACE("lh" + method);
        const std::string ours = root + "/ours-lh" + method + ".lzh";
        const auto r = lib->run("u -a1 -o" + method + " \"" + ours + "\" \"" + in + "/\" *.*");
        ASSERT_EQ(r.code, 0) << r.report;
        std::string out;
        const std::string byLhasa = root + "/bench-lhasa" + method;
        makeDirs(byLhasa);
        EXPECT_EQ(shell("cd " + quote(byLhasa) + " && lhasa xqf " + quote(ours), &out), 0) << out;
        EXPECT_EQ(treeContents(byLhasa), expected);
        const std::string byJlha = root + "/bench-jlha" + method;
        makeDirs(byJlha);
        EXPECT_EQ(shell("cd " + quote(byJlha) + " && jlha xq " + quote(ours), &out), 0) << out;
        EXPECT_EQ(treeContents(byJlha), expected);

        // jlha's archive of the same files is no smaller, member by member.
        const std::string theirs = root + "/jlha-lh" + method + ".lzh";
        ASSERT_EQ(shell("cd " + quote(in) + " && jlha ao" + method + "q " + quote(theirs) +
                            " records.dat d/text.dat",
                        &out),
                  0)
            << out;
        for (const char* member : {"records.dat", "d/text.dat"}) {
            SCOPED_TRACE(member);
            std::string ourList, theirList;
            const std::string column = " | awk '$NF == \"" + std::string(member) + "\" {print $2}'";
            shell("lhasa v " + quote(ours) + column, &ourList);
            shell("lhasa v " + quote(theirs) + column, &theirList);
            ASSERT_FALSE(ourList.empty() || theirList.empty()) << ourList << theirList;
            EXPECT_LE(std::stoull(ourList), std::stoull(theirList));
        }
    }
}
