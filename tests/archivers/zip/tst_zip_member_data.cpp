// ZIP members whose data is read through the central directory, below libunzip32.so (the data
// copy and the reader in front of libarchive's) and through it: archives Info-ZIP zip (plain,
// -fd, -0, streamed through a pipe with and without Zip64), Python's zipfile (forced ZIP64) and
// 7z made; every file compared with the source and with what bsdtar extracts. Damage in the
// data, the sizes or the offsets fails the member by name and leaves no file of it.

#include "ArchiverTestSupport.h"
#include "LibarchiveReader.h"
#include "LittleEndian.h"
#include "ZipCentralDirectory.h"
#include "ZipMemberData.h"
#include "ZipMemberReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <unistd.h>

using namespace testsupport;
using archiver::ZipCentralDirectory;
namespace zip = archiver::zip;

namespace
{

std::string text(size_t size, int seed)
{
    std::string out;
    for (int n = 0; out.size() < size; ++n)
        out += "row " + std::to_string(n * 7919 % (seed + 31)) + " of " + std::to_string(seed) +
               " repeats a little\n";
    out.resize(size);
    return out;
}

// Half text, half noise: several chunks of output, a deflate stream of several blocks.
std::string bigData(size_t size, int seed)
{
    return text(size / 2, seed) + randomBytes(size - size / 2, static_cast<unsigned>(seed));
}

struct Copied {
    zip::CopyOutcome outcome;
    std::string data;
};

// Copies one member with copyMemberData into a fresh file and reads it back.
Copied copyOut(const std::string& archive, const zip::MemberData& m, const std::string& out,
               bool ahead, const std::function<bool(uint64_t)>& progress = {})
{
    const int in = ::open(archive.c_str(), O_RDONLY | O_CLOEXEC);
    const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(in, 0);
    EXPECT_GE(fd, 0);
    Copied c;
    c.outcome = zip::copyMemberData(in, readFile(archive).size(), m, fd, progress, ahead);
    ::close(fd);
    ::close(in);
    c.data = readFile(out);
    return c;
}

zip::MemberData dataOf(const ZipCentralDirectory::Member& m)
{
    zip::MemberData d;
    d.localOffset = m.localOffset;
    d.compressedSize = m.compressedSize;
    d.size = m.size;
    d.crc = m.crc;
    d.method = m.method;
    return d;
}

// Every file member read through ZipMemberReader in front of libarchive's reader: name (as
// stored) to data; `own` counts the members the reader copied itself.
std::map<std::string, std::string> readAll(const std::string& archive, const std::string& scratch,
                                           size_t& own)
{
    std::map<std::string, std::string> out;
    auto directory = std::make_shared<ZipCentralDirectory>();
    EXPECT_TRUE(directory->read(archive)) << archive;
    auto inner = std::make_unique<archiver::LibarchiveReader>();
    inner->setDecodeLegacyNamesAsCp932(false);
    EXPECT_TRUE(inner->openFile(archive, archiver::LibarchiveReader::Format::Zip));
    archiver::ZipMemberReader reader(std::move(inner), directory, archive);
    archiver::ArchiveEntry e;
    while (reader.next(e) == archiver::EntryReader::Step::Entry) {
        if (e.kind != archiver::ArchiveEntry::Kind::File) {
            reader.skipData();
            continue;
        }
        const int fd = ::open(scratch.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        EXPECT_TRUE(reader.copyData(fd, {})) << archive << " " << e.name << " " << reader.error();
        ::close(fd);
        out[e.name] = readFile(scratch);
    }
    own = reader.ownCopies();
    return out;
}

// Where the member's data starts and how long it is, as Python's zipfile finds it.
std::pair<size_t, size_t> dataSpan(const std::string& archive, const std::string& name)
{
    const std::string bytes = readFile(archive);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    ZipCentralDirectory d;
    EXPECT_TRUE(d.read(archive));
    for (const auto& m : d.members()) {
        if (m.name != name)
            continue;
        const size_t start = m.localOffset + 30 + archiver::le16(p + m.localOffset + 26) +
                             archiver::le16(p + m.localOffset + 28);
        return {start, m.compressedSize};
    }
    ADD_FAILURE() << name;
    return {0, 0};
}

class ZipMemberData : public ::testing::Test
{
protected:
    void SetUp() override
    {
        files = {{"big.bin", bigData(3000000, 1)},
                 {"small.txt", text(1000, 2)},
                 {"empty.txt", ""},
                 {"-m1", text(200, 3)},
                 {"a/same.txt", text(70000, 4)},
                 {"b/same.txt", text(300000, 5)}};
        for (const auto& [name, data] : files)
            writeFile(dir / ("in/" + name), data);
    }
    // The source names for a command line; "./" keeps "-m1" from being an option (7z takes
    // them after "--", since it would store "./a/same.txt" as "same.txt").
    std::string list(const std::string& prefix = "./") const
    {
        std::string out;
        for (const auto& [name, data] : files)
            out += " " + quote(prefix + name);
        return out;
    }
    // Makes an archive with a shell command run in the source folder.
    std::string make(const std::string& name, const std::string& command)
    {
        const std::string path = dir / name;
        EXPECT_EQ(shell("cd " + quote(dir / "in") + " && " + command), 0) << command;
        return path;
    }
    std::string python(const std::string& name, const std::string& body)
    {
        writeFile(dir / "make.py", "import zipfile, sys, os\nos.chdir(sys.argv[2])\n"
                                   "z = zipfile.ZipFile(sys.argv[1], 'w')\n" +
                                       body + "z.close()\n");
        const std::string path = dir / name;
        EXPECT_EQ(shell("python3 " + quote(dir / "make.py") + " " + quote(path) + " " +
                        quote(dir / "in")),
                  0);
        return path;
    }
    // Our extraction of every member against bsdtar's, file by file.
    void sameAsBsdtar(const std::string& archive, const std::string& tag, int threads)
    {
        setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
        const std::string ours = dir / ("ours-" + tag), theirs = dir / ("bsdtar-" + tag);
        shell("mkdir -p " + quote(ours) + " " + quote(theirs));
        const auto r = unzip.run("-x -o --i \"" + archive + "\" \"" + ours + "/\"", 1 << 16);
        unsetenv("KORAMO_EXTRACT_THREADS");
        EXPECT_EQ(r.result, 0) << tag << "\n" << r.report;
        ASSERT_EQ(shell("bsdtar -xf " + quote(archive) + " -C " + quote(theirs)), 0);
        EXPECT_EQ(filesBelow(ours), filesBelow(theirs)) << tag;
        for (const std::string& f : filesBelow(theirs))
            EXPECT_TRUE(readFile(ours + "/" + f) == readFile(theirs + "/" + f)) << tag << " " << f;
    }

    TempFolder dir;
    std::map<std::string, std::string> files;
    LoadedArchiver unzip{"libunzip32.so", "UnZip"};
};

} // namespace

TEST_F(ZipMemberData, ArchivesOfOtherWritersAreReadThroughTheDirectory)
{
    const std::string big = files["big.bin"];
    struct Case {
        std::string archive;
        std::map<std::string, std::string> expected;
    };
    std::vector<Case> cases = {
        {make("plain.zip", "zip -q ../plain.zip" + list()), files},
        {make("descriptors.zip", "zip -q -fd ../descriptors.zip" + list()), files},
        {make("stored.zip", "zip -q -0 ../stored.zip" + list()), files},
        // Streamed to a pipe: data descriptors, and Zip64 sizes in the local header only.
        {make("pipe64.zip", "zip -q - - < big.bin | cat > ../pipe64.zip"), {{"-", big}}},
        {make("pipe.zip", "zip -q -fz- - - < big.bin | cat > ../pipe.zip"), {{"-", big}}},
        {python("python64.zip",
                "for n in ['big.bin', 'small.txt', 'empty.txt', '-m1', 'a/same.txt', "
                "'b/same.txt']:\n"
                "    i = zipfile.ZipInfo(n)\n"
                "    i.compress_type = zipfile.ZIP_STORED if n == 'small.txt' else "
                "zipfile.ZIP_DEFLATED\n"
                "    with z.open(i, 'w', force_zip64=True) as w:\n"
                "        w.write(open(n, 'rb').read())\n"),
         files},
        {make("seven.zip", "7z a -tzip -bd -bso0 ../seven.zip --" + list("")), files},
    };
    for (const Case& c : cases) {
        size_t own = 0;
        const auto got = readAll(c.archive, dir / "scratch", own);
        EXPECT_EQ(got.size(), c.expected.size()) << c.archive;
        for (const auto& [name, data] : c.expected)
            EXPECT_TRUE(got.count(name) && got.at(name) == data) << c.archive << " " << name;
        EXPECT_EQ(own, c.expected.size()) << c.archive;
    }
    // The streamed archive's local header carries an extra field the central one lacks, so the
    // data's start is found only through the local header.
    const std::string pipe = readFile(dir / "pipe64.zip");
    const size_t central = pipe.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    const auto* p = reinterpret_cast<const unsigned char*>(pipe.data());
    EXPECT_NE(archiver::le16(p + 28), archiver::le16(p + central + 30));

    for (const auto& [archive, tag] :
         std::vector<std::pair<std::string, std::string>>{{dir / "plain.zip", "plain"},
                                                          {dir / "descriptors.zip", "fd"},
                                                          {dir / "pipe64.zip", "pipe"},
                                                          {dir / "python64.zip", "py"},
                                                          {dir / "seven.zip", "7z"}}) {
        sameAsBsdtar(archive, tag + "-1", 1);
        sameAsBsdtar(archive, tag + "-2", 2);
    }
}

TEST_F(ZipMemberData, SecondThreadGivesTheSameBytesAndStopsOnCancel)
{
    const std::string archive = make("plain.zip", "zip -q ../plain.zip" + list());
    ZipCentralDirectory d;
    ASSERT_TRUE(d.read(archive));
    for (const auto& m : d.members()) {
        const Copied alone = copyOut(archive, dataOf(m), dir / "alone", false);
        const Copied ahead = copyOut(archive, dataOf(m), dir / "ahead", true);
        EXPECT_TRUE(alone.outcome.ok) << m.name << " " << alone.outcome.error;
        EXPECT_TRUE(ahead.outcome.ok) << m.name << " " << ahead.outcome.error;
        EXPECT_TRUE(ahead.data == files[m.name] && alone.data == files[m.name]) << m.name;
    }
    const auto& big = *std::find_if(d.members().begin(), d.members().end(),
                                    [](const auto& m) { return m.name == "big.bin"; });
    for (const bool ahead : {false, true}) {
        int calls = 0;
        const Copied c = copyOut(archive, dataOf(big), dir / "cancelled", ahead, [&](uint64_t) {
            ++calls;
            return false;
        });
        EXPECT_FALSE(c.outcome.ok);
        EXPECT_TRUE(c.outcome.cancelled);
        EXPECT_FALSE(c.outcome.readFailed);
        EXPECT_EQ(calls, 1);
        EXPECT_LE(c.data.size(), zip::kChunk);
    }
}

TEST_F(ZipMemberData, DamagedDataSizesAndOffsetsFailAndAreNeverWrittenBeyond)
{
    const std::string archive =
        python("two.zip", "z.write('big.bin', compress_type=zipfile.ZIP_DEFLATED)\n"
                          "z.write('b/same.txt', compress_type=zipfile.ZIP_STORED)\n");
    const uint64_t end = readFile(archive).size();
    ZipCentralDirectory d;
    ASSERT_TRUE(d.read(archive));
    ASSERT_EQ(d.members().size(), 2u);
    for (const auto& m : d.members()) {
        const zip::MemberData good = dataOf(m);
        ASSERT_TRUE(copyOut(archive, good, dir / "out", true).outcome.ok) << m.name;
        std::vector<std::pair<std::string, zip::MemberData>> bad;
        auto add = [&](const std::string& what, auto change) {
            zip::MemberData b = good;
            change(b);
            bad.emplace_back(what, b);
        };
        add("crc", [](zip::MemberData& b) { b.crc ^= 1; });
        add("longer", [](zip::MemberData& b) { b.size += 1; });
        add("shorter", [](zip::MemberData& b) { b.size -= 1; });
        add("past the end", [&](zip::MemberData& b) { b.localOffset = end + 100; });
        add("at the end", [&](zip::MemberData& b) { b.localOffset = end - 10; });
        add("no header", [](zip::MemberData& b) { b.localOffset += 1; });
        add("data outside", [&](zip::MemberData& b) { b.compressedSize = end; });
        add("cut short", [](zip::MemberData& b) { b.compressedSize /= 2; });
        for (const bool ahead : {false, true}) {
            for (const auto& [what, b] : bad) {
                const Copied c = copyOut(archive, b, dir / "out", ahead);
                EXPECT_FALSE(c.outcome.ok) << m.name << " " << what;
                EXPECT_TRUE(c.outcome.readFailed) << m.name << " " << what;
                EXPECT_FALSE(c.outcome.error.empty()) << m.name << " " << what;
                // Never more than the directory promised.
                EXPECT_LE(c.data.size(), b.size) << m.name << " " << what;
            }
        }
    }
    // A flipped byte inside each member's data.
    for (const auto& m : d.members()) {
        const auto [start, length] = dataSpan(archive, m.name);
        std::string bytes = readFile(archive);
        bytes[start + length / 2] = static_cast<char>(bytes[start + length / 2] ^ 0x5a);
        writeFile(dir / "flipped.zip", bytes);
        for (const bool ahead : {false, true}) {
            const Copied c = copyOut(dir / "flipped.zip", dataOf(m), dir / "out", ahead);
            EXPECT_FALSE(c.outcome.ok) << m.name;
            EXPECT_TRUE(c.outcome.readFailed) << m.name;
        }
    }
}

// 120 members with hostile names, made by Info-ZIP zip from names read on its standard input;
// the last one, large enough to be inflated on a second thread, has a flipped byte.
TEST_F(ZipMemberData, HostileNamesAndADamagedLastOfOneHundredTwenty)
{
    ASSERT_TRUE(unzip.loaded());
    const std::string cp932 = "\x93\xfa\x96\x7b/\x83\x74\x83\x40\x83\x43\x83\x8b.txt";
    std::vector<std::pair<std::string, std::string>> names; // stored, extracted (UTF-8)
    for (int i = 0; i < 120; ++i) {
        std::string n = "c dir/f" + std::to_string(i) + ".txt";
        switch (i) {
        case 1:
            n = "a/same.txt";
            break;
        case 2:
            n = "b/same.txt";
            break;
        case 3:
            n = "-x.txt";
            break;
        case 4:
            n = "-m1";
            break;
        case 5:
            n = " blank name .txt";
            break;
        case 6:
            n = "quote'\"s.txt";
            break;
        case 7:
            n = cp932;
            break;
        case 8:
            n = std::string(196, 'n') + ".txt";
            break;
        case 119:
            n = "zz/last.bin";
            break;
        }
        names.emplace_back(n, i == 7 ? "日本/ファイル.txt" : n);
        const size_t size = i == 119 ? 900000 : (i % 10 == 0 ? 300000 : 100 + i * 53);
        writeFile(dir / ("hostile/" + n), i % 2 ? text(size, i) : bigData(size, i));
    }
    std::string input;
    for (const auto& [stored, shown] : names)
        input += "./" + stored + "\n";
    writeFile(dir / "names.txt", input);
    const std::string good = dir / "hostile.zip";
    ASSERT_EQ(shell("cd " + quote(dir / "hostile") + " && zip -q " + quote(good) + " -@ < " +
                    quote(dir / "names.txt")),
              0);
    const auto [start, length] = dataSpan(good, "zz/last.bin");
    ASSERT_GT(length, 0u);
    std::string bytes = readFile(good);
    bytes[start + length / 2] = static_cast<char>(bytes[start + length / 2] ^ 0x5a);
    const std::string damaged = dir / "damaged.zip";
    writeFile(damaged, bytes);

    // The undamaged archive as bsdtar extracts it (names as stored).
    ASSERT_EQ(shell("mkdir -p " + quote(dir / "bsdtar") + " && bsdtar -xf " + quote(good) + " -C " +
                    quote(dir / "bsdtar")),
              0);
    for (const int threads : {1, 2}) {
        const std::string out = dir / ("out" + std::to_string(threads));
        shell("mkdir -p " + quote(out));
        setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
        const auto r = unzip.run("-x --i \"" + damaged + "\" \"" + out + "/\"", 1 << 20);
        unsetenv("KORAMO_EXTRACT_THREADS");
        EXPECT_EQ(r.result, ARCHIVER_ERROR_FILE_CRC) << r.report;
        EXPECT_NE(r.report.find("Error  zz/last.bin : "), std::string::npos) << r.report;
        EXPECT_EQ(r.report.find("Melted  zz/last.bin"), std::string::npos);
        std::vector<std::string> expected;
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            const auto& [stored, shown] = names[i];
            expected.push_back(shown);
            EXPECT_NE(r.report.find("Melted  " + shown + "\n"), std::string::npos) << shown;
            EXPECT_TRUE(readFile(out + "/" + shown) == readFile(dir / ("bsdtar/" + stored)))
                << threads << " " << shown;
        }
        std::sort(expected.begin(), expected.end());
        // Nothing of the damaged member, under its name or a temporary one.
        EXPECT_EQ(filesBelow(out), expected);
    }
}

