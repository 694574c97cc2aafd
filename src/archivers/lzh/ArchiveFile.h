#pragma once

#include "ByteSource.h"
#include "RandomAccess.h"

#include <string>
#include <vector>

namespace lzh
{

// An archive file opened for reading, with a read-ahead buffer so that walking the headers
// of many small members costs few system calls.
class ArchiveFile final : public RandomAccess
{
public:
    ArchiveFile() = default;
    ~ArchiveFile() override;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool open(const std::string& path);
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool readAt(uint64_t offset, uint8_t* buffer, size_t size) override;
    uint64_t size() const override { return m_size; }
    // True for a self-extracting archive: the LZH archive read here follows a program.
    bool isSelfExtracting() const { return m_base > 0; }

    // A source over [offset, offset + length) of the file.
    class Range final : public ByteSource
    {
    public:
        Range(ArchiveFile& file, uint64_t offset, uint64_t length)
            : m_file(file), m_offset(offset), m_left(length)
        {
        }
        size_t read(uint8_t* buffer, size_t size) override;
        bool error() const override { return m_error; }

    private:
        ArchiveFile& m_file;
        uint64_t m_offset;
        uint64_t m_left;
        bool m_error = false;
    };

private:
    // Where an LZH archive starts after an ELF program image, 0 when there is none.
    uint64_t elfPayloadOffset();

    int m_fd = -1;
    uint64_t m_base = 0;
    uint64_t m_size = 0;
    std::vector<uint8_t> m_cache;
    uint64_t m_cacheOffset = 0;
    size_t m_cacheSize = 0;
};

} // namespace lzh
