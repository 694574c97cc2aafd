#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace lzh
{

// One member as its header describes it.
struct LzhMember {
    std::string method;        // "-lh5-", "-lhd-", …
    int level = 0;             // header level 0, 1 or 2
    uint64_t headerOffset = 0; // where the header starts in the archive
    uint64_t headerSize = 0;   // all header bytes, extended headers included
    uint64_t dataOffset = 0;   // where the compressed bytes start
    uint64_t compressedSize = 0;
    uint64_t originalSize = 0;
    time_t mtime = 0;     // modification time (instant)
    uint16_t dosDate = 0; // the stored MS-DOS date and time when the header has them
    uint16_t dosTime = 0;
    bool hasDosTime = false;
    bool hasFullTime = false; // mtime came from a Unix or Windows time, not the MS-DOS fields
    uint16_t crc = 0;
    char osId = 0;            // 'M', 'U', 'W', 'w', 'J', …
    uint8_t attribute = 0x20; // MS-DOS attribute byte
    bool hasUnixMode = false;
    uint16_t unixMode = 0;
    bool unicodeName = false; // the name came from a UTF-16 extended header
    std::string name;         // UTF-8 path, "/" between folders, no trailing "/"
    std::string linkTarget;   // for a symbolic link ("name|target" in the header)

    bool isDirectory() const { return method == "-lhd-" && linkTarget.empty(); }
    bool isLink() const { return !linkTarget.empty(); }
};

} // namespace lzh
