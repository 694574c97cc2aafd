#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh
{

// CRC-16 as LZH archives use it (polynomial 0xA001, reflected, initial value 0).
uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size);

} // namespace lzh
