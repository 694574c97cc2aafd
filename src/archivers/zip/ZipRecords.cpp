#include "ZipRecords.h"

#include <algorithm>
#include <limits>

namespace archiver::zip
{

namespace
{

constexpr uint16_t kMadeByUnix = (3 << 8) | 30; // Unix, specification 3.0
constexpr uint16_t kUtf8Flag = 1 << 11;
constexpr uint16_t kZip64Tag = 0x0001;
constexpr uint16_t kTimestampTag = 0x5455; // "UT", extended timestamp
constexpr uint16_t kMsDosFolder = 0x10;
constexpr uint16_t kMsDosReadOnly = 0x01;

void put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put64(std::string& out, uint64_t v)
{
    put32(out, static_cast<uint32_t>(v));
    put32(out, static_cast<uint32_t>(v >> 32));
}

uint32_t clipped(uint64_t v)
{
    return v >= kZip32Limit ? kZip32Limit : static_cast<uint32_t>(v);
}

bool fitsTimestamp(const MemberRecord& m)
{
    return m.modTime && *m.modTime >= std::numeric_limits<int32_t>::min() &&
           *m.modTime <= std::numeric_limits<int32_t>::max();
}

// The modification time only, in both headers (flag bit 0).
void putTimestamp(std::string& extra, const MemberRecord& m)
{
    if (!fitsTimestamp(m))
        return;
    put16(extra, kTimestampTag);
    put16(extra, 5);
    extra.push_back(1);
    put32(extra, static_cast<uint32_t>(static_cast<int32_t>(*m.modTime)));
}

uint16_t flagsOf(const MemberRecord& m)
{
    return m.utf8 ? kUtf8Flag : 0;
}

uint16_t versionNeeded(const MemberRecord& m, bool zip64)
{
    if (zip64)
        return 45;
    return m.method == kMethodDeflated ? 20 : 10;
}

uint32_t externalAttributes(const MemberRecord& m)
{
    uint32_t dos = m.folder ? kMsDosFolder : 0;
    if (!(m.mode & 0200))
        dos |= kMsDosReadOnly;
    return (m.mode << 16) | dos;
}

} // namespace

std::string localHeader(const MemberRecord& m)
{
    std::string extra;
    if (m.zip64Local) {
        put16(extra, kZip64Tag);
        put16(extra, 16);
        put64(extra, m.size);
        put64(extra, m.compressedSize);
    }
    putTimestamp(extra, m);
    std::string out;
    out.reserve(30 + m.name.size() + extra.size());
    put32(out, 0x04034b50);
    put16(out, versionNeeded(m, m.zip64Local));
    put16(out, flagsOf(m));
    put16(out, m.method);
    put32(out, m.dosDateTime);
    put32(out, m.crc);
    put32(out, m.zip64Local ? kZip32Limit : static_cast<uint32_t>(m.compressedSize));
    put32(out, m.zip64Local ? kZip32Limit : static_cast<uint32_t>(m.size));
    put16(out, static_cast<uint32_t>(m.name.size()));
    put16(out, static_cast<uint32_t>(extra.size()));
    out += m.name;
    out += extra;
    return out;
}

std::string centralHeader(const MemberRecord& m)
{
    // Only the values that do not fit their field go into the ZIP64 field, in this order.
    std::string zip64;
    if (m.size >= kZip32Limit)
        put64(zip64, m.size);
    if (m.compressedSize >= kZip32Limit)
        put64(zip64, m.compressedSize);
    if (m.headerOffset >= kZip32Limit)
        put64(zip64, m.headerOffset);
    std::string extra;
    if (!zip64.empty()) {
        put16(extra, kZip64Tag);
        put16(extra, static_cast<uint32_t>(zip64.size()));
        extra += zip64;
    }
    putTimestamp(extra, m);
    std::string out;
    out.reserve(46 + m.name.size() + extra.size());
    put32(out, 0x02014b50);
    put16(out, kMadeByUnix);
    put16(out, versionNeeded(m, !zip64.empty() || m.zip64Local));
    put16(out, flagsOf(m));
    put16(out, m.method);
    put32(out, m.dosDateTime);
    put32(out, m.crc);
    put32(out, clipped(m.compressedSize));
    put32(out, clipped(m.size));
    put16(out, static_cast<uint32_t>(m.name.size()));
    put16(out, static_cast<uint32_t>(extra.size()));
    put16(out, 0); // comment
    put16(out, 0); // disk
    put16(out, 0); // internal attributes
    put32(out, externalAttributes(m));
    put32(out, clipped(m.headerOffset));
    out += m.name;
    out += extra;
    return out;
}

std::string endRecords(uint64_t count, uint64_t directoryOffset, uint64_t directorySize)
{
    std::string out;
    const bool zip64 =
        count >= 0xFFFF || directoryOffset >= kZip32Limit || directorySize >= kZip32Limit;
    if (zip64) {
        const uint64_t recordOffset = directoryOffset + directorySize;
        put32(out, 0x06064b50);
        put64(out, 44); // the size of the rest of the record
        put16(out, kMadeByUnix);
        put16(out, 45);
        put32(out, 0); // this disk
        put32(out, 0); // the directory's disk
        put64(out, count);
        put64(out, count);
        put64(out, directorySize);
        put64(out, directoryOffset);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, recordOffset);
        put32(out, 1); // disks
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<uint32_t>(std::min<uint64_t>(count, 0xFFFF)));
    put16(out, static_cast<uint32_t>(std::min<uint64_t>(count, 0xFFFF)));
    put32(out, clipped(directorySize));
    put32(out, clipped(directoryOffset));
    put16(out, 0); // comment
    return out;
}

} // namespace archiver::zip
