#pragma once

#include <cstdint>
#include <vector>

namespace lzh
{

// Canonical Huffman codes as LZH uses them: lengths of at most 16 bits; within one length
// the codes increase with the symbol.

// Code lengths for the frequencies, limited to maxBits, forming a complete code when two or
// more symbols occur. Symbols with frequency 0 get length 0.
std::vector<uint8_t> huffmanLengths(const std::vector<uint32_t>& freq, int maxBits);
// Codes for the lengths.
std::vector<uint16_t> huffmanCodes(const std::vector<uint8_t>& lengths);

} // namespace lzh
