#include "ArcVolume.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace archiver
{

namespace
{

// A RAR v5 variable-length number at pos; false when it runs past the end.
bool readVint(const std::vector<unsigned char>& b, size_t& pos, uint64_t& value)
{
    value = 0;
    for (int shift = 0; pos < b.size() && shift < 64; shift += 7) {
        const unsigned char c = b[pos++];
        value |= static_cast<uint64_t>(c & 0x7F) << shift;
        if ((c & 0x80) == 0)
            return true;
    }
    return false;
}

bool rar4Volume(const std::vector<unsigned char>& b, size_t start)
{
    // The main header follows the 7-byte mark: CRC (2), type 0x73 (1), flags (2).
    const size_t pos = start + 7;
    if (pos + 5 > b.size() || b[pos + 2] != 0x73)
        return false;
    const unsigned flags = b[pos + 3] | (b[pos + 4] << 8);
    return (flags & 0x0001) != 0;
}

bool rar5Volume(const std::vector<unsigned char>& b, size_t start)
{
    // After the 8-byte mark: CRC32 (4), header size, type (1 = main), header flags, the extra
    // area's size and the data size when the flags say so, then the archive's flags.
    size_t pos = start + 8 + 4;
    uint64_t size = 0, type = 0, flags = 0, skip = 0, archiveFlags = 0;
    if (!readVint(b, pos, size) || !readVint(b, pos, type) || type != 1 || !readVint(b, pos, flags))
        return false;
    if ((flags & 0x0001) != 0 && !readVint(b, pos, skip))
        return false;
    if ((flags & 0x0002) != 0 && !readVint(b, pos, skip))
        return false;
    return readVint(b, pos, archiveFlags) && (archiveFlags & 0x0001) != 0;
}

} // namespace

bool isVolumeOfSet(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    // Only the mark at the start counts: a RAR volume stored inside another archive is not one.
    std::vector<unsigned char> b(4096);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    b.resize(static_cast<size_t>(in.gcount()));
    static const unsigned char kRar4[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    static const unsigned char kRar5[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
    if (b.size() >= sizeof(kRar5) && std::memcmp(b.data(), kRar5, sizeof(kRar5)) == 0)
        return rar5Volume(b, 0);
    if (b.size() >= sizeof(kRar4) && std::memcmp(b.data(), kRar4, sizeof(kRar4)) == 0)
        return rar4Volume(b, 0);
    return false;
}

} // namespace archiver
