#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh
{

// Bytes of an archive by position.
class RandomAccess
{
public:
    virtual ~RandomAccess() = default;
    // Exactly size bytes at offset, or false.
    virtual bool readAt(uint64_t offset, uint8_t* buffer, size_t size) = 0;
    virtual uint64_t size() const = 0;
};

} // namespace lzh
