#include "LzhEntryReader.h"

#include "LzhMembers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace lzh
{

namespace
{

// A member's compressed bytes in memory.
class MemoryRange final : public ByteSource
{
public:
    MemoryRange(const uint8_t* data, uint64_t length) : m_data(data), m_left(length) {}
    size_t read(uint8_t* buffer, size_t size) override
    {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, m_left));
        std::memcpy(buffer, m_data, n);
        m_data += n;
        m_left -= n;
        return n;
    }

private:
    const uint8_t* m_data;
    uint64_t m_left;
};

// Writes the decoded bytes to a descriptor and tells the progress as it goes.
class ProgressSink final : public ByteSink
{
public:
    ProgressSink(int fd, const std::function<bool(uint64_t)>& progress)
        : m_fd(fd), m_progress(progress)
    {
    }
    bool write(const uint8_t* data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                writeError = std::strerror(errno);
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
            m_written += static_cast<uint64_t>(n);
        }
        if (m_progress && !m_progress(m_written)) {
            cancelled = true;
            return false;
        }
        return true;
    }

    std::string writeError;
    bool cancelled = false;

private:
    int m_fd;
    const std::function<bool(uint64_t)>& m_progress;
    uint64_t m_written = 0;
};

} // namespace

bool MemoryArchive::readAt(uint64_t offset, uint8_t* buffer, size_t size)
{
    if (offset > m_size || size > m_size - offset)
        return false;
    std::memcpy(buffer, m_data + offset, size);
    return true;
}

LzhEntryReader::LzhEntryReader(const MemoryArchive& archive) : m_archive(archive) {}

LzhEntryReader::~LzhEntryReader() = default;

bool LzhEntryReader::open()
{
    std::string reason;
    switch (readMembers(m_archive, m_members, reason)) {
    case WalkStatus::Complete: {
        // The walk stops at the end mark or at the end of the data, whichever comes first.
        const uint64_t end =
            m_members.empty() ? 0 : m_members.back().dataOffset + m_members.back().compressedSize;
        if (m_endMarkRequired && end >= m_archive.size())
            m_damage = "書庫が途中で切れています (終わりの印がありません)";
        break;
    }
    case WalkStatus::Damaged:
        m_damage = reason;
        break;
    case WalkStatus::TooMany:
        m_damage = "格納ファイルが多すぎます";
        break;
    }
    if (m_members.empty() && !m_damage.empty()) {
        fail(m_damage, true);
        return false;
    }
    return true;
}

void LzhEntryReader::fail(const std::string& reason, bool readFailed)
{
    m_error = reason;
    m_readFailed = readFailed;
}

LzhEntryReader::Step LzhEntryReader::next(archiver::ArchiveEntry& entry)
{
    m_current = nullptr;
    if (m_next >= m_members.size()) {
        if (m_damage.empty())
            return Step::End;
        fail(m_damage, true);
        return Step::Error;
    }
    const LzhMember& m = m_members[m_next++];
    m_current = &m;
    entry = archiver::ArchiveEntry();
    entry.name = m.name;
    entry.kind = m.isLink()        ? archiver::ArchiveEntry::Kind::Link
                 : m.isDirectory() ? archiver::ArchiveEntry::Kind::Folder
                                   : archiver::ArchiveEntry::Kind::File;
    entry.size = m.originalSize;
    entry.sizeKnown = true;
    entry.mtime = static_cast<int64_t>(m.mtime);
    entry.mtimeKnown = true;
    // Without Unix permissions a file gets what a new file gets (the umask applies).
    entry.mode = m.hasUnixMode ? (m.unixMode & 07777) : 0666;
    if (entry.kind == archiver::ArchiveEntry::Kind::File && !LzhDecoder::supports(m.method))
        entry.unsupported = "対応していない圧縮形式です (" + m.method + ")";
    return Step::Entry;
}

bool LzhEntryReader::copyData(int fd, const std::function<bool(uint64_t)>& progress)
{
    if (!m_current) {
        fail("展開するファイルがありません", false);
        return false;
    }
    const LzhMember& m = *m_current;
    if (!LzhDecoder::supports(m.method)) {
        fail("対応していない圧縮形式です (" + m.method + ")", true);
        return false;
    }
    if (!m_decoder)
        m_decoder = std::make_unique<LzhDecoder>();
    MemoryRange source(m_archive.data() + m.dataOffset, m.compressedSize);
    ProgressSink sink(fd, progress);
    uint16_t crc = 0;
    std::string reason;
    const bool ok =
        m_decoder->decode(m.method, source, m.compressedSize, m.originalSize, sink, crc, reason);
    if (sink.cancelled) {
        fail("cancelled", false);
        return false;
    }
    if (!sink.writeError.empty()) {
        fail(sink.writeError, false);
        return false;
    }
    if (!ok) {
        fail(reason, true);
        return false;
    }
    if (crc != m.crc) {
        fail("CRC が一致しません", true);
        return false;
    }
    return true;
}

} // namespace lzh
