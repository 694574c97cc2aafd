#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace archiver
{

// What the listing shows beyond libarchive's entry: the stored sizes, CRC, method and
// creator of each member, read from the central directory (ZIP64 included).
class ZipCentralDirectory
{
public:
    struct Member {
        uint64_t compressedSize = 0;
        uint64_t size = 0;
        uint64_t localOffset = 0;
        uint32_t crc = 0;
        uint16_t method = 0;
        uint16_t flags = 0;
        uint16_t dosDate = 0; // as stored: local time, bits as in the MS-DOS date and time
        uint16_t dosTime = 0;
        uint8_t creatorOs = 0;
        uint32_t externalAttributes = 0;
        std::string name; // as stored, in whatever encoding the writer used
        // The modification time (seconds since 1970 UTC) of the NTFS extra field, else of the
        // extended timestamp ("UT"); none when the MS-DOS date and time are all there is.
        std::optional<int64_t> writeTime;
        // Bit 11 of the flags: the writer marked the name as UTF-8.
        bool utf8Name() const { return (flags & 0x0800) != 0; }
    };

    // Reads the central directory; false when the file has none that can be trusted (the
    // listing then does without these details).
    bool read(const std::string& path);
    // Members in the order libarchive returns them (by local header offset).
    const std::vector<Member>& members() const { return m_members; }

    static const char* methodText(uint16_t method);

private:
    std::vector<Member> m_members;
};

} // namespace archiver