// Offsets and sizes in the directory that point outside the file, and an archive cut short.
TEST_F(ZipMemberData, OffsetsPastTheEndAndTruncatedArchivesLeaveNothing)
{
    ASSERT_TRUE(unzip.loaded());
    const std::string archive = make("two.zip", "zip -q ../two.zip ./small.txt ./big.bin");
    const std::string original = readFile(archive);
    const size_t second = original.rfind("PK\x01\x02");
    ASSERT_NE(second, std::string::npos);
    const auto patched = [&](size_t field, uint32_t value) {
        std::string b = original;
        for (int k = 0; k < 4; ++k)
            b[second + field + k] = static_cast<char>((value >> (8 * k)) & 0xff);
        return b;
    };
    const uint32_t size = static_cast<uint32_t>(original.size());
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"offset past the end", patched(42, size + 4096)},
        {"offset at the directory", patched(42, static_cast<uint32_t>(second))},
        {"data past the end", patched(20, size)},
        {"cut short", original.substr(0, original.size() * 2 / 3)},
    };
    for (const auto& [what, bytes] : damaged) {
        writeFile(dir / "damaged.zip", bytes);
        for (const int threads : {1, 2}) {
            const std::string out = dir / ("out-" + std::to_string(threads));
            shell("rm -rf " + quote(out) + " && mkdir -p " + quote(out));
            setenv("KORAMO_EXTRACT_THREADS", std::to_string(threads).c_str(), 1);
            const auto r =
                unzip.run("-x --i \"" + dir / "damaged.zip" + "\" \"" + out + "/\"", 1 << 16);
            unsetenv("KORAMO_EXTRACT_THREADS");
            EXPECT_GE(r.result, 0x8000) << what << "\n" << r.report;
            EXPECT_EQ(r.report.find("Melted  big.bin"), std::string::npos) << what;
            // The intact first member may come out; nothing else, and never a part file.
            for (const std::string& f : filesBelow(out)) {
                EXPECT_EQ(f, "small.txt") << what;
                EXPECT_TRUE(readFile(out + "/" + f) == files["small.txt"]) << what;
            }
        }
    }
}
