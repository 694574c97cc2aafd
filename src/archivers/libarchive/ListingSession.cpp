#include "ListingSession.h"

#include "DosTime.h"
#include "Wildcard.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

namespace archiver
{

namespace
{

std::mutex& tableMutex()
{
    static std::mutex m;
    return m;
}

std::map<ArchiverHandle, std::unique_ptr<ListingSession>>& table()
{
    static std::map<ArchiverHandle, std::unique_ptr<ListingSession>> t;
    return t;
}

// How many sessions have been closed: a session found before the last close is still there.
std::atomic<uint64_t> g_closed{0};

// The session this thread found last: the find calls of a walk (several per member) ask for the
// same handle again and again.
struct LastFound {
    ArchiverHandle handle = 0;
    ListingSession* session = nullptr;
    uint64_t closed = 0;
};
thread_local LastFound t_lastFound;

ArchiverHandle nextId()
{
    static ArchiverHandle id = 0x1000;
    return ++id;
}

// Copies UTF-8 into a fixed field, cut at a character boundary and NUL-terminated.
void copyName(char* field, size_t fieldSize, const std::string& text)
{
    size_t n = std::min(text.size(), fieldSize - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, fieldSize - n);
}

// A folder named only by "." and empty parts ("./" in a tar made of ".", "." for the root of
// an ISO image): the folder the archive was made from, not a member of it.
bool namesTheRoot(const ArchiveEntry& entry)
{
    if (entry.kind != ArchiveEntry::Kind::Folder || entry.name.empty() || entry.name[0] == '/')
        return false;
    for (size_t pos = 0; pos < entry.name.size();) {
        size_t slash = entry.name.find('/', pos);
        if (slash == std::string::npos)
            slash = entry.name.size();
        const size_t length = slash - pos;
        if (length > 1 || (length == 1 && entry.name[pos] != '.'))
            return false;
        pos = slash + 1;
    }
    return true;
}

} // namespace

ListingSession::ListingSession(std::string path, LibarchiveReader::Format format, Namer namer,
                               Filler filler, Decoder decoder)
    : m_path(std::move(path)), m_format(format), m_namer(std::move(namer)),
      m_filler(std::move(filler)), m_decoder(std::move(decoder))
{
}

ArchiverHandle ListingSession::open(const std::string& path, LibarchiveReader::Format format,
                                    Namer namer, Filler filler, Decoder decoder)
{
    auto session = std::make_unique<ListingSession>(path, format, std::move(namer),
                                                    std::move(filler), std::move(decoder));
    // The archive must be readable up to its first header (an empty archive is fine).
    if (!session->restart())
        return 0;
    ArchiveEntry probe;
    const LibarchiveReader::Step step = session->m_reader->next(probe);
    if (step == LibarchiveReader::Step::Error)
        return 0;
    // The search that usually follows starts from this reading instead of reading the
    // archive's directory once more.
    session->m_fresh = true;
    session->m_pendingEnd = step == LibarchiveReader::Step::End;
    if (step == LibarchiveReader::Step::Entry)
        session->m_pending = std::move(probe);
    std::lock_guard<std::mutex> lock(tableMutex());
    const ArchiverHandle id = nextId();
    table()[id] = std::move(session);
    return id;
}

ListingSession* ListingSession::find(ArchiverHandle handle)
{
    const uint64_t closed = g_closed.load(std::memory_order_acquire);
    if (handle != 0 && t_lastFound.handle == handle && t_lastFound.closed == closed)
        return t_lastFound.session;
    std::lock_guard<std::mutex> lock(tableMutex());
    auto it = table().find(handle);
    if (it == table().end())
        return nullptr; // not remembered: the id may be handed out later
    t_lastFound = {handle, it->second.get(), closed};
    return it->second.get();
}

int ListingSession::close(ArchiverHandle handle)
{
    std::unique_ptr<ListingSession> session;
    {
        std::lock_guard<std::mutex> lock(tableMutex());
        auto it = table().find(handle);
        if (it == table().end())
            return ARCHIVER_ERROR_HARC_ISNOT_OPENED;
        session = std::move(it->second);
        table().erase(it);
        g_closed.fetch_add(1, std::memory_order_release);
    }
    return ARCHIVER_OK;
}

bool ListingSession::restart()
{
    m_reader = std::make_unique<LibarchiveReader>();
    if (m_decoder)
        m_reader->setDecodeLegacyNamesAsCp932(false);
    m_index = 0;
    m_hasLast = false;
    m_broken = false;
    m_fresh = false;
    m_pending.reset();
    m_pendingEnd = false;
    return m_reader->openFile(m_path, m_format);
}

int ListingSession::findFirst(const char* wildcard, ArchiverMemberInfo* info)
{
    m_wildcard = wildcard && *wildcard ? wildcard : "*";
    if (m_format == LibarchiveReader::Format::Cab)
        std::replace(m_wildcard.begin(), m_wildcard.end(), '\\', '/');
    m_searching = true;
    if (m_fresh)
        m_fresh = false;
    else if (!restart()) {
        m_broken = true;
        return ARCHIVER_ERROR_ARC_FILE_OPEN;
    }
    return findNext(info);
}

LibarchiveReader::Step ListingSession::nextEntry(ArchiveEntry& entry)
{
    if (m_pending) {
        entry = std::move(*m_pending);
        m_pending.reset();
        return LibarchiveReader::Step::Entry;
    }
    if (m_pendingEnd) {
        m_pendingEnd = false;
        return LibarchiveReader::Step::End;
    }
    return m_reader->next(entry);
}

int ListingSession::findNext(ArchiverMemberInfo* info)
{
    if (!m_searching)
        return ARCHIVER_ERROR_NOT_SEARCH_MODE;
    if (m_broken)
        return ARCHIVER_ERROR_HEADER_BROKEN;
    // Kept from member to member, so that its name's buffer is reused.
    ArchiveEntry& entry = m_entry;
    for (;;) {
        const LibarchiveReader::Step step = nextEntry(entry);
        if (step == LibarchiveReader::Step::End) {
            m_hasLast = false;
            return ARCHIVER_FIND_END;
        }
        if (step == LibarchiveReader::Step::Error) {
            m_broken = true;
            m_hasLast = false;
            return ARCHIVER_ERROR_HEADER_BROKEN;
        }
        const size_t index = m_index++;
        if (namesTheRoot(entry))
            continue;
        if (m_decoder)
            entry.name = m_decoder(entry.name);
        std::string named;
        if (m_namer)
            named = m_namer(entry.name);
        const std::string& shown = m_namer ? named : entry.name;
        // Matched in the "/" form, so that a CAB pattern may use either separator.
        if (!memberMatches(m_wildcard, entry.name))
            continue;
        m_lastSize = entry.size;
        m_lastCompressed = entry.size;
        m_lastWriteTime.reset();
        m_hasLast = true;
        if (info) {
            std::memset(info, 0, sizeof(*info));
            info->originalSize = static_cast<uint32_t>(entry.size);
            info->osType = ARCHIVER_OS_MSDOS;
            // Members made together share their time: the local time is worked out once.
            if (!m_lastDos || m_lastDosFrom != entry.mtime) {
                m_lastDos = toDosDateTime(static_cast<time_t>(entry.mtime));
                m_lastDosFrom = entry.mtime;
            }
            info->dosDate = m_lastDos->date;
            info->dosTime = m_lastDos->time;
            copyName(info->fileName, sizeof(info->fileName), shown);
            uint64_t compressed = entry.size;
            if (m_filler)
                m_filler(entry, index, *info, compressed, m_lastWriteTime);
            m_lastCompressed = compressed;
            info->compressedSize = static_cast<uint32_t>(compressed);
            info->ratio = entry.size == 0 ? 0
                                          : static_cast<uint16_t>(std::min<uint64_t>(
                                                compressed * 1000 / entry.size, 0xFFFF));
        }
        return ARCHIVER_OK;
    }
}

int ListingSession::originalSize(int64_t* size) const
{
    if (!m_hasLast || !size)
        return -1;
    *size = static_cast<int64_t>(m_lastSize);
    return 0;
}

int ListingSession::writeTime(int64_t* seconds) const
{
    if (!m_hasLast || !m_lastWriteTime || !seconds)
        return -1;
    *seconds = *m_lastWriteTime;
    return 0;
}

int ListingSession::compressedSize(int64_t* size) const
{
    if (!m_hasLast || !size)
        return -1;
    *size = static_cast<int64_t>(m_lastCompressed);
    return 0;
}

} // namespace archiver
