#pragma once

#include "ArchiverApi.h"
#include "ZipCentralDirectory.h"

#include <cstdint>
#include <optional>
#include <string>

namespace archiver
{

// Fills the parts of a member record that the central directory knows: CRC, creator, method
// and attribute text. `folder` and `mode` say what the member is when its creator kept no
// MS-DOS attributes.
void fillFromCentralDirectory(const ZipCentralDirectory::Member& m, bool folder, unsigned mode,
                              ArchiverMemberInfo& info);

// The find calls over a ZIP archive, answered from its central directory alone: one read of
// the directory lists every member, with no seek to each member's local header. The members
// come in the order of their data in the file, as an extraction meets them.
class ZipListing
{
public:
    // A handle for the find calls, 0 when the archive has no central directory that can be
    // trusted (the caller then lists it another way).
    static ArchiverHandle open(const std::string& path);
    // The listing of a handle open() gave, nullptr for any other handle.
    static ZipListing* find(ArchiverHandle handle);
    // False for a handle that names no listing.
    static bool close(ArchiverHandle handle);

    int findFirst(const char* wildcard, ArchiverMemberInfo* info);
    int findNext(ArchiverMemberInfo* info);
    int originalSize(int64_t* size) const;
    int compressedSize(int64_t* size) const;
    int writeTime(int64_t* seconds) const;

private:
    ZipCentralDirectory m_directory;
    std::string m_encoding;
    std::string m_wildcard = "*";
    bool m_searching = false;
    size_t m_next = 0;
    const ZipCentralDirectory::Member* m_last = nullptr;
    uint64_t m_lastSize = 0;
    // Members made together share their time: its local time is worked out once.
    std::optional<int64_t> m_dosFrom;
    uint16_t m_dosDate = 0;
    uint16_t m_dosTime = 0;
};

} // namespace archiver
