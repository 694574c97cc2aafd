// Members of 7z and tar.xz archives decoded on a thread of their own ahead of the extraction
// (ReadAheadReader): with archives `7z a` and `tar -cJf` made of hostile names, the files and
// the report are those of bsdtar's extraction and in archive order, questions come in that
// order, a cancel stops the reading and leaves only whole members, a damaged last member of
// many fails by name, and a big member passes through a queue of bounded size.

#include "ArcSupport.h"
#include "ExtractEngine.h"
#include "LibarchiveReader.h"
#include "NameCodec.h"
#include "ReadAheadReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using namespace arctest;
using archiver::ExtractEngine;

namespace
{

const std::string kCp932Folder = "\x93\xfa\x96\x7b\x8c\xea";           // 日本語
const std::string kCp932File = "\x83\x74\x83\x40\x83\x43\x83\x8b.txt"; // ファイル.txt
const std::string kCp932Decoded = "日本語/ファイル.txt";
const std::string kLast = "zz/last.bin";

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A tree of hostile names, packed by `7z a` (h.7z) and by `tar -cJf` (h.tar.xz, which also
// holds a folder and a file named in CP932 bytes); a big random member sits in the middle and
// another one is the last of both archives.
class ArcReadAhead : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("KORAMO_EXTRACT_THREADS", "2", 1);
        std::vector<std::pair<std::string, std::string>> files = {
            {"a/same.txt", "first namesake\n"},
            {"b/same.txt", "second namesake\n"},
            {"-", "just a dash\n"},
            {"b/-dash start.txt", "dash\n"},
            {"blank  name .txt", "blanks\n"},
            {"q\"uote\" and it's.txt", "quotes\n"},
            {"long/" + std::string(196, 'n') + ".txt", "two hundred bytes\n"},
            {"j/名前.txt", "日本\n"},
            {"big/middle.bin", randomBytes(1300000, 3)},
        };
        for (int i = 0; i < 220; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "many/f%03d.txt", i);
            const size_t size = (i * 7919) % 9000;
            files.emplace_back(name, i % 3 == 2 ? randomBytes(size, 100 + i) : text(size, i));
        }
        files.emplace_back(kLast, randomBytes(700000, 9));
        for (const auto& [name, body] : files)
            writeFile(dir / ("tree/" + name), body);
        writeFile(dir / ("tree/" + kCp932Folder + "/" + kCp932File), "cp932 name\n");
        // 7z puts zz/last.bin last in the order it chooses; tar takes the order given
        // (the CP932 member first), NUL-separated so that no name is taken for an option.
        std::string list = kCp932Folder + "/" + kCp932File + '\0';
        for (const auto& f : files)
            list += f.first + '\0';
        writeFile(dir / "list", list);
        const std::string tree = "cd " + quote(dir / "tree") + " && ";
        ASSERT_EQ(shell(tree + "7z a -bd -bso0 " + quote(dir / "h.7z") +
                        " -- a b - big j long many q* blank* zz"),
                  0);
        ASSERT_EQ(shell(tree + "tar -cJf " + quote(dir / "h.tar.xz") +
                        " --verbatim-files-from --null -T " + quote(dir / "list")),
                  0);
    }
    void TearDown() override { unsetenv("KORAMO_EXTRACT_THREADS"); }

    static std::string text(size_t size, int seed)
    {
        std::string out;
        for (int n = 0; out.size() < size; ++n)
            out += "line " + std::to_string(n * 31 % (seed + 7)) + " of " + std::to_string(seed) +
                   "\n";
        out.resize(size);
        return out;
    }

    // The regular files bsdtar -tf names, in archive order.
    std::vector<std::string> order(const std::string& archive)
    {
        EXPECT_EQ(shell("bsdtar -tf " + quote(archive) + " > " + quote(dir / "order")), 0);
        std::vector<std::string> out;
        for (const std::string& line : lines(readFile(dir / "order"))) {
            // bsdtar shows the CP932 bytes escaped ("\223\372...").
            if (line.find("\\223\\372") == 0 && line.back() != '/')
                out.push_back(kCp932Decoded);
            else if (!line.empty() && line.back() != '/' && exists(dir / ("tree/" + line)) &&
                     !std::filesystem::is_directory(dir / ("tree/" + line)))
                out.push_back(line);
        }
        return out;
    }

    // What bsdtar -xf makes of the archive, CP932 names as we decode them.
    std::vector<std::pair<std::string, std::string>> bsdtarOutput(const std::string& archive)
    {
        const std::string out = dir / ("bsdtar" + std::to_string(++m_runs));
        EXPECT_EQ(shell("mkdir -p " + quote(out) + " && bsdtar -xf " + quote(archive) + " -C " +
                        quote(out)),
                  0);
        auto files = contentsBelow(out);
        for (auto& [name, body] : files) {
            if (name == kCp932Folder + "/" + kCp932File)
                name = kCp932Decoded;
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    // No part file, and every file one of the archive's, whole.
    void expectOnlyWholeMembers(const std::string& out)
    {
        for (const std::string& f : filesBelow(out)) {
            EXPECT_EQ(f.find(".koramo-"), std::string::npos) << "part file left: " << f;
            const std::string source = f == kCp932Decoded ? kCp932Folder + "/" + kCp932File : f;
            EXPECT_EQ(readFile(out + "/" + f), readFile(dir / ("tree/" + source)))
                << "not the member's bytes: " << f;
        }
    }

    TempFolder dir;
    int m_runs = 0;
};

// The engine on a ReadAheadReader, as libunarc32.so drives it, with the callbacks a test sets.
struct EngineRun {
    ExtractEngine::Result result;
    std::vector<std::string> extracted; // in the order reported
    std::vector<std::string> failed;
    size_t entriesRead = 0;
};

EngineRun extractAhead(const std::string& archive, const std::string& dest,
                       ExtractEngine::Settings settings, size_t budget = 64 * 1024)
{
    EngineRun run;
    archiver::LibarchiveReader reader;
    // Names as libunarc32.so reads them: stored bytes, CP932 where they are not UTF-8.
    reader.setDecodeLegacyNamesAsCp932(false);
    EXPECT_TRUE(reader.openFile(archive, archiver::LibarchiveReader::Format::Various));
    settings.decodeName = [](const std::string& name) {
        return archiver::isValidUtf8(name) ? name : archiver::decodeStoredName(name, "CP932");
    };
    settings.destination = dest;
    settings.report = [&](ExtractEngine::Outcome outcome, const std::string& name,
                          const std::string& text) {
        if (outcome == ExtractEngine::Outcome::Extracted)
            run.extracted.push_back(name);
        else if (outcome == ExtractEngine::Outcome::Failed)
            run.failed.push_back(name + ": " + text);
    };
    shell("mkdir -p " + quote(dest));
    archiver::ReadAheadReader ahead(reader, {}, budget);
    ExtractEngine engine(settings);
    run.result = engine.run(ahead);
    run.entriesRead = ahead.entriesRead();
    return run;
}

} // namespace

