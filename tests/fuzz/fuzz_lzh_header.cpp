// Walks every member header of an arbitrary byte string taken as an LZH archive, and decodes
// each member's data as the extraction would.
#include "LzhDecoder.h"
#include "LzhHeader.h"
#include "MemoryArchive.h"
#include "MemorySource.h"
#include "VectorSink.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryArchive archive(data, size);
    static lzh::LzhDecoder decoder;
    uint64_t offset = 0;
    for (int count = 0; count < 10000; ++count) {
        lzh::LzhMember m;
        std::string reason;
        const lzh::HeaderStatus st = lzh::readHeader(archive, offset, m, reason);
        if (st != lzh::HeaderStatus::Ok)
            break;
        // Every accepted header lies inside the input.
        if (m.dataOffset > size || m.compressedSize > size - m.dataOffset)
            abort();
        const uint64_t next = m.dataOffset + m.compressedSize;
        if (next <= offset)
            abort();
        if (m.originalSize <= (1u << 20) && lzh::LzhDecoder::supports(m.method)) {
            MemorySource source(data + m.dataOffset, static_cast<size_t>(m.compressedSize));
            VectorSink sink;
            uint16_t crc = 0;
            std::string why;
            if (decoder.decode(m.method, source, m.compressedSize, m.originalSize, sink, crc,
                               why) &&
                sink.bytes.size() != m.originalSize)
                abort();
        }
        offset = next;
    }
    return 0;
}
