#pragma once

#include "ByteSink.h"

#include <vector>

class VectorSink final : public lzh::ByteSink
{
public:
    bool write(const uint8_t* data, size_t size) override
    {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};
