#include "LzhDecoder.h"

#include "Crc16.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lzh
{

namespace
{
constexpr int kNC = 510; // 256 literals + lengths 3..256
constexpr int kNT = 19;
constexpr int kTBit = 5;
constexpr int kCBit = 9;
constexpr int kMaxLen = 16;
constexpr size_t kRingSize = size_t(1) << 18;
constexpr size_t kRingMask = kRingSize - 1;
constexpr size_t kRingSlack = 16;
constexpr size_t kInputChunk = 1 << 16;

// Bits from the source, most significant first. Past the member's compressed size zeros are
// fed; more than a few bytes of them means the data is truncated. The checked calls refill
// as needed; the decoding loop makes sure of enough bits once per code (ensure) and then takes
// them without further checks.
class BitReader
{
public:
    // Bits one code with its position takes at most: 16 (literal or length) + 16 + 15 + 1.
    static constexpr int kMaxStep = 48;

    BitReader(ByteSource& source, uint64_t limit, std::vector<uint8_t>& buffer)
        : m_source(source), m_remaining(limit), m_buffer(buffer)
    {
    }

    void ensure(int n)
    {
        if (m_count >= n) [[likely]]
            return;
        if (m_end - m_pos >= 8) [[likely]] {
            // Whole bytes at once: the bits below the new count come from the following bytes
            // and are the same bits the next refill puts there.
            uint64_t v;
            std::memcpy(&v, m_buffer.data() + m_pos, 8);
            m_bits |= __builtin_bswap64(v) >> m_count;
            m_pos += static_cast<size_t>((63 - m_count) >> 3);
            m_count |= 56;
            return;
        }
        refill();
    }
    uint32_t peekFast(int n) const { return static_cast<uint32_t>(m_bits >> (64 - n)); }
    void skipFast(int n)
    {
        m_bits <<= n;
        m_count -= n;
    }
    uint32_t getFast(int n)
    {
        // n may be 0: the shift by 64 is avoided.
        const uint32_t v = static_cast<uint32_t>((m_bits >> 1) >> (63 - n));
        skipFast(n);
        return v;
    }

    uint32_t peek(int n)
    {
        ensure(n);
        return peekFast(n);
    }
    void skip(int n)
    {
        ensure(n);
        skipFast(n);
    }
    uint32_t get(int n)
    {
        ensure(n);
        return getFast(n);
    }
    bool overrun() const { return m_padding > 8; }
    // More bits used than the member's data holds.
    bool usedBeyond(uint64_t limitBytes) const
    {
        const uint64_t taken = m_read - (m_end - m_pos) + static_cast<uint64_t>(m_padding);
        return taken * 8 - static_cast<uint64_t>(m_count) > limitBytes * 8;
    }
    bool sourceError() const { return m_source.error(); }

private:
    // Near the end of the buffered bytes: one byte at a time, reading on as needed.
    [[gnu::noinline]] void refill()
    {
        while (m_count <= 56) {
            if (m_pos == m_end && !fill()) {
                ++m_padding;
                m_count += 8;
                continue;
            }
            m_bits |= uint64_t(m_buffer[m_pos++]) << (56 - m_count);
            m_count += 8;
        }
    }
    bool fill()
    {
        if (m_remaining == 0)
            return false;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(m_remaining, kInputChunk));
        const size_t got = m_source.read(m_buffer.data(), want);
        if (got == 0) {
            m_remaining = 0;
            return false;
        }
        m_remaining -= got;
        m_read += got;
        m_pos = 0;
        m_end = got;
        return true;
    }

    ByteSource& m_source;
    uint64_t m_remaining;
    std::vector<uint8_t>& m_buffer;
    size_t m_pos = 0, m_end = 0;
    uint64_t m_bits = 0;
    int m_count = 0;
    int m_padding = 0;
    uint64_t m_read = 0; // bytes taken from the source
};

// A canonical code ready for decoding: a primary table on the first kPrimary bits, and the
// first code of each length for the longer ones. A primary entry holds the symbol above bit
// 8, its length in the low bits and kHit when the entry decides the symbol; a code of one
// symbol takes no bits at all and is a table of hits of length 0.
template <int kPrimary> class Table
{
public:
    static constexpr uint32_t kHit = 0x80;

    // False when the lengths describe an over-full code.
    bool build(const uint8_t* lengths, int n)
    {
        uint32_t count[kMaxLen + 2] = {};
        for (int i = 0; i < n; ++i)
            ++count[lengths[i]];
        count[0] = 0;
        uint32_t code = 0;
        uint32_t offset = 0;
        m_sorted.assign(static_cast<size_t>(n), 0);
        for (int len = 1; len <= kMaxLen; ++len) {
            m_first[len] = code;
            m_count[len] = count[len];
            m_offset[len] = offset;
            code += count[len];
            if (code > (1u << len))
                return false;
            offset += count[len];
            code <<= 1;
        }
        uint32_t fill[kMaxLen + 1];
        for (int len = 1; len <= kMaxLen; ++len)
            fill[len] = m_offset[len];
        for (int i = 0; i < n; ++i) {
            if (lengths[i])
                m_sorted[fill[lengths[i]]++] = static_cast<uint16_t>(i);
        }
        std::fill(std::begin(m_primary), std::end(m_primary), uint32_t(0));
        for (int len = 1; len <= kPrimary; ++len) {
            for (uint32_t k = 0; k < m_count[len]; ++k) {
                const uint32_t c = m_first[len] + k;
                const uint32_t sym = m_sorted[m_offset[len] + k];
                const uint32_t shift = kPrimary - len;
                const uint32_t base = c << shift;
                const uint32_t e = (sym << 8) | kHit | static_cast<uint32_t>(len);
                std::fill(m_primary + base, m_primary + base + (1u << shift), e);
            }
        }
        return true;
    }
    void buildFixed(int symbol)
    {
        std::fill(std::begin(m_primary), std::end(m_primary),
                  (static_cast<uint32_t>(symbol) << 8) | kHit);
    }

    // The next symbol, or -1 for a bit pattern that is no code. The reader holds at least
    // kMaxLen bits.
    int decodeFast(BitReader& in) const
    {
        const uint32_t e = m_primary[in.peekFast(kPrimary)];
        if (e & kHit) [[likely]] {
            in.skipFast(static_cast<int>(e & 0x1F));
            return static_cast<int>(e >> 8);
        }
        return decodeLong(in);
    }
    int decode(BitReader& in) const
    {
        in.ensure(kMaxLen);
        return decodeFast(in);
    }

private:
    int decodeLong(BitReader& in) const
    {
        const uint32_t bits = in.peekFast(kMaxLen);
        for (int len = kPrimary + 1; len <= kMaxLen; ++len) {
            const uint32_t c = bits >> (kMaxLen - len);
            if (c - m_first[len] < m_count[len]) {
                in.skipFast(len);
                return m_sorted[m_offset[len] + (c - m_first[len])];
            }
        }
        return -1;
    }

    uint32_t m_first[kMaxLen + 2] = {};
    uint32_t m_count[kMaxLen + 2] = {};
    uint32_t m_offset[kMaxLen + 2] = {};
    std::vector<uint16_t> m_sorted;
    uint32_t m_primary[1u << kPrimary] = {};
};

// The three codes of the current block and the lengths they were built from.
struct CodeTables {
    // Literals and lengths take the long codes; the other two codes have at most 19 symbols.
    Table<12> cTable;
    Table<8> tTable, pTable;
    uint8_t cLen[kNC] = {};
    uint8_t ptLen[32] = {};
};

int dictionaryBits(const std::string& method)
{
    if (method == "-lh5-")
        return 13;
    if (method == "-lh6-")
        return 15;
    if (method == "-lh7-")
        return 16;
    return 0;
}
} // namespace

