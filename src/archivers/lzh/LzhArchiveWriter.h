#pragma once

#include "ArchiveFile.h"
#include "AtomicFile.h"
#include "LzhMember.h"

#include <cstdint>
#include <string>

namespace lzh
{

struct PackedMember;

// Writes a new archive beside the old one: members copied unchanged from the old archive,
// members with a new header over their old data, and new members compressed from files.
// Nothing replaces the old archive until commit().
class LzhArchiveWriter
{
public:
    explicit LzhArchiveWriter(const std::string& archivePath);

    bool open(std::string& reason);
    // Header and data exactly as they are in the old archive.
    bool copyMember(ArchiveFile& from, const LzhMember& member, std::string& reason);
    // The old member's data under a new name (a new level-2 header).
    bool copyRenamed(ArchiveFile& from, const LzhMember& member, const std::string& newPath,
                     std::string& reason);
    // A folder entry.
    bool addFolder(const std::string& path, time_t mtime, bool keepMode, uint16_t mode,
                   std::string& reason);
    // A file, compressed with the method ("-lh5-", "-lh6-", "-lh7-"; "-lh0-" stores) or
    // stored when compression would not make it smaller. Returns the written sizes.
    bool addFile(const std::string& sourcePath, const std::string& storedPath,
                 const std::string& method, bool keepMode, uint8_t attribute,
                 uint64_t& originalSize, uint64_t& compressedSize, std::string& usedMethod,
                 std::string& reason);
    // A file compressed earlier by packFile().
    bool addPacked(const PackedMember& packed, const std::string& storedPath, bool keepMode,
                   uint8_t attribute, std::string& reason);
    // Writes the end mark and renames the new archive over the old one.
    bool commit(std::string& reason);

private:
    bool copyRange(ArchiveFile& from, uint64_t offset, uint64_t length, std::string& reason);
    uint64_t position() const { return m_position; }

    archiver::AtomicFile m_file;
    uint64_t m_position = 0;
};

} // namespace lzh