TEST_F(ArcReadAhead, HostileNamesComeOutAsBsdtarMakesThemInArchiveOrder)
{
    for (const char* kind : {"h.7z", "h.tar.xz"}) {
        SCOPED_TRACE(kind);
        const std::string archive = dir / kind;
        const std::string out = dir / (std::string("out-") + kind);
        const auto run = unarc().run("-x -o --i " + dq(archive) + " " + dq(out + "/"), 1 << 20);
        EXPECT_EQ(run.result, 0) << run.report.substr(0, 3000);
        auto ours = contentsBelow(out);
        std::sort(ours.begin(), ours.end());
        const auto theirs = bsdtarOutput(archive);
        EXPECT_EQ(ours.size(), theirs.size());
        EXPECT_TRUE(ours == theirs) << "the files differ from bsdtar's";
        // A report line per member, in the order the archive holds them.
        std::vector<std::string> melted;
        for (const std::string& line : lines(run.report)) {
            if (line.rfind("Melted  ", 0) == 0)
                melted.push_back(line.substr(8));
        }
        const std::vector<std::string> expected = order(archive);
        if (std::string(kind) == "h.tar.xz") {
            EXPECT_EQ(expected.front(), kCp932Decoded);
        }
        EXPECT_EQ(melted, expected);
        EXPECT_EQ(melted.back(), kLast);
    }
}