struct LzhDecoder::State {
    std::vector<uint8_t> input = std::vector<uint8_t>(kInputChunk);
    std::vector<uint8_t> ring = std::vector<uint8_t>(kRingSize + kRingSlack);
    CodeTables tables;
};

LzhDecoder::LzhDecoder() : m_state(std::make_unique<State>()) {}
LzhDecoder::~LzhDecoder() = default;

bool LzhDecoder::supports(const std::string& method)
{
    return method == "-lh0-" || dictionaryBits(method) != 0;
}

namespace
{
// Lengths of the T or P code: 3 bits each, 7 and more continue in unary.
bool readPtLen(BitReader& in, uint8_t* ptLen, Table<8>& table, int nn, int nbit, int special)
{
    const int n = static_cast<int>(in.get(nbit));
    if (n == 0) {
        const int c = static_cast<int>(in.get(nbit));
        if (c >= nn)
            return false;
        table.buildFixed(c);
        return true;
    }
    if (n > nn)
        return false;
    int i = 0;
    while (i < n) {
        int c = static_cast<int>(in.peek(3));
        if (c == 7) {
            const uint32_t bits = in.peek(kMaxLen + 4);
            uint32_t mask = 1u << (kMaxLen + 4 - 4);
            while (mask & bits) {
                mask >>= 1;
                ++c;
            }
            if (c > kMaxLen)
                return false;
        }
        in.skip(c < 7 ? 3 : c - 3);
        ptLen[i++] = static_cast<uint8_t>(c);
        if (i == special) {
            int zeros = static_cast<int>(in.get(2));
            while (zeros-- > 0 && i < n)
                ptLen[i++] = 0;
        }
    }
    while (i < nn)
        ptLen[i++] = 0;
    return table.build(ptLen, nn);
}

bool readCLen(BitReader& in, uint8_t* cLen, const Table<8>& tTable, Table<12>& cTable)
{
    const int n = static_cast<int>(in.get(kCBit));
    if (n == 0) {
        const int c = static_cast<int>(in.get(kCBit));
        if (c >= kNC)
            return false;
        cTable.buildFixed(c);
        return true;
    }
    if (n > kNC)
        return false;
    int i = 0;
    while (i < n) {
        int c = tTable.decode(in);
        if (c < 0)
            return false;
        if (c <= 2) {
            int run;
            if (c == 0)
                run = 1;
            else if (c == 1)
                run = static_cast<int>(in.get(4)) + 3;
            else
                run = static_cast<int>(in.get(kCBit)) + 20;
            if (i + run > n)
                return false;
            while (run-- > 0)
                cLen[i++] = 0;
        } else {
            if (c - 2 > kMaxLen)
                return false;
            cLen[i++] = static_cast<uint8_t>(c - 2);
        }
    }
    while (i < kNC)
        cLen[i++] = 0;
    return cTable.build(cLen, kNC);
}

// "-lh0-": the member's bytes are stored as they are.
bool copyStored(ByteSource& source, std::vector<uint8_t>& buffer, uint64_t compressedSize,
                uint64_t originalSize, ByteSink& sink, uint16_t& crc, std::string& reason)
{
    if (compressedSize != originalSize) {
        reason = "格納サイズが一致しません";
        return false;
    }
    uint64_t left = originalSize;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        const size_t got = source.read(buffer.data(), want);
        if (got == 0) {
            reason = "書庫が途中で切れています";
            return false;
        }
        crc = crc16(crc, buffer.data(), got);
        if (!sink.write(buffer.data(), got)) {
            reason = "書き込みに失敗しました";
            return false;
        }
        left -= got;
    }
    return true;
}

