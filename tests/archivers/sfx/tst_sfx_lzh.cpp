// LZH self-extracting archives made with Unlha s from archives of other tools (jlha, a
// level-0 header written byte by byte here) and from our own: NAME.run must write what the
// LZH library and lhasa read from the same archive, and say so when it cannot.

#include "ArchiverTestSupport.h"
#include "StubRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sys/stat.h>

using namespace testsupport;
using sfxtest::runStub;

namespace
{

LoadedArchiver& unlha()
{
    static LoadedArchiver lib("libunlha32.so", "Unlha");
    return lib;
}

// CRC-16 (polynomial 0xA001, reflected) as LZH headers carry it, written out here so that the
// archives below do not depend on the code under test.
uint16_t crc16(const std::string& data)
{
    uint16_t crc = 0;
    for (const char ch : data) {
        crc ^= static_cast<uint8_t>(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

void put16(std::string& out, uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One stored (-lh0-) member with a level-0 header: the name as raw bytes, "\" between folders.
std::string level0Member(const std::string& rawName, const std::string& data)
{
    std::string h;
    h += "-lh0-";
    put32(h, static_cast<uint32_t>(data.size())); // compressed size
    put32(h, static_cast<uint32_t>(data.size())); // original size
    // 2024-05-01 12:34:56 in MS-DOS form: time in the low half, date in the high half.
    put16(h, (12u << 11) | (34u << 5) | (56u / 2));
    put16(h, ((2024u - 1980u) << 9) | (5u << 5) | 1u);
    h.push_back(0x20); // attribute: archive
    h.push_back(0);    // header level
    h.push_back(static_cast<char>(rawName.size()));
    h += rawName;
    put16(h, crc16(data));
    uint8_t sum = 0;
    for (const char ch : h)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(ch));
    std::string member;
    member.push_back(static_cast<char>(h.size())); // header size after these two bytes
    member.push_back(static_cast<char>(sum));
    return member + h + data;
}

// The contents of every file below the folder, sorted: two extractions of one archive compare
// this way even where their names are spelled in different encodings.
std::vector<std::string> contentsBelow(const std::string& folder)
{
    std::vector<std::string> out;
    for (const std::string& f : filesBelow(folder))
        out.push_back(readFile(folder + "/" + f));
    std::sort(out.begin(), out.end());
    return out;
}

// The archive turned into NAME.run with the library's own command, in the folder "save".
std::string makeRun(const TempFolder& dir, const std::string& archive)
{
    std::filesystem::create_directories(dir / "save");
    const auto run = unlha().run("s -gw3 " + archive + " " + dir.path() + "/save/");
    EXPECT_EQ(run.result, 0) << run.report;
    std::string name = std::filesystem::path(archive).stem().string();
    return dir / ("save/" + name + ".run");
}

// lhasa's extraction of the archive into the folder; its exit status.
int extractWithLhasa(const std::string& archive, const std::string& folder)
{
    std::filesystem::create_directories(folder);
    return shell("cd " + quote(folder) + " && lhasa xqf " + quote(archive) + " >/dev/null 2>&1");
}

// jlha, writing names in CP932 as LZH archivers on Japanese Windows do.
int jlha(const std::string& folder, const std::string& arguments)
{
    return shell("cd " + quote(folder) +
                 " && LC_ALL=C.UTF-8 JAVA_TOOL_OPTIONS=-Dlha.encoding=MS932 jlha " + arguments +
                 " >/dev/null 2>&1");
}

bool toolsPresent(std::string& missing)
{
    for (const char* tool : {"jlha", "lhasa"}) {
        if (shell(std::string("command -v ") + tool + " >/dev/null") != 0) {
            missing = tool;
            return false;
        }
    }
    return true;
}

// Names whose CP932 form is awkward: half-width katakana (single bytes B6 C0 B6 C5), second
// bytes 0x5C ("表" 95 5C, "ソ" 83 5C) in a file and a folder name, and a compressible member
// large enough to be packed rather than stored.
void writeAwkwardTree(const std::string& src)
{
    writeFile(src + "/a.txt", "plain ASCII name\n");
    writeFile(src + "/ｶﾀｶﾅ.txt", "half-width katakana\n");
    writeFile(src + "/表.txt", "second byte 0x5C\n");
    writeFile(src + "/ソフト.txt", "ソフト: two 0x5C second bytes in one name\n");
    writeFile(src + "/ソフト/表示.txt", "a folder whose name holds 0x5C\n");
    std::string big;
    for (int i = 0; big.size() < 300000; ++i)
        big += "行 " + std::to_string(i) + " データ/説明 " + std::to_string(i * 7919 % 1000) + "\n";
    writeFile(src + "/データ/説明.txt", big);
}

// The three members of the hand-built level-0 archive: raw name, the name expected on disk.
struct HandMember {
    std::string raw;
    std::string name;
    std::string data;
};

std::vector<HandMember> handMembers()
{
    return {
        {"\xB6\xC0\xB6\xC5.txt", "ｶﾀｶﾅ.txt", "first: half-width katakana\n"},
        {"\x95\x5C.txt", "表.txt", "second: 0x5C after a lead byte\n"},
        {"\x83\x5C\x83\x74\x83\x67\\\x95\x5C\x8E\xA6.txt", "ソフト/表示.txt",
         "third: a real separator between two names with 0x5C second bytes\n"},
    };
}

std::string handArchive(const std::vector<HandMember>& members)
{
    std::string archive;
    for (const HandMember& m : members)
        archive += level0Member(m.raw, m.data);
    archive.push_back('\0');
    return archive;
}

} // namespace

TEST(SelfExtractingLzh, JlhaArchivesOfEveryHeaderLevelWithCp932Names)
{
    std::string missing;
    if (!toolsPresent(missing))
        GTEST_SKIP() << missing << " is not installed";
    ASSERT_TRUE(unlha().loaded()) << buildBin();
    TempFolder dir;
    const std::string src = dir / "src";
    writeAwkwardTree(src);
    const std::vector<std::string> names = filesBelow(src);
    ASSERT_EQ(names.size(), 6u);

    for (const char* level : {"0", "1", "2"}) {
        SCOPED_TRACE(std::string("header level ") + level);
        const std::string archive = dir / (std::string("jlha") + level + ".lzh");
        ASSERT_EQ(
            jlha(src, std::string("a") + level + "q " + quote(archive) +
                          " a.txt ｶﾀｶﾅ.txt 表.txt ソフト.txt ソフト/表示.txt データ/説明.txt"),
            0);
        // The archive really holds the CP932 bytes (jlha writes "?" for what it cannot encode).
        const std::string bytes = readFile(archive);
        ASSERT_NE(bytes.find("\xB6\xC0\xB6\xC5.txt"), std::string::npos);
        ASSERT_NE(bytes.find("\x95\x5C.txt"), std::string::npos);
        ASSERT_NE(bytes.find("-lh5-"), std::string::npos) << "the large member is packed";

        const std::string program = makeRun(dir, archive);
        ASSERT_TRUE(exists(program));
        const std::string out = dir / (std::string("x") + level);
        std::string output;
        ASSERT_EQ(runStub(dir, program, "--dest " + quote(out) + " --yes", &output), 0) << output;
        EXPECT_EQ(filesBelow(out), names) << output;
        for (const std::string& name : names)
            EXPECT_EQ(readFile(out + "/" + name), readFile(src + "/" + name)) << name;

        const std::string byLhasa = dir / (std::string("lhasa") + level);
        ASSERT_EQ(extractWithLhasa(archive, byLhasa), 0);
        EXPECT_EQ(contentsBelow(out), contentsBelow(byLhasa));

        // The library itself reads the same names from the same archive.
        const std::string byLibrary = dir / (std::string("lib") + level) + "/";
        const auto run = unlha().run("x -d1 -m1 " + archive + " " + byLibrary);
        EXPECT_EQ(run.result, 0) << run.report;
        EXPECT_EQ(filesBelow(byLibrary), names);
    }
}

TEST(SelfExtractingLzh, HandBuiltLevel0ArchiveOfStoredMembers)
{
    std::string missing;
    if (!toolsPresent(missing))
        GTEST_SKIP() << missing << " is not installed";
    TempFolder dir;
    const std::vector<HandMember> members = handMembers();
    const std::string archive = dir / "hand.lzh";
    writeFile(archive, handArchive(members));
    // lhasa reads every member of it intact.
    ASSERT_EQ(shell("lhasa t " + quote(archive) + " >/dev/null 2>&1"), 0);

    const std::string program = makeRun(dir, archive);
    std::string output;
    ASSERT_EQ(runStub(dir, program, "--dest " + quote(dir / "x") + " --yes", &output), 0) << output;
    std::vector<std::string> expected;
    for (const HandMember& m : members) {
        expected.push_back(m.name);
        EXPECT_EQ(readFile(dir / ("x/" + m.name)), m.data) << m.name;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(filesBelow(dir / "x"), expected) << output;
    EXPECT_NE(output.find("3 個のファイルを"), std::string::npos) << output;

    ASSERT_EQ(extractWithLhasa(archive, dir / "lhasa"), 0);
    EXPECT_EQ(contentsBelow(dir / "x"), contentsBelow(dir / "lhasa"));
}

TEST(SelfExtractingLzh, UnicodeNameHeadersOfOurOwnArchives)
{
    TempFolder dir;
    const std::string src = dir / "src";
    // Hangul has no CP932 form: the library writes these names with UTF-16 name headers.
    writeFile(src + "/한글.txt", "hangul\n");
    writeFile(src + "/폴더/ｶﾀｶﾅ 表.txt", "folder without a CP932 form\n");
    writeFile(src + "/ソフト/表.txt", "cp932 folder\n");
    const std::string archive = dir / "ours.lzh";
    const auto run = unlha().run("u -a1 \"" + archive + "\" \"" + src + "/\" *.*");
    ASSERT_EQ(run.result, 0) << run.report;
    // "한" as UTF-16LE in a name header.
    ASSERT_NE(readFile(archive).find(std::string("\x5C\xD5", 2)), std::string::npos);

    const std::string program = makeRun(dir, archive);
    std::string output;
    ASSERT_EQ(runStub(dir, program, "--dest " + quote(dir / "x") + " --yes", &output), 0) << output;
    EXPECT_EQ(filesBelow(dir / "x"), filesBelow(src)) << output;
    for (const std::string& name : filesBelow(src))
        EXPECT_EQ(readFile(dir / ("x/" + name)), readFile(src + "/" + name)) << name;
}

TEST(SelfExtractingLzh, DamagedArchivesFailAndSaySo)
{
    TempFolder dir;
    const std::vector<HandMember> members = handMembers();
    const std::string archive = handArchive(members);
    writeFile(dir / "hand.lzh", archive);
    const std::string program = makeRun(dir, dir / "hand.lzh");
    const std::string whole = readFile(program);
    ASSERT_GT(whole.size(), archive.size());
    const size_t payload = whole.size() - archive.size();
    const size_t second = level0Member(members[0].raw, members[0].data).size();
    const size_t third = second + level0Member(members[1].raw, members[1].data).size();

    // The third header's checksum is wrong: the first two are written, and the run fails.
    std::string broken = whole;
    broken[payload + third + 1] = static_cast<char>(broken[payload + third + 1] ^ 0x55);
    writeFile(dir / "header.run", broken);
    ASSERT_EQ(::chmod((dir / "header.run").c_str(), 0755), 0);
    std::string output;
    EXPECT_NE(runStub(dir, dir / "header.run", "--dest " + quote(dir / "h") + " --yes", &output),
              0);
    EXPECT_NE(output.find("書庫が壊れています"), std::string::npos) << output;
    EXPECT_NE(output.find("展開は完了していません"), std::string::npos) << output;
    EXPECT_EQ(output.find("に展開しました。"), std::string::npos) << output;
    EXPECT_EQ(filesBelow(dir / "h"), (std::vector<std::string>{"表.txt", "ｶﾀｶﾅ.txt"}));

    // A byte of the second member's data is wrong: its CRC fails, nothing of it is left, the
    // others are written and the run fails.
    broken = whole;
    const size_t data = payload + second + level0Member(members[1].raw, "").size();
    broken[data] = static_cast<char>(broken[data] ^ 0x01);
    writeFile(dir / "data.run", broken);
    ASSERT_EQ(::chmod((dir / "data.run").c_str(), 0755), 0);
    EXPECT_NE(runStub(dir, dir / "data.run", "--dest " + quote(dir / "d") + " --yes", &output), 0);
    EXPECT_NE(output.find("CRC"), std::string::npos) << output;
    EXPECT_NE(output.find("展開は完了していません"), std::string::npos) << output;
    EXPECT_EQ(filesBelow(dir / "d"), (std::vector<std::string>{"ソフト/表示.txt", "ｶﾀｶﾅ.txt"}));

    // The first header is already broken: nothing is written.
    broken = whole;
    broken[payload + 1] = static_cast<char>(broken[payload + 1] ^ 0x55);
    writeFile(dir / "first.run", broken);
    ASSERT_EQ(::chmod((dir / "first.run").c_str(), 0755), 0);
    EXPECT_NE(runStub(dir, dir / "first.run", "--dest " + quote(dir / "f") + " --yes", &output), 0);
    EXPECT_NE(output.find("書庫を開けません"), std::string::npos) << output;
    EXPECT_TRUE(filesBelow(dir / "f").empty());
}

TEST(SelfExtractingLzh, ArchiveCutOffBetweenMembersFails)
{
    TempFolder dir;
    const std::vector<HandMember> members = handMembers();
    const std::string archive = handArchive(members);
    writeFile(dir / "hand.lzh", archive);
    const std::string program = makeRun(dir, dir / "hand.lzh");
    const std::string whole = readFile(program);
    ASSERT_GT(whole.size(), archive.size());
    const size_t payload = whole.size() - archive.size();
    const size_t second = level0Member(members[0].raw, members[0].data).size();
    const size_t third = second + level0Member(members[1].raw, members[1].data).size();

    // A download that stopped exactly after a member (or only lost the end mark) looks like a
    // shorter archive; the run must still see that the rest is missing.
    int i = 0;
    for (const size_t cut : {second, third, archive.size() - 1}) {
        SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes of the archive");
        const std::string name = "cut" + std::to_string(i++);
        writeFile(dir / (name + ".run"), whole.substr(0, payload + cut));
        ASSERT_EQ(::chmod((dir / (name + ".run")).c_str(), 0755), 0);
        std::string output;
        EXPECT_NE(
            runStub(dir, dir / (name + ".run"), "--dest " + quote(dir / name) + " --yes", &output),
            0)
            << output;
        EXPECT_NE(output.find("途中で切れています"), std::string::npos) << output;
        EXPECT_EQ(output.find("に展開しました。"), std::string::npos) << output;
    }
}

TEST(SelfExtractingLzh, ArchiveWithoutEndMarkStillMakesAWorkingRun)
{
    // Some archivers leave out the zero byte after the last member; the library reads such
    // archives, and so must the NAME.run made from one.
    TempFolder dir;
    const std::vector<HandMember> members = handMembers();
    std::string archive = handArchive(members);
    archive.pop_back();
    writeFile(dir / "open.lzh", archive);
    const std::string program = makeRun(dir, dir / "open.lzh");
    ASSERT_TRUE(exists(program));
    std::string output;
    ASSERT_EQ(runStub(dir, program, "--dest " + quote(dir / "x") + " --yes", &output), 0) << output;
    for (const HandMember& m : members)
        EXPECT_EQ(readFile(dir / ("x/" + m.name)), m.data) << m.name;
}
