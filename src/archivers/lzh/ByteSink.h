#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh
{

// Where a decoder puts the member's bytes.
class ByteSink
{
public:
    virtual ~ByteSink() = default;
    virtual bool write(const uint8_t* data, size_t size) = 0;
};

} // namespace lzh
