#include "LzhBlockCoder.h"

#include "Huffman.h"

namespace lzh
{

namespace
{
using blocks::kNC;
constexpr int kNT = 19;
constexpr int kTBit = 5;
constexpr int kCBit = 9;

void writePtLen(BitWriter& out, const std::vector<uint8_t>& len, int nbit, int special)
{
    int n = static_cast<int>(len.size());
    while (n > 0 && len[static_cast<size_t>(n - 1)] == 0)
        --n;
    out.put(nbit, static_cast<uint32_t>(n));
    int i = 0;
    while (i < n) {
        const int k = len[static_cast<size_t>(i++)];
        if (k <= 6)
            out.put(3, static_cast<uint32_t>(k));
        else
            out.put(k - 3, (1u << (k - 3)) - 2);
        if (i == special) {
            int z = 0;
            while (z < 3 && i < n && len[static_cast<size_t>(i)] == 0) {
                ++i;
                ++z;
            }
            out.put(2, static_cast<uint32_t>(z));
        }
    }
}

// The symbols of the C lengths in the T code: 0 one zero, 1 3..18 zeros, 2 20.. zeros,
// k+2 a length k. Calls emit(symbol, extraBits, extraValue).
template <typename Emit> void walkCLen(const std::vector<uint8_t>& cLen, Emit emit)
{
    int n = kNC;
    while (n > 0 && cLen[static_cast<size_t>(n - 1)] == 0)
        --n;
    int i = 0;
    while (i < n) {
        const int k = cLen[static_cast<size_t>(i++)];
        if (k == 0) {
            int count = 1;
            while (i < n && cLen[static_cast<size_t>(i)] == 0) {
                ++i;
                ++count;
            }
            if (count <= 2) {
                for (int j = 0; j < count; ++j)
                    emit(0, 0, 0u);
            } else if (count <= 18) {
                emit(1, 4, static_cast<uint32_t>(count - 3));
            } else if (count == 19) {
                emit(0, 0, 0u);
                emit(1, 4, 15u);
            } else {
                emit(2, kCBit, static_cast<uint32_t>(count - 20));
            }
        } else {
            emit(k + 2, 0, 0u);
        }
    }
}

} // namespace

void sendBlock(BitWriter& out, const std::vector<uint16_t>& tokC, const std::vector<uint16_t>& tokP,
               int np, int pbit, std::vector<uint8_t>& cLenOut, std::vector<uint8_t>& pLenOut)
{
    const size_t count = tokC.size();
    std::vector<uint32_t> cFreq(kNC, 0), pFreq(static_cast<size_t>(np), 0);
    for (size_t i = 0; i < count; ++i) {
        ++cFreq[tokC[i]];
        if (tokC[i] >= 256)
            ++pFreq[static_cast<size_t>(bitLength(tokP[i]))];
    }
    out.put(16, static_cast<uint32_t>(count));
    const std::vector<uint8_t> cLen = huffmanLengths(cFreq, 16);
    cLenOut = cLen;
    int cUsed = 0, cOnly = 0;
    for (int i = 0; i < kNC; ++i) {
        if (cFreq[static_cast<size_t>(i)]) {
            ++cUsed;
            cOnly = i;
        }
    }
    std::vector<uint16_t> cCode;
    if (cUsed >= 2) {
        std::vector<uint32_t> tFreq(kNT, 0);
        walkCLen(cLen, [&](int sym, int, uint32_t) { ++tFreq[static_cast<size_t>(sym)]; });
        const std::vector<uint8_t> tLen = huffmanLengths(tFreq, 16);
        int tUsed = 0, tOnly = 0;
        for (int i = 0; i < kNT; ++i) {
            if (tFreq[static_cast<size_t>(i)]) {
                ++tUsed;
                tOnly = i;
            }
        }
        std::vector<uint16_t> tCode;
        if (tUsed >= 2) {
            writePtLen(out, tLen, kTBit, 3);
            tCode = huffmanCodes(tLen);
        } else {
            out.put(kTBit, 0);
            out.put(kTBit, static_cast<uint32_t>(tOnly));
        }
        int n = kNC;
        while (n > 0 && cLen[static_cast<size_t>(n - 1)] == 0)
            --n;
        out.put(kCBit, static_cast<uint32_t>(n));
        walkCLen(cLen, [&](int sym, int bits, uint32_t value) {
            if (tUsed >= 2)
                out.put(tLen[static_cast<size_t>(sym)], tCode[static_cast<size_t>(sym)]);
            if (bits)
                out.put(bits, value);
        });
        cCode = huffmanCodes(cLen);
    } else {
        out.put(kTBit, 0);
        out.put(kTBit, 0);
        out.put(kCBit, 0);
        out.put(kCBit, static_cast<uint32_t>(cOnly));
    }
    const std::vector<uint8_t> pLen = huffmanLengths(pFreq, 16);
    pLenOut = pLen;
    pLenOut.resize(18, 0);
    int pUsed = 0, pOnly = 0;
    for (int i = 0; i < np; ++i) {
        if (pFreq[static_cast<size_t>(i)]) {
            ++pUsed;
            pOnly = i;
        }
    }
    std::vector<uint16_t> pCode;
    if (pUsed >= 2) {
        writePtLen(out, pLen, pbit, -1);
        pCode = huffmanCodes(pLen);
    } else {
        out.put(pbit, 0);
        out.put(pbit, static_cast<uint32_t>(pOnly));
    }
    for (size_t i = 0; i < count; ++i) {
        const uint16_t c = tokC[i];
        if (cUsed >= 2)
            out.put(cLen[c], cCode[c]);
        if (c >= 256) {
            const uint32_t p = tokP[i];
            const int j = bitLength(p);
            if (pUsed >= 2)
                out.put(pLen[static_cast<size_t>(j)], pCode[static_cast<size_t>(j)]);
            if (j > 1)
                out.put(j - 1, p & ((1u << (j - 1)) - 1));
        }
    }
}

} // namespace lzh
