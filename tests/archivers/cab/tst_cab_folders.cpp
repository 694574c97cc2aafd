// Extracting stored and MSZIP folders: cabinets made by gcab and byte by byte here (several
// folders, blocks without checksums, members that go back to an earlier folder, damaged blocks,
// files outside their folders), checked against cabextract and bsdtar, with the folder decoded
// ahead of the writing and on one thread.

#include "ArchiverTestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

using namespace testsupport;

namespace
{

LoadedArchiver& cab()
{
    static LoadedArchiver lib("libcab32.so", "Cab");
    return lib;
}

void put16(std::string& out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

uint32_t get32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

// The cabinet checksum written out as the format describes it: little-endian words XORed, the
// bytes left over taken first-highest.
uint32_t cabChecksum(const std::string& bytes, uint32_t seed)
{
    uint32_t sum = seed;
    const size_t whole = bytes.size() / 4 * 4;
    for (size_t i = 0; i < whole; i += 4)
        sum ^= get32(bytes, i);
    uint32_t rest = 0;
    for (size_t i = whole; i < bytes.size(); ++i)
        rest = (rest << 8) | static_cast<unsigned char>(bytes[i]);
    return sum ^ rest;
}

// One MSZIP block: "CK" and a finished raw deflate stream whose window is the output before it.
std::string mszip(const std::string& piece, const std::string& before)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (!before.empty()) {
        const std::string window =
            before.substr(before.size() - std::min<size_t>(32768, before.size()));
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(window.data()),
                             static_cast<uInt>(window.size()));
    }
    std::string out(deflateBound(&z, piece.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return "CK" + out;
}

struct Member {
    std::string name; // bytes as stored
    std::string data;
    unsigned folder = 0;
    uint16_t attributes = 0x20;
    int storedFolder = -1;     // written instead of folder when set
    int64_t storedOffset = -1; // written instead of the real offset when set
};

struct Folder {
    bool mszip = true;
    bool checksums = true;
};

// A cabinet of the folders, each holding its members' data one after the other in 32 KiB
// blocks. tamper may change a block (its 8-byte header and data) after its checksum is made.
std::string
buildCabinet(const std::vector<Folder>& folders, const std::vector<Member>& members,
             const std::function<void(unsigned folder, size_t block, std::string&)>& tamper = {})
{
    std::vector<std::string> output(folders.size());
    std::string files;
    for (const Member& m : members) {
        const uint32_t offset =
            m.storedOffset >= 0 ? uint32_t(m.storedOffset) : uint32_t(output[m.folder].size());
        output[m.folder] += m.data;
        put32(files, static_cast<uint32_t>(m.data.size()));
        put32(files, offset);
        put16(files, m.storedFolder >= 0 ? unsigned(m.storedFolder) : m.folder);
        put16(files, 0x5921); // 2024-09-01
        put16(files, 0x6000); // 12:00
        put16(files, m.attributes);
        files += m.name;
        files += '\0';
    }
    std::vector<std::string> data(folders.size());
    std::vector<size_t> blockCount(folders.size(), 0);
    for (unsigned f = 0; f < folders.size(); ++f) {
        const std::string& all = output[f];
        for (size_t at = 0, block = 0; at < all.size() || block == 0; at += 32768, ++block) {
            const std::string piece = all.substr(at, 32768);
            const std::string packed = folders[f].mszip ? mszip(piece, all.substr(0, at)) : piece;
            std::string sizes;
            put16(sizes, static_cast<unsigned>(packed.size()));
            put16(sizes, static_cast<unsigned>(piece.size()));
            std::string b;
            put32(b, folders[f].checksums ? cabChecksum(sizes, cabChecksum(packed, 0)) : 0);
            b += sizes + packed;
            if (tamper)
                tamper(f, block, b);
            data[f] += b;
            blockCount[f] = block + 1;
        }
    }
    const size_t filesOffset = 36 + 8 * folders.size();
    size_t dataOffset = filesOffset + files.size();
    std::string folderTable;
    for (unsigned f = 0; f < folders.size(); ++f) {
        put32(folderTable, static_cast<uint32_t>(dataOffset));
        put16(folderTable, static_cast<unsigned>(blockCount[f]));
        put16(folderTable, folders[f].mszip ? 1 : 0);
        dataOffset += data[f].size();
    }
    std::string out = "MSCF";
    put32(out, 0);
    put32(out, static_cast<uint32_t>(dataOffset));
    put32(out, 0);
    put32(out, static_cast<uint32_t>(filesOffset));
    put32(out, 0);
    out += '\x03';
    out += '\x01';
    put16(out, static_cast<unsigned>(folders.size()));
    put16(out, static_cast<unsigned>(members.size()));
    put16(out, 0);
    put16(out, 0x1234);
    put16(out, 0);
    out += folderTable + files;
    for (const std::string& d : data)
        out += d;
    return out;
}

std::map<std::string, std::string> treeOf(const std::string& root)
{
    std::map<std::string, std::string> out;
    for (const std::string& f : filesBelow(root))
        out[f] = readFile(root + "/" + f);
    return out;
}

std::string text(size_t size, int seed)
{
    std::string out;
    for (int n = 0; out.size() < size; ++n)
        out += "record " + std::to_string(n * 7919 % (seed + 101)) + " of " + std::to_string(seed) +
               " repeats its words\n";
    out.resize(size);
    return out;
}

// Extracts with our library (decoding ahead or on one thread), cabextract and (unless the file
// table goes back to an earlier folder, which libarchive refuses) bsdtar, and expects the same
// files from all of them.
void expectSameAsPeers(const TempFolder& dir, const std::string& archive, bool bsdtar = true)
{
    ASSERT_EQ(shell("cabextract -q -d " + quote(dir / "cabextract") + " " + quote(archive)), 0);
    const auto reference = treeOf(dir / "cabextract");
    ASSERT_FALSE(reference.empty());
    if (bsdtar) {
        std::filesystem::create_directories(dir / "bsdtar");
        ASSERT_EQ(shell("bsdtar -xf " + quote(archive) + " -C " + quote(dir / "bsdtar")), 0);
        EXPECT_TRUE(treeOf(dir / "bsdtar") == reference);
    }
    for (const char* threads : {"2", "1"}) {
        setenv("KORAMO_EXTRACT_THREADS", threads, 1);
        const std::string out = dir / (std::string("ours") + threads);
        const auto run = cab().run("-x -r -o -i \"" + archive + "\" \"" + out + "/\"");
        EXPECT_EQ(run.result, 0) << threads << run.report;
        EXPECT_TRUE(treeOf(out) == reference) << threads;
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}

} // namespace

TEST(CabFolders, GcabCabinetsWithHostileNamesMatchCabextractAndBsdtar)
{
    ASSERT_TRUE(cab().loaded()) << buildBin();
    TempFolder dir;
    const std::string in = dir / "in";
    writeFile(in + "/a/same.txt", "first namesake\n");
    writeFile(in + "/b/same.txt", "second namesake\n");
    writeFile(in + "/-x.txt", "dash\n");
    writeFile(in + "/with blank.txt", text(70000, 1));
    writeFile(in + "/quote\"d 'x'.txt", "quotes\n");
    writeFile(in + "/" + std::string(200, 'n'), "long name\n");
    writeFile(in + "/empty.bin", "");
    writeFile(in + "/big/text.log", text(1500000, 2));
    writeFile(in + "/big/random.bin", randomBytes(700000, 3));
    const std::string names = "-- a/same.txt b/same.txt -x.txt 'with blank.txt' "
                              "'quote\"d '\\''x'\\''.txt' " +
                              std::string(200, 'n') + " empty.bin big/text.log big/random.bin";
    for (const char* mode : {"-c -z", "-c"}) {
        SCOPED_TRACE(mode);
        TempFolder out;
        const std::string archive = out / "g.cab";
        ASSERT_EQ(
            shell("cd " + quote(in) + " && gcab " + mode + " " + quote(archive) + " " + names), 0);
        // gcab stores a checksum with every block, so they are all checked here.
        const std::string bytes = readFile(archive);
        ASSERT_NE(get32(bytes, get32(bytes, 36)), 0u);
        expectSameAsPeers(out, archive);
        EXPECT_EQ(readFile(out / "ours2/b/same.txt"), "second namesake\n");
        EXPECT_EQ(readFile(out / "ours2/-x.txt"), "dash\n");
    }
}

TEST(CabFolders, ByteBuiltFoldersMatchCabextractAndBsdtar)
{
    TempFolder dir;
    // Three folders: MSZIP with checksums, stored, MSZIP without checksums.
    const std::vector<Folder> folders = {{true, true}, {false, true}, {true, false}};
    std::vector<Member> members = {
        {"one/start.txt", text(100000, 4), 0},
        {"zero.txt", "", 0},
        {"one/after.txt", text(50000, 7), 0},
        {"stored/raw.bin", randomBytes(150000, 5), 1},
        {"-dash \"quoted\" 'name'.txt", "dash\n", 1},
        {"nosum/many-blocks.log", text(2500000, 6), 2},
        {std::string(200, 'L'), "long\n", 2},
        {"one/start.txt", "the same name again, later: it wins\n", 2},
    };
    const std::string archive = dir / "built.cab";
    writeFile(archive, buildCabinet(folders, members));
    expectSameAsPeers(dir, archive);
    EXPECT_TRUE(readFile(dir / "ours2/one/after.txt") == text(50000, 7));
    EXPECT_EQ(readFile(dir / "ours2/one/start.txt"), "the same name again, later: it wins\n");
    EXPECT_TRUE(exists(dir / "ours2/zero.txt"));

    // A file table that goes back to the first folder after the others: it is decoded again
    // from its start.
    std::swap(members[2], members[6]);
    TempFolder back;
    writeFile(back / "back.cab", buildCabinet(folders, members));
    expectSameAsPeers(back, back / "back.cab", false);
    EXPECT_TRUE(readFile(back / "ours2/one/after.txt") == text(50000, 7));

    // Names the peers read otherwise: CP932 without the UTF-8 attribute (0x5C is a trail byte
    // here, not a separator), and UTF-8 with it.
    const std::string names = dir / "names.cab";
    writeFile(names, buildCabinet({{true, true}, {false, true}},
                                  {{"\x93\xfa\x96\x7b\\\x83\x5c\x95\x5c.txt", "cp932\n", 1},
                                   {"utf8\\\xe6\x97\xa5.txt", "utf-8\n", 0, 0xA0}}));
    const auto run = cab().run("-x -r -i \"" + names + "\" \"" + dir.path() + "/names/\"");
    EXPECT_EQ(run.result, 0) << run.report;
    EXPECT_EQ(filesBelow(dir / "names"),
              (std::vector<std::string>{"utf8/日.txt", "日本/ソ表.txt"}));
    EXPECT_EQ(readFile(dir / "names/日本/ソ表.txt"), "cp932\n");
}

TEST(CabFolders, WrongChecksumInTheLastOfManyMembersFailsOnlyThatOne)
{
    TempFolder dir;
    std::vector<Member> members;
    for (int i = 0; i < 119; ++i)
        members.push_back({"m/" + std::to_string(i) + ".txt", text(300 + i * 50, i), 0});
    // The last member starts in a block of its own and spans several; a block in its middle is
    // damaged.
    size_t before = 0;
    for (const Member& m : members)
        before += m.data.size();
    members[118].data += std::string(32768 - before % 32768, '#');
    before += 32768 - before % 32768;
    members.push_back({"m/last.bin", text(200000, 999), 0});
    const size_t lastBlock = before / 32768 + 2;
    const std::string archive = dir / "damaged.cab";
    writeFile(archive,
              buildCabinet({{true, true}}, members, [&](unsigned, size_t block, std::string& b) {
                  if (block == lastBlock)
                      b[b.size() / 2] ^= 0x01;
              }));
    for (const char* threads : {"2", "1"}) {
        setenv("KORAMO_EXTRACT_THREADS", threads, 1);
        const std::string out = dir / (std::string("o") + threads);
        const auto run = cab().run("-x -r -o -i \"" + archive + "\" \"" + out + "/\"", 1 << 16);
        EXPECT_EQ(run.result, ARCHIVER_ERROR_FILE_CRC) << run.report;
        EXPECT_NE(run.report.find("Error  m\\last.bin"), std::string::npos) << run.report;
        EXPECT_NE(run.report.find("checksum"), std::string::npos) << run.report;
        EXPECT_NE(run.report.find("119 個のファイルを解凍しました"), std::string::npos)
            << run.report;
        const auto files = filesBelow(out);
        EXPECT_EQ(files.size(), 119u);
        EXPECT_FALSE(exists(out + "/m/last.bin"));
        for (int i = 0; i < 119; ++i)
            EXPECT_TRUE(readFile(out + "/m/" + std::to_string(i) + ".txt") == members[i].data) << i;
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}

TEST(CabFolders, DamagedBlocksAndFilesOutsideTheirFoldersFailByName)
{
    TempFolder dir;
    // Folder 0's third block decodes to garbage (no checksum to catch it first); folder 1 has a
    // block that says it holds more than it does. The files of folder 2 come out whatever
    // happened before them.
    std::vector<Member> members = {
        {"f0/good.txt", text(65536, 1), 0},        {"f0/hit.txt", text(90000, 2), 0},
        {"f0/after-hit.txt", text(1000, 3), 0},    {"f1/size.txt", text(40000, 4), 1},
        {"f2/fine.txt", text(50000, 5), 2},        {"no-such-folder.txt", "x", 2, 0x20, 7},
        {"beyond.txt", "y", 2, 0x20, -1, 1000000}, {"continued.txt", "z", 2, 0x20, 0xFFFE},
        {"f2/fine-too.txt", "fine\n", 2},
    };
    const std::string archive = dir / "damaged.cab";
    writeFile(archive, buildCabinet({{true, false}, {true, true}, {false, true}}, members,
                                    [](unsigned folder, size_t block, std::string& b) {
                                        if (folder == 0 && block == 2) {
                                            for (size_t i = 12; i < b.size(); i += 7)
                                                b[i] = static_cast<char>(b[i] ^ 0x55);
                                        }
                                        if (folder == 1 && block == 1) {
                                            b[6] = static_cast<char>(b[6] + 1); // size + 1
                                            b.replace(0, 4, std::string(4, '\0'));
                                        }
                                    }));
    for (const char* threads : {"2", "1"}) {
        setenv("KORAMO_EXTRACT_THREADS", threads, 1);
        const std::string out = dir / (std::string("o") + threads);
        const auto run = cab().run("-x -r -o -i \"" + archive + "\" \"" + out + "/\"", 1 << 16);
        EXPECT_NE(run.result, 0) << run.report;
        for (const char* failed :
             {"Error  f0\\hit.txt", "Error  f0\\after-hit.txt", "Error  f1\\size.txt",
              "Error  no-such-folder.txt", "Error  beyond.txt", "Skipped  continued.txt"})
            EXPECT_NE(run.report.find(failed), std::string::npos) << failed << run.report;
        EXPECT_NE(run.report.find("にまたがって"), std::string::npos) << run.report;
        EXPECT_EQ(filesBelow(out),
                  (std::vector<std::string>{"f0/good.txt", "f2/fine-too.txt", "f2/fine.txt"}));
        EXPECT_TRUE(readFile(out + "/f0/good.txt") == members[0].data);
        EXPECT_TRUE(readFile(out + "/f2/fine.txt") == members[4].data);
    }
    unsetenv("KORAMO_EXTRACT_THREADS");
}

TEST(CabFolders, AFileTableThatKeepsGoingBackEndsAsDamage)
{
    TempFolder dir;
    // One folder of 4 MiB and 200 files that all point at its last byte: each sends the
    // reading back to the folder's start. The first ones come out; then the rereading stops
    // as damage instead of decoding the folder 200 times.
    const std::string whole = text(4 << 20, 8);
    std::vector<Member> members = {{"whole.txt", whole, 0}};
    for (int i = 0; i < 200; ++i)
        members.push_back({"last" + std::to_string(i) + ".txt", "", 0, 0x20, -1, (4 << 20) - 1});
    std::string bytes = buildCabinet({{true, true}}, members);
    // Give the pointing files their one byte (the builder wrote size 0 for them).
    for (int i = 0; i < 200; ++i) {
        const std::string name = "last" + std::to_string(i) + ".txt";
        const size_t at = bytes.find(name + '\0');
        ASSERT_NE(at, std::string::npos);
        bytes[at - 16] = 1;
    }
    writeFile(dir / "back.cab", bytes);
    const auto run =
        cab().run("-x -o -i \"" + dir.path() + "/back.cab\" \"" + dir.path() + "/o/\"", 1 << 16);
    EXPECT_EQ(run.result, ARCHIVER_ERROR_FILE_CRC) << run.report.substr(0, 3000);
    EXPECT_NE(run.report.find("Error  last199.txt"), std::string::npos);
    EXPECT_NE(run.report.find("too often"), std::string::npos);
    // The whole folder crosses several chunks of decoded output, each window carried over.
    EXPECT_TRUE(readFile(dir / "o/whole.txt") == whole);
    EXPECT_EQ(readFile(dir / "o/last0.txt"), whole.substr(whole.size() - 1));
    EXPECT_EQ(readFile(dir / "o/last40.txt"), whole.substr(whole.size() - 1));
    EXPECT_FALSE(exists(dir / "o/last199.txt"));
}
