#include "ArcVolume.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
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

// A RAR v5 variable-length number read from the stream; false at its end.
bool readVint(std::istream& in, uint64_t& value, uint64_t& length)
{
    value = 0;
    length = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const int c = in.get();
        if (c < 0)
            return false;
        ++length;
        value |= static_cast<uint64_t>(c & 0x7F) << shift;
        if ((c & 0x80) == 0)
            return true;
    }
    return false;
}

constexpr size_t kMostMembers = 1000000;
constexpr uint64_t kLargestHeader = 2 * 1024 * 1024;
// Past any file there is; sizes beyond it are damage, and adding them would overflow.
constexpr uint64_t kLargestOffset = uint64_t{1} << 56;

void rar4Encrypted(std::ifstream& in, std::vector<bool>& out)
{
    std::streamoff pos = 7;
    while (out.size() < kMostMembers) {
        in.clear();
        in.seekg(pos);
        unsigned char h[11] = {};
        in.read(reinterpret_cast<char*>(h), sizeof h);
        if (in.gcount() < 7)
            return;
        const unsigned type = h[2];
        const unsigned flags = h[3] | (h[4] << 8);
        const unsigned size = h[5] | (h[6] << 8);
        if (size < 7 || type == 0x7B)
            return;
        uint64_t add = 0;
        if ((flags & 0x8000) != 0 || type == 0x74) {
            if (in.gcount() < 11)
                return;
            add = h[7] | (h[8] << 8) | (h[9] << 16) | (static_cast<uint64_t>(h[10]) << 24);
        }
        if (type == 0x74) {
            if ((flags & 0x0100) != 0) {
                // The high half of the packed size sits after the fixed fields.
                unsigned char high[4] = {};
                in.seekg(pos + 32);
                in.read(reinterpret_cast<char*>(high), sizeof high);
                add |= static_cast<uint64_t>(high[0] | (high[1] << 8) | (high[2] << 16) |
                                             (static_cast<uint64_t>(high[3]) << 24))
                       << 32;
            }
            out.push_back((flags & 0x0004) != 0);
        }
        if (add > kLargestOffset)
            return;
        pos += static_cast<std::streamoff>(size + add);
    }
}

void rar5Encrypted(std::ifstream& in, std::vector<bool>& out)
{
    std::streamoff pos = 8;
    while (out.size() < kMostMembers) {
        in.clear();
        in.seekg(pos + 4); // past the header's CRC
        uint64_t size = 0, sizeLength = 0, n = 0;
        if (!readVint(in, size, sizeLength) || size == 0 || size > kLargestHeader)
            return;
        const std::streamoff start = pos + 4 + static_cast<std::streamoff>(sizeLength);
        std::vector<char> header(size);
        in.read(header.data(), static_cast<std::streamsize>(size));
        if (static_cast<uint64_t>(in.gcount()) != size)
            return;
        std::istringstream h(std::string(header.data(), header.size()));
        uint64_t type = 0, flags = 0, extra = 0, data = 0;
        if (!readVint(h, type, n) || !readVint(h, flags, n))
            return;
        if ((flags & 0x0001) != 0 && !readVint(h, extra, n))
            return;
        if ((flags & 0x0002) != 0 && !readVint(h, data, n))
            return;
        if (type == 4 || type == 5 || data > kLargestOffset)
            return; // encrypted headers, the end of the archive, or no file holds that much
        if (type == 2) {
            bool encrypted = false;
            if (extra > 0 && extra <= size) {
                h.clear();
                h.seekg(static_cast<std::streamoff>(size - extra));
                const std::streamoff end = static_cast<std::streamoff>(size);
                while (h.tellg() >= 0 && h.tellg() < end) {
                    uint64_t recordSize = 0, recordType = 0;
                    if (!readVint(h, recordSize, n) || recordSize == 0 || recordSize > size)
                        break;
                    const std::streamoff next = h.tellg() + static_cast<std::streamoff>(recordSize);
                    if (!readVint(h, recordType, n))
                        break;
                    if (recordType == 1)
                        encrypted = true;
                    h.seekg(next);
                }
            }
            out.push_back(encrypted);
        }
        pos = start + static_cast<std::streamoff>(size) + static_cast<std::streamoff>(data);
    }
}

} // namespace

std::vector<bool> rarEncryptedMembers(const std::string& path)
{
    std::vector<bool> out;
    std::ifstream in(path, std::ios::binary);
    unsigned char mark[8] = {};
    in.read(reinterpret_cast<char*>(mark), sizeof mark);
    if (in.gcount() < 7 || std::memcmp(mark, "Rar!\x1A\x07", 6) != 0)
        return out;
    if (mark[6] == 0x00)
        rar4Encrypted(in, out);
    else if (mark[6] == 0x01 && in.gcount() == 8 && mark[7] == 0x00)
        rar5Encrypted(in, out);
    return out;
}

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
