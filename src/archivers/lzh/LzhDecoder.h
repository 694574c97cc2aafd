#pragma once

#include "ByteSink.h"
#include "ByteSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace lzh
{

// Decodes one member's data: "-lh0-" (stored) and the static-Huffman methods "-lh5-",
// "-lh6-" and "-lh7-". Reads at most compressedSize bytes from the source and writes exactly
// originalSize bytes to the sink, or fails with a reason; never reads or writes beyond those
// bounds and always ends (every step either produces output or consumes input).
class LzhDecoder
{
public:
    LzhDecoder();
    ~LzhDecoder();
    LzhDecoder(const LzhDecoder&) = delete;
    LzhDecoder& operator=(const LzhDecoder&) = delete;

    // True for the methods decode() handles.
    static bool supports(const std::string& method);

    bool decode(const std::string& method, ByteSource& source, uint64_t compressedSize,
                uint64_t originalSize, ByteSink& sink, uint16_t& crc, std::string& reason);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lzh
