// The static-Huffman decoder on arbitrary data, and the encoder and decoder together: what
// the encoder makes must decode to the input.
#include "Crc16.h"
#include "LzhDecoder.h"
#include "LzhEncoder.h"
#include "MemorySource.h"
#include "VectorSink.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    static const char* const methods[] = {"-lh5-", "-lh6-", "-lh7-", "-lh0-"};
    const int which = data[0] & 3;
    const bool roundTrip = (data[0] & 4) != 0;
    const uint32_t original =
        (uint32_t(data[1]) | (uint32_t(data[2]) << 8) | (uint32_t(data[3]) << 16)) & 0x3FFFF;
    data += 4;
    size -= 4;
    static lzh::LzhDecoder decoder;
    if (!roundTrip) {
        MemorySource source(data, size);
        VectorSink sink;
        uint16_t crc = 0;
        std::string why;
        if (decoder.decode(methods[which], source, size, original, sink, crc, why) &&
            sink.bytes.size() != original)
            abort();
        return 0;
    }
    if (which == 3)
        return 0;
    static lzh::LzhEncoder encoders[] = {lzh::LzhEncoder(13), lzh::LzhEncoder(15),
                                         lzh::LzhEncoder(16)};
    lzh::LzhEncoder& encoder = encoders[which];
    std::vector<uint8_t> packed;
    uint64_t written = 0;
    const bool ok = encoder.encode(
        data, size, UINT64_MAX,
        [&](const uint8_t* p, size_t n) {
            packed.insert(packed.end(), p, p + n);
            return true;
        },
        written);
    if (!ok || written != packed.size())
        abort();
    MemorySource source(packed.data(), packed.size());
    VectorSink sink;
    uint16_t crc = 0;
    std::string why;
    if (!decoder.decode(methods[which], source, packed.size(), size, sink, crc, why))
        abort();
    if (sink.bytes.size() != size || (size && std::memcmp(sink.bytes.data(), data, size) != 0))
        abort();
    if (crc != lzh::crc16(0, data, size))
        abort();
    return 0;
}
