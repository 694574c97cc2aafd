#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace lzh
{

// LZSS with a hash-chain match finder and lazy matching, coded with the static Huffman
// blocks of "-lh5-" (8 KiB dictionary), "-lh6-" (32 KiB) and "-lh7-" (64 KiB).
class LzhEncoder
{
public:
    // dictionaryBits: 13, 15 or 16.
    explicit LzhEncoder(int dictionaryBits);
    ~LzhEncoder();
    LzhEncoder(const LzhEncoder&) = delete;
    LzhEncoder& operator=(const LzhEncoder&) = delete;

    // Receives the coded bytes in pieces; returning false stops the encoder.
    using Output = std::function<bool(const uint8_t*, size_t)>;

    // Encodes the whole input. Stops and returns false as soon as more than limit bytes
    // would be written (the member is then better stored) or the output refuses bytes;
    // outputSize tells how many bytes were written.
    bool encode(const uint8_t* data, size_t size, uint64_t limit, const Output& output,
                uint64_t& outputSize);

    // Match finder tables and the tokens of the current block.
    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace lzh
