#include "CabFolderReader.h"

#include "DosTime.h"
#include "NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace archiver
{

namespace
{

constexpr uint16_t kReadOnly = 0x01;
constexpr uint16_t kNameIsUtf8 = 0x80;
constexpr uint64_t kRereadPasses = 4;
constexpr uint64_t kRereadBase = uint64_t(256) << 20;

} // namespace

CabFolderReader::~CabFolderReader()
{
    m_stream.reset(); // its thread reads the file
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CabFolderReader::open(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    std::string error;
    if (!m_cabinet.read(m_fd, error))
        return false;
    m_started.assign(m_cabinet.folders().size(), false);
    m_rereadLimit = kRereadBase;
    for (const CabCabinet::Folder& f : m_cabinet.folders())
        m_rereadLimit += kRereadPasses * f.size;
    return std::all_of(
        m_cabinet.folders().begin(), m_cabinet.folders().end(), [](const CabCabinet::Folder& f) {
            return f.compression == CabCabinet::Stored || f.compression == CabCabinet::Mszip;
        });
}

std::string CabFolderReader::memberName(const CabCabinet::Member& member)
{
    std::string name =
        (member.attributes & kNameIsUtf8) ? member.storedName : cp932ToUtf8(member.storedName);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

EntryReader::Step CabFolderReader::next(ArchiveEntry& entry)
{
    if (m_next >= m_cabinet.members().size())
        return Step::End;
    const CabCabinet::Member& m = m_cabinet.members()[m_next++];
    m_current = &m;
    entry = ArchiveEntry();
    entry.name = memberName(m);
    entry.kind = ArchiveEntry::Kind::File;
    entry.size = m.size;
    entry.sizeKnown = true;
    const time_t t = fromDosDateTime(m.date, m.time);
    entry.mtimeKnown = t != -1;
    entry.mtime = entry.mtimeKnown ? static_cast<int64_t>(t) : 0;
    entry.mode = (m.attributes & kReadOnly) ? 0555 : 0666;
    if (m.folder >= CabCabinet::kContinuedFirst)
        entry.unsupported = "別の CAB ファイルにまたがって格納されたファイルは展開できません";
    return Step::Entry;
}

bool CabFolderReader::fail(const std::string& error, bool damaged)
{
    m_error = error;
    m_readFailed = damaged;
    return false;
}

CabFolderStream* CabFolderReader::streamFor(const CabCabinet::Member& member)
{
    if (!m_stream || m_streamFolder != member.folder || m_stream->position() > member.offset) {
        // A folder read again from its start costs the output up to the member once more. A
        // file table that sends the reading back over and over (a hostile one) could make that
        // endless, so it may cost a few passes over all folders at most.
        if (m_started[member.folder]) {
            m_reread += member.offset;
            if (m_reread > m_rereadLimit)
                return nullptr;
        }
        m_started[member.folder] = true;
        m_stream.reset();
        m_stream =
            std::make_unique<CabFolderStream>(m_fd, m_cabinet.folders()[member.folder], m_ahead);
        m_streamFolder = member.folder;
    }
    return m_stream.get();
}

bool CabFolderReader::copyData(int fd, const std::function<bool(uint64_t)>& progress)
{
    m_error.clear();
    m_readFailed = false;
    if (!m_current)
        return fail("no member", false);
    const CabCabinet::Member& m = *m_current;
    if (m.folder >= m_cabinet.folders().size())
        return fail("damaged archive: the file's folder does not exist", true);
    const CabCabinet::Folder& folder = m_cabinet.folders()[m.folder];
    if (uint64_t(m.offset) + m.size > folder.size)
        return fail(folder.truncated ? "the cabinet ends within the file's data"
                                     : "damaged archive: the file lies beyond its folder's data",
                    true);
    if (m.size == 0)
        return true;
    CabFolderStream* found = streamFor(m);
    if (!found)
        return fail("damaged archive: the file table goes back within its folders too often", true);
    CabFolderStream& stream = *found;
    const unsigned char* data = nullptr;
    size_t size = 0;
    // Up to the member: the output of the members before it that were not written.
    while (stream.position() < m.offset) {
        if (!stream.peek(data, size))
            return fail(stream.damage(), true);
        if (size == 0)
            return fail("damaged archive: the file lies beyond its folder's data", true);
        stream.advance(static_cast<size_t>(std::min<uint64_t>(size, m.offset - stream.position())));
    }
    uint64_t written = 0;
    while (written < m.size) {
        if (!stream.peek(data, size))
            return fail(stream.damage(), true);
        if (size == 0)
            return fail("damaged archive: the file lies beyond its folder's data", true);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, m.size - written));
        for (size_t done = 0; done < n;) {
            const ssize_t w = ::write(fd, data + done, n - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return fail(std::strerror(errno), false);
            done += static_cast<size_t>(w);
        }
        stream.advance(n);
        written += n;
        if (progress && !progress(written))
            return fail("cancelled", false);
    }
    return true;
}

} // namespace archiver