TEST_F(ArcReadAhead, SelectedMembersAloneComeOut)
{
    // The reading thread skips the members not asked for; those asked for (by decoded name,
    // by wildcard, namesakes by their folder) come out whole.
    for (const char* kind : {"h.7z", "h.tar.xz"}) {
        SCOPED_TRACE(kind);
        const std::string out = dir / (std::string("sel-") + kind);
        const bool tar = std::string(kind) == "h.tar.xz";
        const auto run =
            unarc().run("-x -o --i " + dq(dir / kind) + " " + dq(out + "/") +
                            " \"b/same.txt\" \"-\" \"many/f10?.txt\" \"" +
                            std::string(tar ? kCp932Decoded : "j/名前.txt") + "\" " + dq(kLast),
                        1 << 20);
        EXPECT_EQ(run.result, 0) << run.report;
        std::vector<std::string> expected = {"-", "b/same.txt", kLast};
        for (int i = 100; i < 110; ++i)
            expected.push_back("many/f" + std::to_string(i) + ".txt");
        expected.push_back(tar ? kCp932Decoded : "j/名前.txt");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(filesBelow(out), expected);
        for (const std::string& f : expected) {
            const std::string source = f == kCp932Decoded ? kCp932Folder + "/" + kCp932File : f;
            EXPECT_EQ(readFile(out + "/" + f), readFile(dir / ("tree/" + source))) << f;
        }
    }
}

TEST_F(ArcReadAhead, DamagedLastMemberFailsByName)
{
    // 7z: bytes flipped in the last part of the packed stream (the directory follows it);
    // tar.xz: the last tenth cut off. Either hits the last member's data only.
    const std::string body7z = readFile(dir / "h.7z");
    uint64_t next = 0;
    for (int i = 7; i >= 0; --i)
        next = next << 8 | static_cast<unsigned char>(body7z[12 + i]);
    std::string flipped = body7z;
    for (size_t i = 32 + next - 4000; i < 32 + next - 3990; ++i)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x55);
    writeFile(dir / "flipped.7z", flipped);
    const std::string bodyXz = readFile(dir / "h.tar.xz");
    writeFile(dir / "cut.tar.xz", bodyXz.substr(0, bodyXz.size() * 9 / 10));
    for (const char* kind : {"flipped.7z", "cut.tar.xz"}) {
        SCOPED_TRACE(kind);
        const std::string out = dir / (std::string("dmg-") + kind);
        const auto run = unarc().run("-x -o --i " + dq(dir / kind) + " " + dq(out + "/"), 1 << 20);
        EXPECT_EQ(run.result, ARCHIVER_ERROR_FILE_CRC)
            << run.report.substr(run.report.size() - 600);
        EXPECT_NE(run.report.find("Error  " + kLast + " : データが壊れています"), std::string::npos)
            << run.report.substr(run.report.size() - 600);
        // The reader's own account of the damage, not only the length that came out short.
        EXPECT_EQ(run.report.find("length mismatch"), std::string::npos);
        EXPECT_FALSE(exists(out + "/" + kLast));
        // Every member before it came out, as bsdtar makes it from the sound archive.
        auto theirs = bsdtarOutput(dir / (std::string(kind) == "flipped.7z" ? "h.7z" : "h.tar.xz"));
        theirs.erase(std::remove_if(theirs.begin(), theirs.end(),
                                    [](const auto& f) { return f.first == kLast; }),
                     theirs.end());
        auto ours = contentsBelow(out);
        std::sort(ours.begin(), ours.end());
        EXPECT_EQ(ours.size(), theirs.size());
        EXPECT_TRUE(ours == theirs) << "the members before the damage differ from bsdtar's";
    }
}

TEST_F(ArcReadAhead, CancelStopsTheReadingAndLeavesWholeMembers)
{
    for (const char* kind : {"h.7z", "h.tar.xz"}) {
        SCOPED_TRACE(kind);
        const std::vector<std::string> members = order(dir / kind);
        ASSERT_GT(members.size(), 200u);
        ASSERT_EQ(members.back(), kLast);
        // Before the 120th file member is written: the 119 before it are there, whole.
        {
            const std::string out = dir / (std::string("cancel-") + kind);
            std::vector<std::string> started;
            ExtractEngine::Settings settings;
            settings.progress = [&](const std::string& name, uint64_t done, uint64_t) {
                if (done == 0 && (started.empty() || started.back() != name))
                    started.push_back(name);
                return started.size() < 120;
            };
            const EngineRun run = extractAhead(dir / kind, out, settings);
            EXPECT_TRUE(run.result.cancelled);
            EXPECT_TRUE(run.failed.empty()) << run.failed.front();
            std::vector<std::string> head(started.begin(), started.end() - 1);
            EXPECT_EQ(run.extracted, head);
            std::sort(head.begin(), head.end());
            EXPECT_EQ(filesBelow(out), head);
            expectOnlyWholeMembers(out);
            // The reading stopped with the extraction, a small queue ahead of it.
            EXPECT_LT(run.entriesRead, members.size() - 40) << run.entriesRead;
        }
        // Halfway through a big member: it is not left behind, part or whole.
        {
            const std::string out = dir / (std::string("cancel-big-") + kind);
            ExtractEngine::Settings settings;
            bool cut = false;
            settings.progress = [&](const std::string& name, uint64_t done, uint64_t) {
                cut = cut || (name == "big/middle.bin" && done > 0);
                return !cut;
            };
            const EngineRun run = extractAhead(dir / kind, out, settings);
            EXPECT_TRUE(cut);
            EXPECT_TRUE(run.result.cancelled);
            EXPECT_FALSE(exists(out + "/big/middle.bin"));
            EXPECT_EQ(std::find(run.extracted.begin(), run.extracted.end(), "big/middle.bin"),
                      run.extracted.end());
            EXPECT_FALSE(run.extracted.empty());
            expectOnlyWholeMembers(out);
        }
    }
}

