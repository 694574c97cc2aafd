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
    return true;
}

bool ArchiveFile::readAt(uint64_t offset, uint8_t* buffer, size_t size)
{
    if (m_fd < 0 || offset > m_size || size > m_size - offset)
        return false;
    if (size > kCacheSize / 2) {
        size_t got = 0;
        return preadAll(m_fd, buffer, size, offset, got) && got == size;
    }
    if (offset < m_cacheOffset || offset + size > m_cacheOffset + m_cacheSize) {
        m_cache.resize(kCacheSize);
        size_t got = 0;
        if (!preadAll(m_fd, m_cache.data(), kCacheSize, offset, got))
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
    if (!preadAll(m_file.m_fd, buffer, want, m_offset, got)) {
        m_error = true;
        return 0;
    }
    m_offset += got;
    m_left -= got;
    return got;
}

} // namespace lzh
