#include "ZipCentralDirectory.h"

#include "LittleEndian.h"
#include <algorithm>

#include <cstdio>
#include <cstring>
#include <memory>

namespace archiver
{

namespace
{

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

bool readAt(FILE* f, uint64_t offset, void* buffer, size_t size)
{
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(buffer, 1, size, f) == size;
}

} // namespace

const char* ZipCentralDirectory::methodText(uint16_t method)
{
    switch (method) {
    case 0:
        return "store";
    case 1:
        return "shrink";
    case 6:
        return "implode";
    case 8:
        return "deflate";
    case 9:
        return "deflat64";
    case 12:
        return "bzip2";
    case 14:
        return "lzma";
    case 93:
        return "zstd";
    case 95:
        return "xz";
    case 98:
        return "ppmd";
    case 99:
        return "aes";
    default:
        return "unknown";
    }
}

bool ZipCentralDirectory::read(const std::string& path)
{
    m_members.clear();
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return false;
    if (fseeko(f.get(), 0, SEEK_END) != 0)
        return false;
    const off_t fileSize = ftello(f.get());
    if (fileSize < 22)
        return false;
    const uint64_t tailSize = std::min<uint64_t>(static_cast<uint64_t>(fileSize), 65535 + 22);
    std::vector<unsigned char> tail(tailSize);
    const uint64_t tailStart = static_cast<uint64_t>(fileSize) - tailSize;
    if (!readAt(f.get(), tailStart, tail.data(), tail.size()))
        return false;
    int64_t eocd = -1;
    for (int64_t i = static_cast<int64_t>(tail.size()) - 22; i >= 0; --i) {
        if (le32(&tail[static_cast<size_t>(i)]) == 0x06054b50) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0)
        return false;
    const unsigned char* e = &tail[static_cast<size_t>(eocd)];
    uint64_t count = le16(e + 10);
    uint64_t cdSize = le32(e + 12);
    uint64_t cdOffset = le32(e + 16);
    const uint64_t eocdPos = tailStart + static_cast<uint64_t>(eocd);
    if (eocdPos >= 20 && (count == 0xFFFF || cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF)) {
        unsigned char locator[20];
        if (readAt(f.get(), eocdPos - 20, locator, 20) && le32(locator) == 0x07064b50) {
            unsigned char z64[56];
            const uint64_t z64Pos = le64(locator + 8);
            if (z64Pos < static_cast<uint64_t>(fileSize) && readAt(f.get(), z64Pos, z64, 56) &&
                le32(z64) == 0x06064b50) {
                count = le64(z64 + 32);
                cdSize = le64(z64 + 40);
                cdOffset = le64(z64 + 48);
            }
        }
    }
    // A lying directory cannot make us allocate more than the file holds.
    if (cdOffset > static_cast<uint64_t>(fileSize) ||
        cdSize > static_cast<uint64_t>(fileSize) - cdOffset || count > cdSize / 46)
        return false;
    std::vector<unsigned char> cd(static_cast<size_t>(cdSize));
    if (!cd.empty() && !readAt(f.get(), cdOffset, cd.data(), cd.size()))
        return false;
    size_t pos = 0;
    for (uint64_t n = 0; n < count; ++n) {
        if (pos + 46 > cd.size() || le32(&cd[pos]) != 0x02014b50)
            return false;
        const unsigned char* h = &cd[pos];
        Member m;
        m.creatorOs = h[5];
        m.flags = le16(h + 8);
        m.method = le16(h + 10);
        m.dosTime = le16(h + 12);
        m.dosDate = le16(h + 14);
        m.crc = le32(h + 16);
        m.compressedSize = le32(h + 20);
        m.size = le32(h + 24);
        const size_t nameLength = le16(h + 28);
        const size_t extraLength = le16(h + 30);
        const size_t commentLength = le16(h + 32);
        m.externalAttributes = le32(h + 38);
        m.localOffset = le32(h + 42);
        if (pos + 46 + nameLength + extraLength + commentLength > cd.size())
            return false;
        m.name.assign(reinterpret_cast<const char*>(&cd[pos + 46]), nameLength);
        size_t x = pos + 46 + nameLength;
        const size_t extraEnd = x + extraLength;
        while (x + 4 <= extraEnd) {
            const uint16_t id = le16(&cd[x]);
            const uint16_t len = le16(&cd[x + 2]);
            if (x + 4 + len > extraEnd)
                break;
            if (id == 0x0001) {
                size_t p = x + 4;
                const size_t end = p + len;
                auto take = [&](uint64_t& field, uint64_t marker) {
                    if (field == marker && p + 8 <= end) {
                        field = le64(&cd[p]);
                        p += 8;
                    }
                };
                take(m.size, 0xFFFFFFFF);
                take(m.compressedSize, 0xFFFFFFFF);
                take(m.localOffset, 0xFFFFFFFF);
            } else if (id == 0x5455 && len >= 5 && (cd[x + 4] & 0x01) && !m.writeTime) {
                // Extended timestamp: flags, then the modification time when bit 0 is set.
                m.writeTime = static_cast<int32_t>(le32(&cd[x + 5]));
            } else if (id == 0x000a && len >= 32) {
                // NTFS times: 4 reserved bytes, then tagged attributes; tag 1 holds the
                // modification, access and creation times in 100 ns since 1601 (UTC).
                size_t p = x + 8;
                const size_t end = x + 4 + len;
                while (p + 4 <= end) {
                    const uint16_t tag = le16(&cd[p]);
                    const uint16_t size = le16(&cd[p + 2]);
                    if (p + 4 + size > end)
                        break;
                    if (tag == 0x0001 && size >= 8) {
                        const uint64_t ticks = le64(&cd[p + 4]);
                        constexpr uint64_t k1970 = 116444736000000000ull;
                        if (ticks >= k1970)
                            m.writeTime = static_cast<int64_t>((ticks - k1970) / 10000000ull);
                    }
                    p += 4 + size;
                }
            }
            x += 4 + len;
        }
        m_members.push_back(m);
        pos += 46 + nameLength + extraLength + commentLength;
    }
    std::stable_sort(m_members.begin(), m_members.end(), [](const Member& a, const Member& b) {
        return a.localOffset < b.localOffset;
    });
    return true;
}

} // namespace archiver
