#include "LzhEncoder.h"

#include "LzhBlockCoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace lzh
{

namespace
{
using blocks::kNC;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kHashBits = 16;
constexpr int kHash3Bits = 14;
constexpr size_t kBlockTokens = 32768;
constexpr int kNiceLength = 128;
constexpr int kLazyLimit = 32;
constexpr int kGoodLength = 32;
constexpr int kLiteralFloor = 5;
constexpr size_t kSkipAfter = 256;

} // namespace

struct LzhEncoder::State {
    int dicbit;
    int np;
    int pbit;
    uint32_t maxDistance;
    int maxChain;               // candidates looked at per position and chain
    int maxOffsetRounds;        // further chains walked when the first one ran out
    int lazy2Limit;             // matches shorter than this wait for a look two bytes on
    std::vector<int64_t> head;  // newest position of each 4-byte hash (chained through prev)
    std::vector<int64_t> head3; // newest position of each 3-byte hash (no chain)
    std::vector<uint32_t> prev; // distance back to the previous position with the same hash
    // The heads hold base + position: each run starts its positions past the end of the
    // previous run's and its window, so that older entries are out of reach without clearing
    // the tables (which costs more than coding a small file).
    int64_t base = 0;
    int64_t nextBase = 0;
    std::vector<uint16_t> tokC;
    std::vector<uint16_t> tokP;
};

LzhEncoder::LzhEncoder(int dictionaryBits) : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    s.dicbit = dictionaryBits;
    s.np = dictionaryBits + 1;
    s.pbit = s.np > 14 ? 5 : 4;
    s.maxDistance = (1u << dictionaryBits) - 1;
    // Longer chains find next to nothing more once the offset walk below looks past runs.
    s.maxChain = 32;
    s.maxOffsetRounds = 2;
    // The second look ahead pays in the larger windows only (about 0.7% smaller on records
    // and text for a fifth more time); in lh5's it finds next to nothing.
    s.lazy2Limit = dictionaryBits >= 15 ? 16 : 0;
    s.head.assign(size_t(1) << kHashBits, -1);
    s.head3.assign(size_t(1) << kHash3Bits, -1);
    s.prev.assign(size_t(1) << dictionaryBits, 0);
    s.tokC.reserve(kBlockTokens);
    s.tokP.reserve(kBlockTokens);
}

LzhEncoder::~LzhEncoder() = default;

namespace
{

inline uint32_t hash3(const uint8_t* p)
{
    const uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    return (v * 2654435761u) >> (32 - kHash3Bits);
}

// How many bytes at m equal those at cur, at most maxLen (the first two are known equal).
inline int matchLength(const uint8_t* m, const uint8_t* cur, int maxLen)
{
    int len = 2;
    while (len + 8 <= maxLen) {
        uint64_t a, b;
        std::memcpy(&a, m + len, 8);
        std::memcpy(&b, cur + len, 8);
        if (a != b)
            return std::min(maxLen, len + (__builtin_ctzll(a ^ b) >> 3));
        len += 8;
    }
    while (len < maxLen && m[len] == cur[len])
        ++len;
    return len;
}

inline uint32_t hash4(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kHashBits);
}
} // namespace

namespace
{
// The match chosen at one position: len 0 when no match pays.
struct Match {
    int len = 0;
    uint32_t dist = 0;
    int gain = 0;
};

// What the match search at one position has seen so far.
struct Search {
    size_t pos;
    const uint8_t* cur;
    int maxLen;
    int longestSeen;
    Match best;
    bool done = false; // a match long enough to stop looking was found
};

// One run of the encoder over the whole input: the match finder, the bit costs that decide
// whether a match pays, and the lazy parse that turns the input into blocks of tokens.
class EncodeRun final
{
public:
    EncodeRun(LzhEncoder::State& s, const uint8_t* data, size_t size, BitWriter& out)
        : m_s(s), m_data(data), m_size(size), m_out(out), m_wmask((1u << s.dicbit) - 1)
    {
        s.base = s.nextBase;
        s.nextBase = s.base + static_cast<int64_t>(size) + s.maxDistance + 2;
        m_base = s.base;
        s.tokC.clear();
        s.tokP.clear();
        estimateCosts();
    }

