#pragma once

#include "ArchiverApi.h"
#include "DosTime.h"
#include "LibarchiveReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace archiver
{

// One archive opened by …OpenArchive and walked by …FindFirst / …FindNext. The handle the
// caller holds is the session's id in a table, so a stale or forged handle is refused
// instead of being dereferenced.
class ListingSession
{
public:
    // Fills the parts of the record that depend on the format (sizes, CRC, method, …), and
    // the modification time (seconds since 1970 UTC) when the format holds one beyond the
    // MS-DOS date and time.
    using Filler = std::function<void(const ArchiveEntry&, size_t index, ArchiverMemberInfo&,
                                      uint64_t& compressedSize, std::optional<int64_t>& writeTime)>;
    // Turns libarchive's "/" name into the name shown and matched.
    using Namer = std::function<std::string(const std::string&)>;

    // Turns the name as stored into UTF-8 before anything looks at it (ZIP names without
    // the UTF-8 mark); when set, libarchive hands the stored bytes over unconverted.
    using Decoder = std::function<std::string(const std::string&)>;

    ListingSession(std::string path, LibarchiveReader::Format format, Namer namer, Filler filler,
                   Decoder decoder = nullptr);

    static ArchiverHandle open(const std::string& path, LibarchiveReader::Format format,
                               Namer namer, Filler filler, Decoder decoder = nullptr);
    static ListingSession* find(ArchiverHandle handle);
    static int close(ArchiverHandle handle);

    int findFirst(const char* wildcard, ArchiverMemberInfo* info);
    int findNext(ArchiverMemberInfo* info);
    int originalSize(int64_t* size) const;
    int compressedSize(int64_t* size) const;
    int writeTime(int64_t* seconds) const;

private:
    bool restart();
    // The next member: the one read when the archive was opened, if not yet handed out.
    LibarchiveReader::Step nextEntry(ArchiveEntry& entry);

    std::string m_path;
    LibarchiveReader::Format m_format;
    Namer m_namer;
    Filler m_filler;
    Decoder m_decoder;
    std::unique_ptr<LibarchiveReader> m_reader;
    std::string m_wildcard;
    bool m_searching = false;
    // Opened and read up to the first member, which nobody has asked for yet.
    bool m_fresh = false;
    std::optional<ArchiveEntry> m_pending;
    ArchiveEntry m_entry; // the member findNext reads into
    bool m_pendingEnd = false;
    bool m_broken = false;
    size_t m_index = 0;
    bool m_hasLast = false;
    uint64_t m_lastSize = 0;
    uint64_t m_lastCompressed = 0;
    std::optional<int64_t> m_lastWriteTime;
    // The MS-DOS date and time last worked out, and the time it was worked out from.
    std::optional<DosDateTime> m_lastDos;
    int64_t m_lastDosFrom = 0;
};

} // namespace archiver
