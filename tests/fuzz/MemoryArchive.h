#pragma once

#include "ByteSink.h"
#include "ByteSource.h"
#include "RandomAccess.h"

#include <algorithm>
#include <cstring>

// An archive held in memory, for the fuzz targets.
class MemoryArchive final : public lzh::RandomAccess
{
public:
    MemoryArchive(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool readAt(uint64_t offset, uint8_t* buffer, size_t size) override
    {
        if (offset > m_size || size > m_size - offset)
            return false;
        std::memcpy(buffer, m_data + offset, size);
        return true;
    }
    uint64_t size() const override { return m_size; }

private:
    const uint8_t* m_data;
    size_t m_size;
};
