#include "Crc16.h"

#include <array>

namespace lzh
{

namespace
{
struct Tables {
    std::array<std::array<uint16_t, 256>, 8> t{};
    Tables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(c >> 1);
            t[0][i] = c;
        }
        for (unsigned i = 0; i < 256; ++i) {
            for (int k = 1; k < 8; ++k)
                t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        }
    }
};
const Tables& tables()
{
    static const Tables instance;
    return instance;
}
} // namespace

uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size)
{
    const auto& t = tables().t;
    // Eight bytes per step (slicing); the rest one at a time.
    while (size >= 8) {
        const uint32_t v = crc ^ (uint32_t(data[0]) | (uint32_t(data[1]) << 8));
        crc = static_cast<uint16_t>(t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][data[2]] ^
                                    t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^
                                    t[0][data[7]]);
        data += 8;
        size -= 8;
    }
    while (size--)
        crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data++) & 0xFF]);
    return crc;
}

} // namespace lzh
