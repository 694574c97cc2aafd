#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace archiver::zip
{

// Where a member's data lies and what it must come to, as the central directory says.
struct MemberData {
    uint64_t localOffset = 0; // of the local header
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
    uint16_t method = 0; // 0 stored or 8 deflated; nothing else is read here
};

// How a copy went. readFailed tells damage in the archive (a bad local header, data outside
// the file, a broken deflate stream, a CRC or length mismatch) from a failed write or a cancel.
struct CopyOutcome {
    bool ok = false;
    bool readFailed = false;
    bool cancelled = false;
    std::string error;
};

// Copies one stored or deflated member of the archive open as archiveFd (archiveSize bytes long)
// into fd: its local header is read for the data's start (its extra field may differ in length
// from the central one), the data is inflated and checked against the size and CRC-32 given.
// progress receives the bytes written so far and returns false to stop. With `ahead`, a member
// of kAheadFrom bytes or more is inflated on a second thread while this one computes the CRC and
// writes; at most kAheadChunks chunks of kChunk bytes wait between the two, whatever the size.
CopyOutcome copyMemberData(int archiveFd, uint64_t archiveSize, const MemberData& member, int fd,
                           const std::function<bool(uint64_t)>& progress, bool ahead);

inline constexpr uint64_t kAheadFrom = 256 * 1024;
inline constexpr size_t kChunk = size_t(1) << 20;
inline constexpr size_t kAheadChunks = 4;

} // namespace archiver::zip