TEST_F(ArcReadAhead, QuestionsComeInArchiveOrder)
{
    for (const char* kind : {"h.7z", "h.tar.xz"}) {
        SCOPED_TRACE(kind);
        const std::vector<std::string> members = order(dir / kind);
        const std::string out = dir / (std::string("ask-") + kind);
        // Three files in the way, given out of order; the third question is answered "cancel".
        const std::vector<std::string> mine = {"many/f150.txt", "b/same.txt", "a/same.txt"};
        for (const std::string& m : mine)
            writeFile(out + "/" + m, "mine\n");
        std::vector<std::string> asked;
        ExtractEngine::Settings settings;
        settings.askOverwrite = [&](const std::string& path) {
            asked.push_back(path.substr(out.size() + 1));
            return asked.size() < 3 ? ExtractEngine::Answer::No : ExtractEngine::Answer::Cancel;
        };
        const EngineRun run = extractAhead(dir / kind, out, settings);
        EXPECT_TRUE(run.result.cancelled);
        std::vector<std::string> inOrder;
        for (const std::string& m : members) {
            if (std::find(mine.begin(), mine.end(), m) != mine.end())
                inOrder.push_back(m);
        }
        EXPECT_EQ(asked, inOrder);
        for (const std::string& m : mine)
            EXPECT_EQ(readFile(out + "/" + m), "mine\n") << m;
        // What came out is the members before the cancelled question, without the two kept.
        std::vector<std::string> before;
        for (const std::string& m : members) {
            if (m == inOrder.back())
                break;
            if (m != inOrder[0] && m != inOrder[1])
                before.push_back(m);
        }
        EXPECT_EQ(run.extracted, before);
    }
}

TEST(ArcReadAheadQueue, ABigMemberPassesThroughABoundedQueue)
{
    TempFolder dir;
    std::string body;
    for (int n = 0; body.size() < (24u << 20); ++n)
        body += "row " + std::to_string(n % 1000) + " of a big member that compresses well\n";
    writeFile(dir / "in/big.txt", body);
    writeFile(dir / "in/after.txt", "after\n");
    ASSERT_EQ(shell("cd " + quote(dir / "in") + " && tar -cJf ../big.tar.xz big.txt after.txt"), 0);
    archiver::LibarchiveReader reader;
    ASSERT_TRUE(reader.openFile(dir / "big.tar.xz", archiver::LibarchiveReader::Format::Various));
    constexpr size_t budget = 1 << 20;
    archiver::ReadAheadReader ahead(reader, {}, budget);
    archiver::ArchiveEntry entry;
    ASSERT_EQ(ahead.next(entry), archiver::EntryReader::Step::Entry);
    EXPECT_EQ(entry.name, "big.txt");
    // Nothing is taken until the reading thread waits for room: it has filled the queue, and
    // no more, although the member is 24 times the budget.
    while (!ahead.stalled())
        std::this_thread::yield();
    EXPECT_LE(ahead.peakQueued(), budget + (256u << 10)) << ahead.peakQueued();
    EXPECT_GE(ahead.peakQueued(), budget / 2);
    const int fd = ::open((dir / "big.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ahead.copyData(fd, {})) << ahead.error();
    ::close(fd);
    EXPECT_TRUE(readFile(dir / "big.out") == body);
    EXPECT_LE(ahead.peakQueued(), budget + (256u << 10)) << ahead.peakQueued();
    ASSERT_EQ(ahead.next(entry), archiver::EntryReader::Step::Entry);
    EXPECT_EQ(entry.name, "after.txt");
    // A member whose data is skipped: its blocks are dropped and the end comes next.
    ahead.skipData();
    EXPECT_EQ(ahead.next(entry), archiver::EntryReader::Step::End);
}
