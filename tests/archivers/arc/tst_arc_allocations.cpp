// libunarc32.so on 7z archives whose directory declares counts and sizes no file of theirs could
// hold: they are refused as damaged without a request for the memory the counts declare, and
// 7z archives made by 7z itself, with their directory packed or not, are still read.
//
// This program replaces malloc, calloc and realloc with ones that pass each call on to the C
// library and note the largest request made while a test watches.

#include "ArcSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <filesystem>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}

namespace
{

std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};

void note(size_t size)
{
    if (!g_watching.load(std::memory_order_relaxed))
        return;
    size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size))
        ;
}

// The largest single request made while it lives.
class Watch
{
public:
    Watch()
    {
        g_largest = 0;
        g_watching = true;
    }
    ~Watch() { g_watching = false; }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    size_t largest() const { return g_largest.load(); }
};

} // namespace

extern "C" {

void* malloc(size_t size)
{
    note(size);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
    // An overflowing product is refused by the C library; note it as the most there is.
    note(size != 0 && count > SIZE_MAX / size ? SIZE_MAX : count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size)
{
    note(size);
    return __libc_realloc(p, size);
}

void free(void* p)
{
    __libc_free(p);
}

} // extern "C"

using namespace testsupport;
using namespace arctest;

namespace
{

constexpr size_t kReasonable = size_t{64} << 20;

// A 7z archive of the packed bytes and the directory after them, with correct CRCs, written by
// python3. Both are Python bytes expressions.
std::string sevenZip(const TempFolder& dir, const std::string& name, const std::string& directory,
                     const std::string& packed = "b''")
{
    const std::string out = dir / name;
    const std::string script = "import struct, zlib\n"
                               "packed = " +
                               packed + "\ndirectory = " + directory +
                               "\n"
                               "start = struct.pack('<QQI', len(packed), len(directory), "
                               "zlib.crc32(directory))\n"
                               "head = b'7z\\xbc\\xaf\\x27\\x1c\\x00\\x04' + "
                               "struct.pack('<I', zlib.crc32(start)) + start\n"
                               "open(" +
                               quote(out) + ", 'wb').write(head + packed + directory)\n";
    EXPECT_EQ(python(script), 0);
    return out;
}

// 99,999,999 as a 7z number: four bytes follow a first byte whose four leading bits are set.
const std::string kHuge = "b'\\xf0\\xff\\xe0\\xf5\\x05'";

} // namespace

// Each of these declares, in a few bytes, a count or a size libarchive would allocate for before
// reading what it describes: names of 13 GB (found by fuzzing), 99,999,999 files, packed
// streams, folders or streams in a folder, and a packed directory with as many packed streams.
TEST(ArcAllocations, AbsurdCountsInA7zDirectoryAreRefusedWithoutAskingForThem)
{
    TempFolder dir;
    std::vector<std::string> archives = {
        std::string(KORAMO_ARC_DATA) +
            "/../../../fuzz/regressions/fuzz_unarc/7z_encoded_header_of_13_gigabytes",
        sevenZip(dir, "files.7z", "b'\\x01\\x05' + " + kHuge + " + b'\\x00\\x00'"),
        sevenZip(dir, "packs.7z", "b'\\x01\\x04\\x06\\x00' + " + kHuge + " + b'\\x09\\x01\\x00'"),
        sevenZip(dir, "folders.7z",
                 "b'\\x01\\x04\\x07\\x0b' + " + kHuge +
                     " + b'\\x00\\x01\\x01\\x00\\x0c\\x01\\x00\\x00\\x00'"),
        sevenZip(dir, "streams.7z",
                 "b'\\x01\\x04\\x06\\x00\\x01\\x09\\x01\\x00\\x07\\x0b\\x01\\x00\\x01\\x01\\x00"
                 "\\x0c\\x01\\x00\\x08\\x0d' + " +
                     kHuge + " + b'\\x00\\x00\\x00\\x00'",
                 "b'x'"),
        sevenZip(dir, "packed_directory.7z",
                 "b'\\x17\\x06\\x00' + " + kHuge + " + b'\\x09\\x01\\x00'"),
    };
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        ASSERT_TRUE(exists(archive));
        {
            Watch watch;
            bool ok = true;
            int end = 0;
            const auto members = unarc().list(archive, ok, end);
            EXPECT_FALSE(ok && end == ARCHIVER_FIND_END) << members.size();
            EXPECT_LE(watch.largest(), kReasonable);
        }
        Watch watch;
        const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dir / "dest/"), 8192);
        EXPECT_NE(run.result, 0) << run.report;
        EXPECT_NE(run.report.find("壊れています"), std::string::npos) << run.report;
        EXPECT_LE(watch.largest(), kReasonable);
        EXPECT_TRUE(filesBelow(dir / "dest").empty());
    }
}

// The check reads 7z's own directories as libarchive does: with the directory packed or not,
// solid or not, with several coders (BCJ2 binds four streams), empty files and folders, and a
// member in every folder of its own.
TEST(ArcAllocations, DirectoriesMadeBy7zAreStillRead)
{
    TempFolder dir;
    const Tree tree = makeTree(dir);
    writeFile(tree.root + "/empty_too.txt", "");
    std::filesystem::create_directories(tree.root + "/empty_folder");
    const struct {
        const char* name;
        const char* switches;
    } kinds[] = {
        {"packed", ""},
        {"plain", "-mhc=off"},
        {"plain_not_solid", "-mhc=off -ms=off"},
        {"plain_ppmd", "-mhc=off -m0=PPMd"},
        {"plain_bcj2", "-mhc=off -mf=BCJ2"},
        {"plain_copy", "-mhc=off -mx=0"},
        {"packed_bcj2_not_solid", "-ms=off -mf=BCJ2"},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string archive = dir / (std::string(kind.name) + ".7z");
        ASSERT_EQ(std::system(("cd " + quote(tree.root) + " && 7z a -bd -bso0 " + kind.switches +
                               " " + quote(archive) + " -- * >/dev/null")
                                  .c_str()),
                  0);
        bool ok = false;
        int end = 0;
        const auto members = unarc().list(archive, ok, end);
        EXPECT_TRUE(ok);
        EXPECT_EQ(end, ARCHIVER_FIND_END);
        // Every file of the tree, the added empty file and the folders.
        EXPECT_GE(members.size(), tree.files.size() + 1);
        const std::string dest = dir / (std::string(kind.name) + "_out/");
        const auto run = unarc().run("-x -o " + dq(archive) + " " + dq(dest), 8192);
        EXPECT_EQ(run.result, 0) << run.report;
        for (const std::string& f : tree.files)
            EXPECT_EQ(readFile(dest + f), readFile(tree.root + "/" + f)) << f;
    }
}
