#pragma once

#include "LzhEncoder.h"

#include <cstdint>
#include <vector>

namespace lzh
{

// The static Huffman blocks of "-lh5-" to "-lh7-" and the bit stream they are written into.
namespace blocks
{
constexpr int kNC = 510; // literals, then match lengths 3..256
}

// Bits, the first one highest, handed on in pieces of up to 64 KiB; once more than the limit
// has been handed on, or the output refused a piece, nothing more is handed on.
class BitWriter
{
public:
    BitWriter(const LzhEncoder::Output& output, uint64_t limit) : m_output(output), m_limit(limit)
    {
        m_buffer.reserve(1 << 16);
    }
    void put(int n, uint32_t value)
    {
        m_bits = (m_bits << n) | (value & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
        m_count += n;
        while (m_count >= 8) {
            m_count -= 8;
            m_buffer.push_back(static_cast<uint8_t>(m_bits >> m_count));
        }
        if (m_buffer.size() >= (1 << 16))
            drain();
    }
    bool finish()
    {
        if (m_count > 0)
            put(8 - m_count, 0);
        drain();
        return m_ok;
    }
    bool ok() const { return m_ok; }
    uint64_t written() const { return m_written + m_buffer.size(); }

private:
    void drain()
    {
        if (!m_ok || m_buffer.empty()) {
            m_buffer.clear();
            return;
        }
        m_written += m_buffer.size();
        if (m_written > m_limit || !m_output(m_buffer.data(), m_buffer.size()))
            m_ok = false;
        m_buffer.clear();
    }

    const LzhEncoder::Output& m_output;
    uint64_t m_limit;
    std::vector<uint8_t> m_buffer;
    uint64_t m_bits = 0;
    int m_count = 0;
    uint64_t m_written = 0;
    bool m_ok = true;
};

inline int bitLength(uint32_t v)
{
    return v == 0 ? 0 : 32 - __builtin_clz(v);
}

// Codes one block of tokens (tokC: a literal, or 256 + length - 3 for a match, whose distance
// - 1 is in tokP) with Huffman codes made for it; np and pbit describe the position code of
// the method. cLen and pLen receive the code lengths used.
void sendBlock(BitWriter& out, const std::vector<uint16_t>& tokC, const std::vector<uint16_t>& tokP,
               int np, int pbit, std::vector<uint8_t>& cLen, std::vector<uint8_t>& pLen);

} // namespace lzh
