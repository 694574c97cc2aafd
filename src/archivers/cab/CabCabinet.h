#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace archiver
{

// The directory of one cabinet file as extraction needs it: its folders with the place of every
// data block, and its files with where their bytes lie in their folder's output. Nothing is
// trusted: a block that runs past the end of the file ends its folder (the folder is then
// truncated), and the table of blocks never holds more blocks than the file has room for.
class CabCabinet
{
public:
    enum Compression : uint16_t { Stored = 0, Mszip = 1, Quantum = 2, Lzx = 3 };
    // The folder index of files that continue from or into a neighbouring cabinet.
    static constexpr uint16_t kContinuedFirst = 0xFFFD;

    struct Block {
        uint64_t fileOffset = 0;   // of its data, past the block header and its reserve
        uint64_t folderOffset = 0; // where its output starts in the folder's output
        uint32_t checksum = 0;     // 0: none stored
        uint16_t packed = 0;
        uint16_t size = 0;
    };
    struct Folder {
        uint16_t compression = 0; // the low four bits of typeCompress
        std::vector<Block> blocks;
        uint64_t size = 0;      // of its output, the sum of its blocks' sizes
        bool truncated = false; // fewer blocks than its header promised are in the file
    };
    struct Member {
        std::string storedName; // the bytes as stored
        uint32_t size = 0;
        uint32_t offset = 0; // in its folder's output
        uint16_t folder = 0;
        uint16_t date = 0;
        uint16_t time = 0;
        uint16_t attributes = 0;
    };

    // Reads the directory of the open file (the descriptor stays the caller's); false with the
    // reason when the file is not a cabinet or its directory is damaged.
    bool read(int fd, std::string& error);
    const std::vector<Folder>& folders() const { return m_folders; }
    const std::vector<Member>& members() const { return m_members; }
    uint64_t fileSize() const { return m_fileSize; }

    // The checksum of a data block: its data, then its two size fields.
    static uint32_t blockChecksum(const unsigned char* data, const Block& block);
    // The cabinet format's checksum of the bytes, starting from seed.
    static uint32_t checksum(const unsigned char* p, size_t size, uint32_t seed);

private:
    bool readBlocks(int fd, uint64_t first, uint16_t count, unsigned reserve, Folder& folder,
                    uint64_t& budget);

    std::vector<Folder> m_folders;
    std::vector<Member> m_members;
    uint64_t m_fileSize = 0;
};

} // namespace archiver