    // Codes the input; false as soon as the output refuses bytes or more than limit were
    // written.
    bool run(uint64_t limit)
    {
        size_t pos = 0;
        Match prev;
        bool havePrev = false; // a match found at pos-1 waits for the lazy check
        size_t misses = 0;     // positions searched in a row without a match
        while (pos < m_size) {
            const Match m = longest(pos);
            if (m.len > 0)
                misses = 0;
            if (havePrev) {
                // The match one byte later wins when it saves more than the literal costs.
                if (m.len > 0 && m.gain - m_cCost[m_data[pos - 1]] > prev.gain) {
                    emitLiteral(m_data[pos - 1]);
                    prev = m;
                    insert(pos);
                    ++pos;
                } else {
                    // Two bytes later, once more: a match that saves more than both literals.
                    size_t from = pos;
                    if (prev.len < m_s.lazy2Limit && pos + 1 < m_size) {
                        insert(pos);
                        from = pos + 1;
                        const Match m2 = longest(pos + 1);
                        if (m2.len > 0 &&
                            m2.gain - m_cCost[m_data[pos - 1]] - m_cCost[m_data[pos]] > prev.gain) {
                            emitLiteral(m_data[pos - 1]);
                            emitLiteral(m_data[pos]);
                            prev = m2;
                            insert(pos + 1);
                            pos += 2;
                            if (m_s.tokC.size() >= kBlockTokens && !flushBlock())
                                return false;
                            continue;
                        }
                    }
                    emitMatch(prev.len, prev.dist);
                    const size_t end = pos - 1 + static_cast<size_t>(prev.len);
                    for (size_t k = from; k < end; ++k)
                        insert(k);
                    pos = end;
                    havePrev = false;
                }
            } else if (m.len > 0) {
                if (m.len >= kLazyLimit) {
                    emitMatch(m.len, m.dist);
                    const size_t end = pos + static_cast<size_t>(m.len);
                    for (size_t k = pos; k < end; ++k)
                        insert(k);
                    pos = end;
                } else {
                    prev = m;
                    havePrev = true;
                    insert(pos);
                    ++pos;
                }
            } else {
                emitLiteral(m_data[pos]);
                insert(pos);
                ++pos;
                // A long stretch without a match (packed or random data) is searched ever more
                // sparsely, up to one position in eight; the bytes between are literals.
                if (++misses > kSkipAfter) {
                    size_t skip = std::min<size_t>((misses - kSkipAfter) >> 6, 7);
                    for (skip = std::min(skip, m_size - pos); skip > 0; --skip) {
                        // Still indexed: a later copy of these bytes is found.
                        insert(pos);
                        emitLiteral(m_data[pos++]);
                    }
                }
            }
            if (m_s.tokC.size() >= kBlockTokens && !flushBlock())
                return false;
            if (m_out.written() > limit)
                return false;
        }
        if (havePrev)
            emitMatch(prev.len, prev.dist);
        return flushBlock() && m_out.finish();
    }

private:
    // Bit costs that decide whether a match pays: the code lengths of the previous block,
    // and for the first block estimates from the byte histogram of the start of the data.
    void estimateCosts()
    {
        uint32_t hist[256] = {};
        const size_t sample = std::min<size_t>(m_size, 1 << 16);
        for (size_t i = 0; i < sample; ++i)
            ++hist[m_data[i]];
        for (int i = 0; i < 256; ++i) {
            const double share = (hist[i] + 0.5) / (sample + 128.0);
            int bits = static_cast<int>(-std::log2(share) + 0.5);
            m_cCost[i] = static_cast<uint8_t>(std::clamp(bits, 1, 16));
        }
        for (int i = 256; i < kNC; ++i)
            m_cCost[i] = static_cast<uint8_t>(std::min(16, 6 + (i - 256) / 16));
        for (int j = 0; j < 18; ++j)
            m_pCost[j] = 4;
    }

    void learnCosts(const std::vector<uint8_t>& cLen, const std::vector<uint8_t>& pLen)
    {
        for (int i = 0; i < kNC; ++i)
            m_cCost[i] = cLen[static_cast<size_t>(i)] ? cLen[static_cast<size_t>(i)] : 12;
        for (int j = 0; j < m_s.np; ++j)
            m_pCost[j] = pLen[static_cast<size_t>(j)] ? pLen[static_cast<size_t>(j)] : 8;
    }

    // Bits saved by coding data[pos, pos+len) as a match at dist instead of as literals.
    int gain(size_t pos, int len, uint32_t dist) const
    {
        const int j = bitLength(dist - 1);
        const int matchBits = m_cCost[len - kMinMatch + 256] + m_pCost[j] + (j > 1 ? j - 1 : 0);
        int literalBits = 0;
        if (len >= 16)
            return len * 8 - matchBits + 1000;
        // A byte that is cheap as a literal (the zeros of a padded record) is cheap only while
        // matches do not take its occurrences away; counted at its learned cost it would keep
        // every match of it out, and the next block would learn the same. Literals are
        // therefore valued at no less than kLiteralFloor bits.
        for (int k = 0; k < len; ++k)
            literalBits +=
                std::max<int>(kLiteralFloor, m_cCost[m_data[pos + static_cast<size_t>(k)]]);
        return literalBits - matchBits;
    }

    void insert(size_t pos)
    {
        if (pos + kMinMatch > m_size)
            return;
        m_s.head3[hash3(m_data + pos)] = m_base + static_cast<int64_t>(pos);
        if (pos + 4 > m_size)
            return;
        const uint32_t h = hash4(m_data + pos);
        const int64_t old = m_s.head[h] - m_base;
        const uint64_t dist = old < 0 ? 0 : pos - static_cast<uint64_t>(old);
        m_s.prev[pos & m_wmask] = dist > m_s.maxDistance ? 0 : static_cast<uint32_t>(dist);
        m_s.head[h] = m_base + static_cast<int64_t>(pos);
    }