// The head of a block: the number of codes in it and the three code tables.
bool readBlockHeader(BitReader& in, CodeTables& t, int np, int pbit, uint32_t& blockLeft,
                     std::string& reason)
{
    blockLeft = in.get(16);
    if (!readPtLen(in, t.ptLen, t.tTable, kNT, kTBit, 3) ||
        !readCLen(in, t.cLen, t.tTable, t.cTable) ||
        !readPtLen(in, t.ptLen, t.pTable, np, pbit, -1)) {
        reason = in.overrun() ? "書庫が途中で切れています" : "ハフマン符号表が壊れています";
        return false;
    }
    if (in.overrun()) {
        reason = "書庫が途中で切れています";
        return false;
    }
    // A count of 0 stands for 65536 codes, as the classic decoders read it.
    if (blockLeft == 0)
        blockLeft = 65536;
    return true;
}

// Hands the decoded bytes of the ring to the sink, keeping their CRC.
class RingFlusher final
{
public:
    RingFlusher(const uint8_t* ring, ByteSink& sink, uint16_t& crc)
        : m_ring(ring), m_sink(sink), m_crc(crc)
    {
    }

    // Sends the bytes up to ring position upTo that were not sent yet.
    bool flush(size_t upTo)
    {
        if (upTo > m_flushed) {
            m_crc = crc16(m_crc, m_ring + m_flushed, upTo - m_flushed);
            if (!m_sink.write(m_ring + m_flushed, upTo - m_flushed))
                return false;
        }
        m_flushed = upTo;
        return true;
    }
    // The ring is full: the rest of it goes out and writing starts again at its front.
    bool wrap()
    {
        if (!flush(kRingSize))
            return false;
        m_flushed = 0;
        return true;
    }

private:
    const uint8_t* m_ring;
    ByteSink& m_sink;
    uint16_t& m_crc;
    size_t m_flushed = 0; // ring position up to which the bytes went to the sink
};

// A match inside the ring. The ring has kRingSlack bytes beyond its end, so a match whose
// source lies eight or more bytes back is copied in words that may write a few bytes past
// its end: those positions are overwritten by later output before anything reads them.
inline void copyMatch(uint8_t* d, const uint8_t* f, size_t distance, size_t len)
{
    if (distance >= 8) {
        for (size_t k = 0; k < len; k += 8)
            std::memcpy(d + k, f + k, 8);
    } else if (distance == 1) {
        std::memset(d, *f, len);
    } else {
        for (size_t k = 0; k < len; ++k)
            d[k] = f[k];
    }
}

