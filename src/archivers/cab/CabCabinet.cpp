#include "CabCabinet.h"

#include "LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace archiver
{

namespace
{

constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderSize = 8;
constexpr size_t kFileSize = 16;
constexpr size_t kBlockHeaderSize = 8;
constexpr size_t kLongestName = 1024;

bool readAt(int fd, uint64_t offset, unsigned char* out, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

uint32_t CabCabinet::checksum(const unsigned char* p, size_t size, uint32_t seed)
{
    uint32_t sum = seed;
    size_t words = size / 4;
    for (; words > 0; --words, p += 4)
        sum ^= le32(p);
    // The bytes left over are taken with the first of them highest.
    uint32_t rest = 0;
    switch (size % 4) {
    case 3:
        rest |= uint32_t(*p++) << 16;
        [[fallthrough]];
    case 2:
        rest |= uint32_t(*p++) << 8;
        [[fallthrough]];
    case 1:
        rest |= *p;
        break;
    default:
        break;
    }
    return sum ^ rest;
}

uint32_t CabCabinet::blockChecksum(const unsigned char* data, const Block& block)
{
    const unsigned char sizes[4] = {static_cast<unsigned char>(block.packed & 0xFF),
                                    static_cast<unsigned char>(block.packed >> 8),
                                    static_cast<unsigned char>(block.size & 0xFF),
                                    static_cast<unsigned char>(block.size >> 8)};
    return checksum(sizes, 4, checksum(data, block.packed, 0));
}

bool CabCabinet::readBlocks(int fd, uint64_t first, uint16_t count, unsigned reserve,
                            Folder& folder, uint64_t& budget)
{
    uint64_t at = first;
    for (unsigned i = 0; i < count; ++i) {
        unsigned char h[kBlockHeaderSize];
        // Every block takes room of its own in the file: folders that claim the same bytes
        // over and over cannot make the table grow past the file's size.
        if (budget < kBlockHeaderSize + reserve || !readAt(fd, at, h, sizeof h))
            return false;
        Block b;
        b.checksum = le32(h);
        b.packed = le16(h + 4);
        b.size = le16(h + 6);
        b.fileOffset = at + kBlockHeaderSize + reserve;
        b.folderOffset = folder.size;
        if (b.fileOffset + b.packed > m_fileSize)
            return false;
        budget -= std::min<uint64_t>(budget, kBlockHeaderSize + reserve + b.packed);
        folder.blocks.push_back(b);
        folder.size += b.size;
        at = b.fileOffset + b.packed;
    }
    return true;
}

bool CabCabinet::read(int fd, std::string& error)
{
    m_folders.clear();
    m_members.clear();
    struct stat st {
    };
    if (::fstat(fd, &st) != 0) {
        error = "cannot read";
        return false;
    }
    m_fileSize = static_cast<uint64_t>(st.st_size);
    unsigned char h[kHeaderSize + 4];
    if (!readAt(fd, 0, h, kHeaderSize) || le32(h) != 0x4643534D) {
        error = "not a cabinet";
        return false;
    }
    const uint32_t filesOffset = le32(h + 16);
    const uint16_t folderCount = le16(h + 26);
    const uint16_t fileCount = le16(h + 28);
    const uint16_t flags = le16(h + 30);
    uint64_t pos = kHeaderSize;
    unsigned folderReserve = 0;
    unsigned dataReserve = 0;
    if (flags & 0x0004) {
        if (!readAt(fd, pos, h + kHeaderSize, 4)) {
            error = "damaged header";
            return false;
        }
        folderReserve = h[kHeaderSize + 2];
        dataReserve = h[kHeaderSize + 3];
        pos += 4 + le16(h + kHeaderSize);
    }
    // The names of the previous and next cabinet and disk when the set spans cabinets.
    for (int strings = ((flags & 0x0001) ? 2 : 0) + ((flags & 0x0002) ? 2 : 0); strings > 0;) {
        unsigned char c = 0;
        if (pos - kHeaderSize > 4 * 1024 || !readAt(fd, pos++, &c, 1)) {
            error = "damaged header";
            return false;
        }
        if (c == 0)
            --strings;
    }

    uint64_t budget = m_fileSize;
    for (unsigned i = 0; i < folderCount; ++i) {
        unsigned char f[kFolderSize];
        if (!readAt(fd, pos, f, sizeof f)) {
            error = "damaged folder table";
            return false;
        }
        pos += kFolderSize + folderReserve;
        Folder folder;
        folder.compression = le16(f + 6) & 0x000F;
        folder.truncated = !readBlocks(fd, le32(f), le16(f + 4), dataReserve, folder, budget);
        m_folders.push_back(std::move(folder));
    }

    // The file table, read at once: fixed fields and a name of bounded length each.
    const uint64_t tableEnd = std::min<uint64_t>(
        m_fileSize, uint64_t(filesOffset) + uint64_t(fileCount) * (kFileSize + kLongestName + 1));
    if (tableEnd < filesOffset) {
        error = "damaged file table";
        return false;
    }
    std::vector<unsigned char> table(static_cast<size_t>(tableEnd - filesOffset));
    if (!table.empty() && !readAt(fd, filesOffset, table.data(), table.size())) {
        error = "damaged file table";
        return false;
    }
    size_t at = 0;
    for (unsigned i = 0; i < fileCount; ++i) {
        if (table.size() - at < kFileSize + 1) {
            error = "damaged file table";
            return false;
        }
        const unsigned char* p = table.data() + at;
        Member m;
        m.size = le32(p);
        m.offset = le32(p + 4);
        m.folder = le16(p + 8);
        m.date = le16(p + 10);
        m.time = le16(p + 12);
        m.attributes = le16(p + 14);
        const auto* name = reinterpret_cast<const char*>(p + kFileSize);
        const size_t room = std::min(table.size() - at - kFileSize, kLongestName + 1);
        const size_t length = std::find(name, name + room, '\0') - name;
        if (length == room) {
            error = "damaged file table";
            return false;
        }
        m.storedName.assign(name, length);
        at += kFileSize + length + 1;
        m_members.push_back(std::move(m));
    }
    return true;
}

} // namespace archiver
