#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace lzh
{

class LzhEncoder;

// A regular file mapped into memory for reading (nothing for an empty file). Links are not
// followed.
class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool open(const std::string& path, struct stat& st);
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    int m_fd = -1;
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// A file read and compressed away from the archive, ready to be written as a member.
struct PackedMember {
    bool ok = false;
    bool stopped = false; // given up because the caller stopped
    std::string reason;   // why not ok
    std::string method;   // the method asked for, or "-lh0-" when stored as it is
    uint64_t originalSize = 0;
    time_t mtime = 0;
    mode_t mode = 0;
    uint16_t crc = 0;
    std::vector<uint8_t> data;         // the compressed bytes, for a compressed member
    std::unique_ptr<MappedFile> input; // the file's bytes, kept for a stored member
    // The bytes that follow the member's header.
    const uint8_t* bytes() const { return method == "-lh0-" ? input->data() : data.data(); }
};

// Reads the file and compresses it with the method ("-lh5-", "-lh6-", "-lh7-"; "-lh0-"
// stores) in memory, stored as it is when compression would not make it smaller. encoder
// must suit the method (dictionaryBits()); stop, when given and set, gives up early.
PackedMember packFile(const std::string& sourcePath, const std::string& method, LzhEncoder* encoder,
                      const std::atomic<bool>* stop);

// The window of the method: 13 (lh5), 15 (lh6) or 16 (lh7) bits.
int dictionaryBits(const std::string& method);

} // namespace lzh
