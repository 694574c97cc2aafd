#include "LzhArchiveWriter.h"

#include "Crc16.h"
#include "LzhEncoder.h"
#include "LzhHeader.h"
#include "PackedMember.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lzh
{

namespace
{
bool pwriteAll(int fd, const uint8_t* data, size_t size, uint64_t offset)
{
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

} // namespace

LzhArchiveWriter::LzhArchiveWriter(const std::string& archivePath) : m_file(archivePath) {}

bool LzhArchiveWriter::open(std::string& reason)
{
    return m_file.open(reason);
}

bool LzhArchiveWriter::copyRange(ArchiveFile& from, uint64_t offset, uint64_t length,
                                 std::string& reason)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(length, 1 << 20)));
    while (length > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, buffer.size()));
        if (!from.readAt(offset, buffer.data(), n)) {
            reason = "書庫を読み込めません";
            return false;
        }
        if (!pwriteAll(m_file.fd(), buffer.data(), n, m_position)) {
            reason = "書庫に書き込めません";
            return false;
        }
        m_position += n;
        offset += n;
        length -= n;
    }
    return true;
}

bool LzhArchiveWriter::copyMember(ArchiveFile& from, const LzhMember& member, std::string& reason)
{
    return copyRange(from, member.headerOffset, member.headerSize + member.compressedSize, reason);
}

bool LzhArchiveWriter::copyRenamed(ArchiveFile& from, const LzhMember& member,
                                   const std::string& newPath, std::string& reason)
{
    NewHeader h;
    h.method = member.method;
    h.compressedSize = member.compressedSize;
    h.originalSize = member.originalSize;
    h.mtime = member.mtime;
    h.crc = member.crc;
    h.attribute = member.attribute;
    h.hasUnixMode = member.hasUnixMode;
    h.unixMode = member.unixMode;
    h.path = newPath;
    h.directory = member.isDirectory();
    const std::vector<uint8_t> header = buildLevel2Header(h);
    if (!pwriteAll(m_file.fd(), header.data(), header.size(), m_position)) {
        reason = "書庫に書き込めません";
        return false;
    }
    m_position += header.size();
    return copyRange(from, member.dataOffset, member.compressedSize, reason);
}

bool LzhArchiveWriter::addFolder(const std::string& path, time_t mtime, bool keepMode,
                                 uint16_t mode, std::string& reason)
{
    NewHeader h;
    h.method = "-lhd-";
    h.mtime = mtime;
    h.path = path;
    h.directory = true;
    h.attribute = 0x10;
    h.hasUnixMode = keepMode;
    h.unixMode = static_cast<uint16_t>(0040000 | (mode & 07777));
    const std::vector<uint8_t> header = buildLevel2Header(h);
    if (!pwriteAll(m_file.fd(), header.data(), header.size(), m_position)) {
        reason = "書庫に書き込めません";
        return false;
    }
    m_position += header.size();
    return true;
}

bool LzhArchiveWriter::addFile(const std::string& sourcePath, const std::string& storedPath,
                               const std::string& method, bool keepMode, uint8_t attribute,
                               uint64_t& originalSize, uint64_t& compressedSize,
                               std::string& usedMethod, std::string& reason)
{
    MappedFile input;
    struct stat st {
    };
    if (!input.open(sourcePath, st)) {
        reason = "ファイルを開けません";
        return false;
    }
    NewHeader h;
    h.method = method;
    h.originalSize = input.size();
    h.compressedSize = input.size();
    h.mtime = st.st_mtime;
    h.attribute = attribute;
    h.hasUnixMode = keepMode;
    h.unixMode = static_cast<uint16_t>(0100000 | (st.st_mode & 07777));
    h.path = storedPath;
    h.crc = input.size() ? crc16(0, input.data(), input.size()) : 0;
    std::vector<uint8_t> header = buildLevel2Header(h);
    if (header.size() > 0xFFFF) {
        reason = "名前が長すぎます";
        return false;
    }
    const uint64_t headerOffset = m_position;
    const uint64_t dataOffset = m_position + header.size();
    uint64_t written = 0;
    bool compressed = false;
    if (method != "-lh0-" && input.size() > 0) {
        LzhEncoder encoder(dictionaryBits(method));
        uint64_t out = dataOffset;
        const int fd = m_file.fd();
        bool writeFailed = false;
        const LzhEncoder::Output sink = [&](const uint8_t* p, size_t n) {
            if (!pwriteAll(fd, p, n, out)) {
                writeFailed = true;
                return false;
            }
            out += n;
            return true;
        };
        compressed = encoder.encode(input.data(), input.size(), input.size() - 1, sink, written);
        if (writeFailed) {
            reason = "書庫に書き込めません";
            return false;
        }
    }
    if (!compressed) {
        // Stored as it is: the compressed form would not be smaller.
        if (ftruncate(m_file.fd(), static_cast<off_t>(dataOffset)) != 0) {
            reason = "書庫に書き込めません";
            return false;
        }
        h.method = "-lh0-";
        if (input.size() && !pwriteAll(m_file.fd(), input.data(), input.size(), dataOffset)) {
            reason = "書庫に書き込めません";
            return false;
        }
        written = input.size();
    }
    h.compressedSize = written;
    header = buildLevel2Header(h);
    if (!pwriteAll(m_file.fd(), header.data(), header.size(), headerOffset)) {
        reason = "書庫に書き込めません";
        return false;
    }
    m_position = dataOffset + written;
    originalSize = input.size();
    compressedSize = written;
    usedMethod = h.method;
    return true;
}

bool LzhArchiveWriter::addPacked(const PackedMember& packed, const std::string& storedPath,
                                 bool keepMode, uint8_t attribute, std::string& reason)
{
    NewHeader h;
    h.method = packed.method;
    h.originalSize = packed.originalSize;
    h.compressedSize = packed.method == "-lh0-" ? packed.originalSize : packed.data.size();
    h.mtime = packed.mtime;
    h.attribute = attribute;
    h.hasUnixMode = keepMode;
    h.unixMode = static_cast<uint16_t>(0100000 | (packed.mode & 07777));
    h.path = storedPath;
    h.crc = packed.crc;
    const std::vector<uint8_t> header = buildLevel2Header(h);
    if (header.size() > 0xFFFF) {
        reason = "名前が長すぎます";
        return false;
    }
    if (!pwriteAll(m_file.fd(), header.data(), header.size(), m_position) ||
        (h.compressedSize &&
         !pwriteAll(m_file.fd(), packed.bytes(), h.compressedSize, m_position + header.size()))) {
        reason = "書庫に書き込めません";
        return false;
    }
    m_position += header.size() + h.compressedSize;
    return true;
}

bool LzhArchiveWriter::commit(std::string& reason)
{
    const uint8_t end = 0;
    if (!pwriteAll(m_file.fd(), &end, 1, m_position)) {
        reason = "書庫に書き込めません";
        return false;
    }
    ++m_position;
    if (ftruncate(m_file.fd(), static_cast<off_t>(m_position)) != 0) {
        reason = "書庫に書き込めません";
        return false;
    }
    return m_file.commit(reason);
}

} // namespace lzh
