#pragma once

#include "LzhMember.h"
#include "RandomAccess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lzh
{

enum class HeaderStatus { Ok, End, Error };

// Reads the member header at offset (levels 0, 1 and 2). End at the end mark or the end of
// the file; Error with a reason for anything malformed. Sizes are checked against the file.
HeaderStatus readHeader(RandomAccess& file, uint64_t offset, LzhMember& member,
                        std::string& reason);

// What a level-2 header written by us holds.
struct NewHeader {
    std::string method = "-lh5-";
    uint64_t compressedSize = 0;
    uint64_t originalSize = 0;
    time_t mtime = 0;
    uint16_t crc = 0;
    uint8_t attribute = 0x20;
    bool hasUnixMode = false;
    uint16_t unixMode = 0;
    std::string path; // UTF-8, "/" between folders; for a folder its own path
    bool directory = false;
};

// A level-2 header. Names go in CP932 when it can hold them; otherwise in UTF-8 with the
// UTF-16 name headers beside. Non-ASCII names always carry the UTF-16 headers so that no
// reader has to guess their encoding.
std::vector<uint8_t> buildLevel2Header(const NewHeader& header);

// Turns a stored name (CP932 or other bytes, "\" or 0xFF between folders when the archive
// came from Windows) into UTF-8 with "/".
std::string decodeStoredName(const std::string& raw, char osId);

} // namespace lzh
