#include "ZipMemberReader.h"

#include "WorkerPool.h"
#include "ZipMemberData.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace archiver
{

namespace
{

// Members being copied in this process right now, by any reader: a second thread for one of
// them only helps while a core is left over. Held to one worker (KORAMO_EXTRACT_THREADS=1), an
// extraction keeps to one thread.
std::atomic<unsigned> g_copying{0};

unsigned threadsForCopies()
{
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::min(cores, WorkerPool::defaultThreads());
}

} // namespace

ZipMemberReader::ZipMemberReader(std::unique_ptr<EntryReader> inner,
                                 std::shared_ptr<const ZipCentralDirectory> directory,
                                 const std::string& path)
    : m_inner(std::move(inner)), m_directory(std::move(directory))
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {
    };
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)) {
        m_size = static_cast<uint64_t>(st.st_size);
    } else if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ZipMemberReader::~ZipMemberReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

EntryReader::Step ZipMemberReader::next(ArchiveEntry& entry)
{
    m_own = false;
    m_member = nullptr;
    const Step step = m_inner->next(entry);
    const size_t position = m_next++;
    if (step != Step::Entry || m_fd < 0 || position >= m_directory->members().size())
        return step;
    const ZipCentralDirectory::Member& m = m_directory->members()[position];
    if (entry.kind == ArchiveEntry::Kind::File && !entry.encrypted && entry.sizeKnown &&
        entry.size == m.size && entry.name == m.name && (m.flags & 0x0001) == 0 &&
        (m.method == 0 || m.method == 8))
        m_member = &m;
    return step;
}

bool ZipMemberReader::copyData(int fd, const std::function<bool(uint64_t)>& progress)
{
    if (!m_member)
        return m_inner->copyData(fd, progress);
    zip::MemberData data;
    data.localOffset = m_member->localOffset;
    data.compressedSize = m_member->compressedSize;
    data.size = m_member->size;
    data.crc = m_member->crc;
    data.method = m_member->method;
    const bool ahead = g_copying.fetch_add(1) + 1 < threadsForCopies();
    const zip::CopyOutcome o = zip::copyMemberData(m_fd, m_size, data, fd, progress, ahead);
    g_copying.fetch_sub(1);
    ++m_ownCopies;
    m_member = nullptr;
    // The wrapped reader goes on from the next member's header; it never decodes this data.
    m_inner->skipData();
    m_own = true;
    m_error = o.error;
    m_readFailed = o.readFailed;
    return o.ok;
}

void ZipMemberReader::skipData()
{
    m_member = nullptr;
    m_inner->skipData();
}

} // namespace archiver
