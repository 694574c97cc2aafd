#pragma once

// An input held in an anonymous in-memory file, for code that reads from a path: the path is
// /proc/self/fd/N, which every open() of it reaches afresh with its own offset.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

class MemoryFile final
{
public:
    MemoryFile(const void* data, size_t size)
    {
        m_fd = memfd_create("fuzz-input", MFD_CLOEXEC);
        if (m_fd < 0)
            std::abort();
        const char* p = static_cast<const char*>(data);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_fd, p + done, size - done);
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};
