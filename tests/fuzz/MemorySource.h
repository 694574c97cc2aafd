#pragma once

#include "ByteSource.h"

#include <algorithm>
#include <cstring>

class MemorySource final : public lzh::ByteSource
{
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    size_t read(uint8_t* buffer, size_t size) override
    {
        const size_t n = std::min(size, m_size - m_pos);
        std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        return n;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
