#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh
{

// Where a decoder takes its compressed bytes from.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // Up to size bytes; 0 at the end or on an error (error() tells which).
    virtual size_t read(uint8_t* buffer, size_t size) = 0;
    virtual bool error() const { return false; }
};

} // namespace lzh