// A match reaching back before the start of the data, where the dictionary holds blanks.
// Rare, and kept out of line (as is the wrapping copy) so the main loop stays small.
[[gnu::noinline]] bool copyBeforeStart(uint8_t* ring, size_t& pos, uint64_t produced,
                                       uint64_t distance, uint64_t len, RingFlusher& out)
{
    for (uint64_t k = 0; k < len; ++k) {
        const uint64_t back = produced + k;
        ring[pos] = back >= distance ? ring[(pos - distance) & kRingMask] : 0x20;
        pos = (pos + 1) & kRingMask;
        if (pos == 0 && !out.wrap())
            return false;
    }
    return true;
}

// A match whose source or destination runs over the end of the ring.
[[gnu::noinline]] bool copyWrapping(uint8_t* ring, size_t& pos, size_t from, uint64_t len,
                                    RingFlusher& out)
{
    for (uint64_t k = 0; k < len; ++k) {
        ring[pos] = ring[from];
        from = (from + 1) & kRingMask;
        pos = (pos + 1) & kRingMask;
        if (pos == 0 && !out.wrap())
            return false;
    }
    return true;
}
} // namespace

bool LzhDecoder::decode(const std::string& method, ByteSource& source, uint64_t compressedSize,
                        uint64_t originalSize, ByteSink& sink, uint16_t& crc, std::string& reason)
{
    crc = 0;
    State& s = *m_state;
    if (method == "-lh0-")
        return copyStored(source, s.input, compressedSize, originalSize, sink, crc, reason);
    const int dicbit = dictionaryBits(method);
    if (dicbit == 0) {
        reason = "対応していない圧縮形式です (" + method + ")";
        return false;
    }
    const int np = dicbit + 1;
    const int pbit = np > 14 ? 5 : 4;

    BitReader in(source, compressedSize, s.input);
    uint8_t* ring = s.ring.data();
    RingFlusher out(ring, sink, crc);
    uint64_t produced = 0; // bytes decoded in total
    size_t pos = 0;        // ring position of the next byte
    uint32_t blockLeft = 0;

    while (produced < originalSize) {
        if (blockLeft == 0 && !readBlockHeader(in, s.tables, np, pbit, blockLeft, reason))
            return false;
        --blockLeft;
        // One literal, or one length with its position: at most kMaxStep bits.
        in.ensure(BitReader::kMaxStep);
        const int c = s.tables.cTable.decodeFast(in);
        if (c < 0) [[unlikely]] {
            reason = "ハフマン符号が壊れています";
            return false;
        }
        if (c < 256) {
            ring[pos++] = static_cast<uint8_t>(c);
            ++produced;
        } else {
            const int j = s.tables.pTable.decodeFast(in);
            if (j < 0) [[unlikely]] {
                reason = "ハフマン符号が壊れています";
                return false;
            }
            const uint32_t p = j != 0 ? (1u << (j - 1)) + in.getFast(j - 1) : 0;
            const size_t distance = size_t(p) + 1;
            size_t len = static_cast<size_t>(c - 253);
            if (len > originalSize - produced)
                len = static_cast<size_t>(originalSize - produced);
            if (distance > produced) [[unlikely]] {
                if (!copyBeforeStart(ring, pos, produced, distance, len, out)) {
                    reason = "書き込みに失敗しました";
                    return false;
                }
                produced += len;
                continue;
            }
            const size_t from = (pos - distance) & kRingMask;
            if (pos + len <= kRingSize && from + len <= kRingSize) [[likely]] {
                copyMatch(ring + pos, ring + from, distance, len);
                pos += len;
            } else if (!copyWrapping(ring, pos, from, len, out)) {
                reason = "書き込みに失敗しました";
                return false;
            }
            produced += len;
        }
        if (pos == kRingSize) [[unlikely]] {
            if (!out.wrap()) {
                reason = "書き込みに失敗しました";
                return false;
            }
            pos = 0;
            // Truncated data reads as zeros; it is caught here, at every block's head and at
            // the end, so a damaged member never runs on for long.
            if (in.overrun()) {
                reason = "書庫が途中で切れています";
                return false;
            }
        }
    }
    if (in.overrun()) {
        reason = "書庫が途中で切れています";
        return false;
    }
    if (in.sourceError()) {
        reason = "書庫を読み込めません";
        return false;
    }
    if (in.usedBeyond(compressedSize)) {
        reason = "書庫が途中で切れています";
        return false;
    }
    if (!out.flush(pos)) {
        reason = "書き込みに失敗しました";
        return false;
    }
    return true;
}

} // namespace lzh
