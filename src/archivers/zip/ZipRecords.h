#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace archiver::zip
{

// What the headers of one member say. Names are the stored bytes; `utf8` sets the language
// encoding flag (general purpose bit 11) that tells readers they are UTF-8.
struct MemberRecord {
    std::string name;
    bool utf8 = false;
    bool folder = false;
    uint16_t method = 0; // 0 stored, 8 deflated
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t headerOffset = 0;
    uint32_t dosDateTime = 0;       // MS-DOS date (high half) and time (low half), local time
    std::optional<int64_t> modTime; // seconds since 1970, for the extended timestamp field
    uint32_t mode = 0;              // Unix mode bits with the file type
    // The local header carries ZIP64 sizes: decided before the data is written, from the size
    // the file had then, so that the header keeps its length when it is written again.
    bool zip64Local = false;
};

inline constexpr uint32_t kZip32Limit = 0xFFFFFFFFu;
inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

// The local file header with its name and extra fields. Its length depends only on the name,
// the time field and zip64Local, so the header written before the data can be written again
// over itself with the final sizes, CRC and method.
std::string localHeader(const MemberRecord& member);
// The member's central directory entry.
std::string centralHeader(const MemberRecord& member);
// The end of the central directory; with the ZIP64 end record and its locator first when the
// count, the directory's size or its offset do not fit the classic record.
std::string endRecords(uint64_t count, uint64_t directoryOffset, uint64_t directorySize);

} // namespace archiver::zip
