// The LZH codec without the entry points: Huffman code lengths, encoder and decoder round
// trips, hostile compressed data, and level-2 headers as we write them.
#include "Crc16.h"
#include "Huffman.h"
#include "LzhDecoder.h"
#include "LzhEncoder.h"
#include "LzhHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace
{
class Memory final : public lzh::ByteSource, public lzh::RandomAccess
{
public:
    explicit Memory(std::vector<uint8_t> b) : bytes(std::move(b)) {}
    size_t read(uint8_t* buffer, size_t size) override
    {
        const size_t n = std::min(size, bytes.size() - pos);
        std::memcpy(buffer, bytes.data() + pos, n);
        pos += n;
        return n;
    }
    bool readAt(uint64_t offset, uint8_t* buffer, size_t size) override
    {
        if (offset > bytes.size() || size > bytes.size() - offset)
            return false;
        std::memcpy(buffer, bytes.data() + offset, size);
        return true;
    }
    uint64_t size() const override { return bytes.size(); }
    std::vector<uint8_t> bytes;
    size_t pos = 0;
};

class Collect final : public lzh::ByteSink
{
public:
    bool write(const uint8_t* data, size_t size) override
    {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> encode(const std::vector<uint8_t>& in, int bits, bool& ok)
{
    lzh::LzhEncoder enc(bits);
    std::vector<uint8_t> out;
    uint64_t written = 0;
    ok = enc.encode(
        in.data(), in.size(), UINT64_MAX,
        [&](const uint8_t* p, size_t n) {
            out.insert(out.end(), p, p + n);
            return true;
        },
        written);
    EXPECT_EQ(written, out.size());
    return out;
}

bool decode(const std::string& method, const std::vector<uint8_t>& packed, uint64_t size,
            std::vector<uint8_t>& out, uint16_t& crc, std::string& reason)
{
    lzh::LzhDecoder dec;
    Memory src(packed);
    Collect sink;
    const bool ok = dec.decode(method, src, packed.size(), size, sink, crc, reason);
    out = sink.bytes;
    return ok;
}

std::vector<uint8_t> mixed(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    const char* words[] = {"ファイル", "archive ", "member ", "\n", "0123456789", "lzh "};
    while (v.size() < n) {
        if (rng() % 5 == 0) {
            for (int k = 0; k < 50; ++k)
                v.push_back(static_cast<uint8_t>(rng()));
        } else {
            const char* w = words[rng() % 6];
            v.insert(v.end(), w, w + std::strlen(w));
        }
    }
    v.resize(n);
    return v;
}
} // namespace

TEST(Crc16Test, KnownValue)
{
    const char* s = "123456789";
    EXPECT_EQ(lzh::crc16(0, reinterpret_cast<const uint8_t*>(s), 9), 0xBB3D);
    // In pieces, including the sliced path.
    uint16_t c = lzh::crc16(0, reinterpret_cast<const uint8_t*>(s), 5);
    EXPECT_EQ(lzh::crc16(c, reinterpret_cast<const uint8_t*>(s) + 5, 4), 0xBB3D);
}

TEST(HuffmanTest, LengthsAreLimitedAndComplete)
{
    // Fibonacci frequencies give a very deep unrestricted tree.
    std::vector<uint32_t> freq(40);
    uint32_t a = 1, b = 1;
    for (auto& f : freq) {
        f = a;
        const uint32_t c = a + b;
        a = b;
        b = c > 100000000 ? 100000000 : c;
    }
    freq[7] = 0;
    const auto len = lzh::huffmanLengths(freq, 16);
    uint64_t kraft = 0;
    for (size_t i = 0; i < len.size(); ++i) {
        EXPECT_LE(len[i], 16);
        if (freq[i] == 0)
            EXPECT_EQ(len[i], 0);
        else
            EXPECT_GE(len[i], 1);
        if (len[i])
            kraft += uint64_t(1) << (16 - len[i]);
    }
    EXPECT_EQ(kraft, uint64_t(1) << 16);
    const auto codes = lzh::huffmanCodes(len);
    // Prefix-free: no code is the start of another.
    for (size_t i = 0; i < len.size(); ++i)
        for (size_t j = 0; j < len.size(); ++j)
            if (i != j && len[i] && len[j] && len[i] <= len[j]) {
                EXPECT_NE(codes[j] >> (len[j] - len[i]), codes[i]) << i << " " << j;
            }
}

TEST(LzhCodecTest, RoundTripsForEveryMethodAndShape)
{
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back({});
    inputs.push_back({'x'});
    inputs.push_back(std::vector<uint8_t>(100000, 'a')); // runs longer than 256
    inputs.push_back(mixed(300000, 1));                  // several blocks
    std::vector<uint8_t> far = mixed(40000, 2);          // repeats 40000 back
    far.insert(far.end(), far.begin(), far.end());
    inputs.push_back(far);
    std::vector<uint8_t> all(256 * 300);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i * 7 + i / 256);
    inputs.push_back(all);
    for (const auto& [bits, method] : {std::pair{13, "-lh5-"}, {15, "-lh6-"}, {16, "-lh7-"}}) {
        for (const auto& in : inputs) {
            bool ok = false;
            const auto packed = encode(in, bits, ok);
            ASSERT_TRUE(ok);
            std::vector<uint8_t> out;
            uint16_t crc = 0;
            std::string reason;
            ASSERT_TRUE(decode(method, packed, in.size(), out, crc, reason))
                << method << " size " << in.size() << ": " << reason;
            EXPECT_EQ(out, in) << method << " size " << in.size();
            EXPECT_EQ(crc, lzh::crc16(0, in.data(), in.size()));
        }
    }
    // lh7's 64 KiB window finds the 40000-byte repeat that lh5's 8 KiB cannot.
    bool ok;
    EXPECT_LT(encode(far, 16, ok).size() * 10, encode(far, 13, ok).size() * 7);
}

// One encoder per worker codes member after member: what it writes for an input must not
// depend on what it coded before (its match tables are not cleared between inputs).
TEST(LzhCodecTest, ReusedEncoderWritesWhatAFreshOneWrites)
{
    for (int bits : {13, 16}) {
        lzh::LzhEncoder reused(bits);
        // Inputs that share their text, in sizes around the window and the block, big after
        // small and small after big.
        for (const size_t size : {size_t(300000), size_t(1), size_t(4000), size_t(0), size_t(8193),
                                  size_t(65537), size_t(70), size_t(200000)}) {
            const std::vector<uint8_t> in = mixed(size, 7);
            std::vector<uint8_t> out;
            uint64_t written = 0;
            ASSERT_TRUE(reused.encode(
                in.data(), in.size(), UINT64_MAX,
                [&](const uint8_t* p, size_t n) {
                    out.insert(out.end(), p, p + n);
                    return true;
                },
                written));
            bool ok = false;
            EXPECT_EQ(out, encode(in, bits, ok)) << "bits " << bits << " size " << size;
        }
    }
}

// Random bytes are searched sparsely (the positions between become literals): they still
// decode, copies of them within the window are still found, and text after them still
// compresses as well as on its own.
TEST(LzhCodecTest, CopiesOfRandomBytesAreFound)
{
    std::mt19937 rng(11);
    std::vector<uint8_t> in(30001); // not a multiple of the search step
    for (auto& b : in)
        b = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> once = in;
    in.insert(in.end(), once.begin(), once.end());
    in.insert(in.end(), once.begin(), once.end());
    const std::vector<uint8_t> text = mixed(60000, 12);
    in.insert(in.end(), text.begin(), text.end());
    bool ok = false;
    const auto packed = encode(in, 16, ok);
    ASSERT_TRUE(ok);
    EXPECT_LT(packed.size(), once.size() + encode(text, 16, ok).size() + 2000);
    std::vector<uint8_t> out;
    uint16_t crc = 0;
    std::string reason;
    ASSERT_TRUE(decode("-lh7-", packed, in.size(), out, crc, reason)) << reason;
    EXPECT_TRUE(out == in);
}

TEST(LzhCodecTest, EncoderStopsAtTheLimit)
{
    std::mt19937 rng(5);
    std::vector<uint8_t> noise(50000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(rng());
    lzh::LzhEncoder enc(13);
    uint64_t written = 0;
    size_t received = 0;
    const bool ok = enc.encode(
        noise.data(), noise.size(), noise.size() - 1,
        [&](const uint8_t*, size_t n) {
            received += n;
            return true;
        },
        written);
    EXPECT_FALSE(ok); // noise does not shrink
    EXPECT_LE(received, noise.size() + (1 << 16));
}

TEST(LzhCodecTest, HostileStreamsFailCleanly)
{
    bool ok;
    const auto in = mixed(20000, 3);
    const auto packed = encode(in, 13, ok);
    std::vector<uint8_t> out;
    uint16_t crc;
    std::string reason;
    // Truncated: the decoder reports it instead of inventing data.
    std::vector<uint8_t> cut(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
    EXPECT_FALSE(decode("-lh5-", cut, in.size(), out, crc, reason));
    EXPECT_FALSE(reason.empty());
    // Empty data for a non-empty member.
    EXPECT_FALSE(decode("-lh7-", {}, 1000, out, crc, reason));
    // All ones: table sizes beyond their limits.
    EXPECT_FALSE(decode("-lh5-", std::vector<uint8_t>(64, 0xFF), 1000, out, crc, reason));
    // A claimed size far beyond the data ends quickly with an error, not a huge output.
    EXPECT_FALSE(decode("-lh6-", packed, uint64_t(1) << 40, out, crc, reason));
    EXPECT_LT(out.size(), size_t(64) << 20);
    // Flipped bits: either an error or a different CRC, never a crash.
    for (size_t i = 0; i < packed.size(); i += 97) {
        auto bad = packed;
        bad[i] ^= 0x5A;
        if (decode("-lh5-", bad, in.size(), out, crc, reason)) {
            EXPECT_EQ(out.size(), in.size());
        }
    }
    // Unknown methods are refused.
    EXPECT_FALSE(decode("-lzs-", packed, in.size(), out, crc, reason));
    EXPECT_FALSE(lzh::LzhDecoder::supports("-lh1-"));
}

TEST(LzhHeaderTest, Level2RoundTripKeepsEveryField)
{
    for (const std::string path :
         {"plain.txt", "フォルダ/サブ/ソフト表.txt", "絵文字😀/x.bin", "dir/sub"}) {
        lzh::NewHeader h;
        h.method = "-lh7-";
        h.compressedSize = 5000000000ull; // needs the 64-bit size header
        h.originalSize = 6000000000ull;
        h.mtime = 1234567890;
        h.crc = 0xBEEF;
        h.attribute = 0x21;
        h.hasUnixMode = true;
        h.unixMode = 0100640;
        h.path = path;
        h.directory = path == "dir/sub";
        if (h.directory) {
            h.method = "-lhd-";
        }
        std::vector<uint8_t> bytes = lzh::buildLevel2Header(h);
        EXPECT_NE(bytes.size() & 0xFF, 0u);
        const size_t headerSize = bytes.size();
        // A file that really is that long is not needed: the data is checked against the
        // file size, so give the header a small member instead.
        h.compressedSize = 3;
        h.originalSize = 3;
        bytes = lzh::buildLevel2Header(h);
        EXPECT_LT(bytes.size(), headerSize); // no 64-bit sizes needed now
        bytes.insert(bytes.end(), {1, 2, 3, 0});
        Memory file(bytes);
        lzh::LzhMember m;
        std::string reason;
        ASSERT_EQ(lzh::readHeader(file, 0, m, reason), lzh::HeaderStatus::Ok) << reason;
        EXPECT_EQ(m.name, path);
        EXPECT_EQ(m.method, h.method);
        EXPECT_EQ(m.level, 2);
        EXPECT_EQ(m.originalSize, 3u);
        EXPECT_EQ(m.mtime, 1234567890);
        EXPECT_EQ(m.crc, 0xBEEF);
        EXPECT_EQ(m.unixMode, 0100640);
        EXPECT_EQ(m.isDirectory(), h.directory);
        EXPECT_EQ(m.dataOffset + 3 + 1, bytes.size());
        EXPECT_EQ(lzh::readHeader(file, m.dataOffset + 3, m, reason), lzh::HeaderStatus::End);
    }
}

// A plain file's attribute goes without its extended header (five bytes less a member);
// any other attribute, and a folder's, is written and read back.
TEST(LzhHeaderTest, AttributesReadBackWithTheShortHeaderForPlainFiles)
{
    size_t plainSize = 0;
    for (const uint8_t attribute : {uint8_t(0x20), uint8_t(0x21), uint8_t(0x22), uint8_t(0x00)}) {
        lzh::NewHeader h;
        h.method = "-lh5-";
        h.compressedSize = 3;
        h.originalSize = 3;
        h.attribute = attribute;
        h.path = "dir/name.txt";
        std::vector<uint8_t> bytes = lzh::buildLevel2Header(h);
        if (attribute == 0x20)
            plainSize = bytes.size();
        else
            EXPECT_EQ(bytes.size(), plainSize + 5) << int(attribute);
        bytes.insert(bytes.end(), {1, 2, 3, 0});
        Memory file(bytes);
        lzh::LzhMember m;
        std::string reason;
        ASSERT_EQ(lzh::readHeader(file, 0, m, reason), lzh::HeaderStatus::Ok) << reason;
        EXPECT_EQ(m.attribute, attribute);
        EXPECT_EQ(m.name, "dir/name.txt");
    }
}

TEST(LzhHeaderTest, BrokenHeadersAreErrors)
{
    lzh::NewHeader h;
    h.method = "-lh0-";
    h.compressedSize = 10;
    h.originalSize = 10;
    h.path = "a.txt";
    std::vector<uint8_t> good = lzh::buildLevel2Header(h);
    good.resize(good.size() + 10, 'x');
    lzh::LzhMember m;
    std::string reason;
    {
        Memory f(good);
        ASSERT_EQ(lzh::readHeader(f, 0, m, reason), lzh::HeaderStatus::Ok);
    }
    { // data shorter than the header says
        Memory f(std::vector<uint8_t>(good.begin(), good.end() - 1));
        EXPECT_EQ(lzh::readHeader(f, 0, m, reason), lzh::HeaderStatus::Error);
    }
    { // header CRC
        auto bad = good;
        bad[11] ^= 1;
        Memory f(bad);
        EXPECT_EQ(lzh::readHeader(f, 0, m, reason), lzh::HeaderStatus::Error);
    }
    { // an extended header size that runs past the header
        auto bad = good;
        bad[24] = 0xF0;
        Memory f(bad);
        EXPECT_EQ(lzh::readHeader(f, 0, m, reason), lzh::HeaderStatus::Error);
    }
    { // level 1 whose extended headers chain on and on
        std::vector<uint8_t> v(27 + 1, 0);
        v[0] = 27 + 1 - 2;
        std::memcpy(&v[2], "-lh0-", 5);
        v[7] = 0xFF;
        v[8] = 0xFF;
        v[9] = 0xFF;
        v[10] = 0x7F; // skip size
        v[20] = 1;
        v[21] = 1;
        v[22] = 'a';
        v[25] = 'U';
        v[26] = 3; // next header: 3 bytes
        v.pop_back();
        v[26] = 3;
        v[27 - 1] = 3;
        for (int i = 0; i < 1000; ++i) {
            v.push_back(0x7F);
            v.push_back(3);
            v.push_back(0);
        }
        uint8_t sum = 0;
        for (size_t i = 2; i < 27; ++i)
            sum = static_cast<uint8_t>(sum + v[i]);
        v[1] = sum;
        Memory f(v);
        EXPECT_EQ(lzh::readHeader(f, 0, m, reason), lzh::HeaderStatus::Error);
    }
}

TEST(LzhHeaderTest, WindowsNamesUseBackslashAndCp932)
{
    // "ソ" is 0x83 0x5C in CP932: its trail byte must not be taken for a separator.
    EXPECT_EQ(lzh::decodeStoredName(std::string("dir\\\x83\x5C.txt"), 'M'), "dir/ソ.txt");
    EXPECT_EQ(lzh::decodeStoredName("utf8/日本.txt", 'U'), "utf8/日本.txt");
}