    // The most profitable match at pos among earlier positions (pos itself not yet
    // inserted).
    Match longest(size_t pos)
    {
        if (pos + kMinMatch > m_size)
            return Match{};
        Search f{pos, m_data + pos, static_cast<int>(std::min<size_t>(kMaxMatch, m_size - pos)),
                 kMinMatch - 1, Match{}};
        if (tryNear(f))
            return f.best;
        bool more = walk(f, 0, m_s.maxChain);
        // Runs of one byte (or of a short pattern) fill a chain with near candidates and hide
        // the far ones. A longer match must also agree at the bytes just before the longest
        // length seen, whose hash chain is far more selective: it is walked next, from the
        // position those bytes have in each candidate.
        for (int round = 0; more && !f.done && round < m_s.maxOffsetRounds; ++round) {
            if (f.longestSeen < 4)
                break;
            const int seen = f.longestSeen;
            more = walk(f, static_cast<size_t>(f.longestSeen - 3), m_s.maxChain);
            if (f.longestSeen == seen)
                break;
        }
        return f.best;
    }

    // The newest position with the same three bytes: short matches pay only when near.
    // True when its match is already as long as is worth looking for.
    bool tryNear(Search& f) const
    {
        const int64_t near = m_s.head3[hash3(f.cur)] - m_base;
        if (near < 0 || static_cast<uint64_t>(near) >= f.pos ||
            f.pos - static_cast<uint64_t>(near) > m_s.maxDistance)
            return false;
        const uint8_t* m = m_data + near;
        int len = 0;
        while (len < f.maxLen && m[len] == f.cur[len])
            ++len;
        if (len < kMinMatch)
            return false;
        f.longestSeen = len;
        const uint32_t dist = static_cast<uint32_t>(f.pos - static_cast<uint64_t>(near));
        const int g = gain(f.pos, len, dist);
        if (g > 0)
            f.best = Match{len, dist, g};
        return len >= kNiceLength || len >= f.maxLen;
    }

    // Walks the chain of the 4-byte hash at cur + off: each position q on it is a candidate
    // match starting at q - off. True when the walk stopped at its limit with older
    // candidates left unseen. Kept inline: it is the innermost loop of the search.
    [[gnu::always_inline]] bool walk(Search& f, size_t off, int chain) const
    {
        const size_t pos = f.pos;
        const uint8_t* cur = f.cur;
        if (pos + off + 4 > m_size)
            return false;
        const int64_t first = m_s.head[hash4(cur + off)] - m_base;
        if (first < static_cast<int64_t>(off))
            return false;
        uint64_t q = static_cast<uint64_t>(first);
        while (chain-- > 0) {
            const uint64_t cand = q - off;
            const uint64_t dist = pos - cand;
            if (dist == 0 || dist > m_s.maxDistance)
                return false;
            const uint8_t* m = m_data + cand;
            if (m[f.longestSeen] == cur[f.longestSeen] && m[0] == cur[0] && m[1] == cur[1]) {
                const int len = matchLength(m, cur, f.maxLen);
                if (len > f.longestSeen) {
                    f.longestSeen = len;
                    const int g = gain(pos, len, static_cast<uint32_t>(dist));
                    if (g > f.best.gain)
                        f.best = Match{len, static_cast<uint32_t>(dist), g};
                    if (len >= kNiceLength || len >= f.maxLen) {
                        f.done = true;
                        return false;
                    }
                    // A good match found: a few more candidates are enough.
                    if (len >= kGoodLength && chain > 8)
                        chain = 8;
                }
            }
            const uint32_t step = m_s.prev[q & m_wmask];
            if (step == 0 || step > q || q - step < off)
                return false;
            q -= step;
            if (pos - (q - off) > m_s.maxDistance)
                return false;
        }
        return true;
    }

    void emitLiteral(uint8_t c)
    {
        m_s.tokC.push_back(c);
        m_s.tokP.push_back(0);
    }
    void emitMatch(int len, uint32_t dist)
    {
        m_s.tokC.push_back(static_cast<uint16_t>(len - kMinMatch + 256));
        m_s.tokP.push_back(static_cast<uint16_t>(dist - 1));
    }
    bool flushBlock()
    {
        if (!m_s.tokC.empty()) {
            std::vector<uint8_t> cLen, pLen;
            sendBlock(m_out, m_s.tokC, m_s.tokP, m_s.np, m_s.pbit, cLen, pLen);
            learnCosts(cLen, pLen);
            m_s.tokC.clear();
            m_s.tokP.clear();
        }
        return m_out.ok();
    }

    LzhEncoder::State& m_s;
    const uint8_t* m_data;
    size_t m_size;
    BitWriter& m_out;
    uint32_t m_wmask;
    int64_t m_base = 0;
    uint8_t m_cCost[kNC];
    uint8_t m_pCost[18];
};
} // namespace

bool LzhEncoder::encode(const uint8_t* data, size_t size, uint64_t limit, const Output& output,
                        uint64_t& outputSize)
{
    BitWriter out(output, limit);
    EncodeRun run(*m_state, data, size, out);
    const bool ok = run.run(limit);
    outputSize = out.written();
    return ok && outputSize <= limit;
}

} // namespace lzh
