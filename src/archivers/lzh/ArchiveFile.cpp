#include "ArchiveFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lzh
{

namespace
{
constexpr size_t kCacheSize = 1 << 16;

bool preadAll(int fd, uint8_t* buffer, size_t size, uint64_t offset, size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = pread(fd, buffer + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return true;
}
} // namespace

ArchiveFile::~ArchiveFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ArchiveFile::open(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat st {
    };
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    m_size = static_cast<uint64_t>(st.st_size);
    m_base = 0;
    // A self-extracting archive made by our stub: the LZH archive follows the program's ELF
    // image, and is read as if it were the whole file.
    const uint64_t payload = elfPayloadOffset();
    if (payload > 0) {
        m_base = payload;
        m_size -= payload;
    }
    return true;
}

uint64_t ArchiveFile::elfPayloadOffset()
{
    uint8_t header[64];
    size_t got = 0;
    if (m_size < sizeof header || !preadAll(m_fd, header, sizeof header, 0, got) ||
        got != sizeof header)
        return 0;
    // ELF, 64-bit, little-endian.
    if (header[0] != 0x7f || header[1] != 'E' || header[2] != 'L' || header[3] != 'F' ||
        header[4] != 2 || header[5] != 1)
        return 0;
    const auto le16 = [](const uint8_t* p) { return uint64_t(p[0]) | uint64_t(p[1]) << 8; };
    const auto le64 = [](const uint8_t* p) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    };
    const uint64_t phoff = le64(header + 32), shoff = le64(header + 40);
    const uint64_t phentsize = le16(header + 54), phnum = le16(header + 56);
    const uint64_t shentsize = le16(header + 58), shnum = le16(header + 60);
    // The image ends with whichever comes last: the section header table, a section's or a
    // segment's contents.
    uint64_t end = shoff + shnum * shentsize;
    uint8_t entry[64];
    for (uint64_t i = 0; i < phnum && phentsize >= 56; ++i) {
        if (!preadAll(m_fd, entry, 56, phoff + i * phentsize, got) || got != 56)
            return 0;
        end = std::max(end, le64(entry + 8) + le64(entry + 32)); // p_offset + p_filesz
    }
    for (uint64_t i = 0; i < shnum && shentsize >= 64; ++i) {
        if (!preadAll(m_fd, entry, 64, shoff + i * shentsize, got) || got != 64)
            return 0;
        const uint32_t type = uint32_t(entry[4]) | uint32_t(entry[5]) << 8 |
                              uint32_t(entry[6]) << 16 | uint32_t(entry[7]) << 24;
        if (type != 8) // SHT_NOBITS takes no room in the file
            end = std::max(end, le64(entry + 24) + le64(entry + 32)); // sh_offset + sh_size
    }
    // Only an LZH header right after the image counts ("-lh5-" at its third byte).
    uint8_t lzh[7];
    if (end == 0 || end + sizeof lzh > m_size || !preadAll(m_fd, lzh, sizeof lzh, end, got) ||
        got != sizeof lzh || lzh[2] != '-' || lzh[3] != 'l' || lzh[6] != '-')
        return 0;
    return end;
}

bool ArchiveFile::readAt(uint64_t offset, uint8_t* buffer, size_t size)
{
    if (m_fd < 0 || offset > m_size || size > m_size - offset)
        return false;
    if (size > kCacheSize / 2) {
        size_t got = 0;
        return preadAll(m_fd, buffer, size, m_base + offset, got) && got == size;
    }
    if (offset < m_cacheOffset || offset + size > m_cacheOffset + m_cacheSize) {
        m_cache.resize(kCacheSize);
        size_t got = 0;
        if (!preadAll(m_fd, m_cache.data(), kCacheSize, m_base + offset, got))
            return false;
        m_cacheOffset = offset;
        m_cacheSize = got;
        if (got < size)
            return false;
    }
    std::memcpy(buffer, m_cache.data() + (offset - m_cacheOffset), size);
    return true;
}

size_t ArchiveFile::Range::read(uint8_t* buffer, size_t size)
{
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, m_left));
    if (want == 0)
        return 0;
    size_t got = 0;
    if (!preadAll(m_file.m_fd, buffer, want, m_file.m_base + m_offset, got)) {
        m_error = true;
        return 0;
    }
    m_offset += got;
    m_left -= got;
    return got;
}

} // namespace lzh
