#include "ZipListing.h"

#include "DosTime.h"
#include "NameChoice.h"
#include "NameCodec.h"
#include "Wildcard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

namespace archiver
{

namespace
{

std::mutex& tableMutex()
{
    static std::mutex m;
    return m;
}

// The listings open now; a handle is the address of one of them.
std::set<ZipListing*>& table()
{
    static std::set<ZipListing*> t;
    return t;
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

uint32_t osTypeOf(uint8_t creator)
{
    switch (creator) {
    case 3:
        return ARCHIVER_OS_UNIX;
    case 10:
        return ARCHIVER_OS_NT;
    case 14:
        return ARCHIVER_OS_WIN95;
    default:
        return ARCHIVER_OS_MSDOS;
    }
}

// A folder named only by "." and empty parts ("./" in a ZIP that bsdtar made of "."): the
// folder the archive was made from, not a member of it.
bool namesTheRoot(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return false;
    for (size_t pos = 0; pos < name.size();) {
        size_t slash = name.find('/', pos);
        if (slash == std::string::npos)
            slash = name.size();
        const size_t length = slash - pos;
        if (length > 1 || (length == 1 && name[pos] != '.'))
            return false;
        pos = slash + 1;
    }
    return true;
}

bool keepsDosAttributes(uint8_t creator)
{
    return creator == 0 || creator == 10 || creator == 14;
}

} // namespace

void fillFromCentralDirectory(const ZipCentralDirectory::Member& m, bool folder, unsigned mode,
                              ArchiverMemberInfo& info)
{
    unsigned attributes = 0x20;
    bool readOnly = (mode & 0200) == 0;
    info.crc = m.crc;
    info.osType = osTypeOf(m.creatorOs);
    if (keepsDosAttributes(m.creatorOs)) {
        attributes = m.externalAttributes & 0xFF;
        readOnly = (attributes & 0x01) != 0;
    }
    std::snprintf(info.mode, sizeof(info.mode), "%s", ZipCentralDirectory::methodText(m.method));
    info.attribute[0] = folder ? 'd' : ((attributes & 0x20) ? 'a' : '-');
    info.attribute[1] = (attributes & 0x04) ? 's' : '-';
    info.attribute[2] = (attributes & 0x02) ? 'h' : '-';
    info.attribute[3] = readOnly ? 'r' : 'w';
    info.attribute[4] = '\0';
}

ArchiverHandle ZipListing::open(const std::string& path)
{
    auto listing = std::make_unique<ZipListing>();
    if (!listing->m_directory.read(path))
        return 0;
    listing->m_encoding = chosenNameEncoding(path);
    std::lock_guard<std::mutex> lock(tableMutex());
    ZipListing* raw = listing.release();
    table().insert(raw);
    return reinterpret_cast<ArchiverHandle>(raw);
}

ZipListing* ZipListing::find(ArchiverHandle handle)
{
    auto* listing = reinterpret_cast<ZipListing*>(handle);
    std::lock_guard<std::mutex> lock(tableMutex());
    return table().count(listing) != 0 ? listing : nullptr;
}

bool ZipListing::close(ArchiverHandle handle)
{
    auto* listing = reinterpret_cast<ZipListing*>(handle);
    {
        std::lock_guard<std::mutex> lock(tableMutex());
        if (table().erase(listing) == 0)
            return false;
    }
    delete listing;
    return true;
}

int ZipListing::findFirst(const char* wildcard, ArchiverMemberInfo* info)
{
    m_wildcard = wildcard && *wildcard ? wildcard : "*";
    m_searching = true;
    m_next = 0;
    return findNext(info);
}

int ZipListing::findNext(ArchiverMemberInfo* info)
{
    if (!m_searching)
        return ARCHIVER_ERROR_NOT_SEARCH_MODE;
    const std::vector<ZipCentralDirectory::Member>& members = m_directory.members();
    while (m_next < members.size()) {
        const ZipCentralDirectory::Member& m = members[m_next++];
        std::string name = m.utf8Name() ? toNfc(m.name) : decodeStoredName(m.name, m_encoding);
        // A name with "\" between its folders and no "/" was written by a Windows tool that
        // ignores the format's rule: "\" is its separator (as libarchive reads it too).
        if (name.find('/') == std::string::npos && name.find('\\') != std::string::npos)
            std::replace(name.begin(), name.end(), '\\', '/');
        if (!memberMatches(m_wildcard, name))
            continue;
        // A Unix creator keeps the file type and permissions in the high half.
        const bool unix = m.creatorOs == 3;
        const unsigned unixMode = unix ? (m.externalAttributes >> 16) & 0177777 : 0;
        const bool folder = (unixMode & 0170000) == 0040000 ||
                            (!name.empty() && name.back() == '/') ||
                            (keepsDosAttributes(m.creatorOs) && (m.externalAttributes & 0x10));
        if (folder && namesTheRoot(name))
            continue;
        const bool link = (unixMode & 0170000) == 0120000;
        unsigned mode = unixMode & 07777;
        if (!unix)
            mode = (m.externalAttributes & 0x01) ? 0444 : 0644;
        m_last = &m;
        // A link's data is its target, not a file's contents.
        m_lastSize = link ? 0 : m.size;
        if (!info)
            return ARCHIVER_OK;
        std::memset(info, 0, sizeof(*info));
        info->originalSize = static_cast<uint32_t>(m_lastSize);
        info->compressedSize = static_cast<uint32_t>(m.compressedSize);
        info->ratio = m_lastSize == 0 ? 0
                                      : static_cast<uint16_t>(std::min<uint64_t>(
                                            m.compressedSize * 1000 / m_lastSize, 0xFFFF));
        if (m.writeTime) {
            if (m_dosFrom != m.writeTime) {
                const DosDateTime dos = toDosDateTime(static_cast<time_t>(*m.writeTime));
                m_dosDate = dos.date;
                m_dosTime = dos.time;
                m_dosFrom = m.writeTime;
            }
            info->dosDate = m_dosDate;
            info->dosTime = m_dosTime;
        } else {
            info->dosDate = m.dosDate;
            info->dosTime = m.dosTime;
        }
        copyName(info->fileName, sizeof(info->fileName), name);
        fillFromCentralDirectory(m, folder, mode, *info);
        return ARCHIVER_OK;
    }
    m_last = nullptr;
    return ARCHIVER_FIND_END;
}

int ZipListing::originalSize(int64_t* size) const
{
    if (!m_last || !size)
        return -1;
    *size = static_cast<int64_t>(m_lastSize);
    return 0;
}

int ZipListing::compressedSize(int64_t* size) const
{
    if (!m_last || !size)
        return -1;
    *size = static_cast<int64_t>(m_last->compressedSize);
    return 0;
}

int ZipListing::writeTime(int64_t* seconds) const
{
    if (!m_last || !m_last->writeTime || !seconds)
        return -1;
    *seconds = *m_last->writeTime;
    return 0;
}

} // namespace archiver
