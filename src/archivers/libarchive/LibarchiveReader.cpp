#include "LibarchiveReader.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <locale.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace archiver
{

namespace
{

// A UTF-8 locale made once, and freed when the library is unloaded (the program loads and
// unloads the libraries for each piece of work, so a locale kept forever would pile up).
class Utf8Locale
{
public:
    Utf8Locale()
    {
        m_locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
        if (!m_locale)
            m_locale = newlocale(LC_ALL_MASK, "C.utf8", nullptr);
        if (!m_locale)
            m_locale = newlocale(LC_ALL_MASK, "en_US.UTF-8", nullptr);
    }
    ~Utf8Locale()
    {
        if (m_locale)
            freelocale(m_locale);
    }
    Utf8Locale(const Utf8Locale&) = delete;
    Utf8Locale& operator=(const Utf8Locale&) = delete;
    locale_t get() const { return m_locale; }

private:
    locale_t m_locale = nullptr;
};

// Switches this thread to a UTF-8 locale for the guard's lifetime; libarchive reads the
// current character set through nl_langinfo, which follows the thread's locale.
class Utf8LocaleGuard
{
public:
    Utf8LocaleGuard()
    {
        static const Utf8Locale utf8;
        if (utf8.get())
            m_previous = uselocale(utf8.get());
    }
    ~Utf8LocaleGuard()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    // Whether this thread now reads and writes UTF-8 (a UTF-8 locale was found).
    bool utf8() const { return m_previous != nullptr; }
    Utf8LocaleGuard(const Utf8LocaleGuard&) = delete;
    Utf8LocaleGuard& operator=(const Utf8LocaleGuard&) = delete;

private:
    locale_t m_previous = nullptr;
};

} // namespace

LibarchiveReader::LibarchiveReader() = default;

LibarchiveReader::~LibarchiveReader()
{
    if (m_archive) {
        Utf8LocaleGuard guard;
        archive_read_free(m_archive);
    }
}

void LibarchiveReader::setError(const char* fallback)
{
    const char* text = m_archive ? archive_error_string(m_archive) : nullptr;
    m_error = text ? text : fallback;
}

bool LibarchiveReader::prepare(Format format)
{
    m_archive = archive_read_new();
    if (!m_archive) {
        m_error = "out of memory";
        return false;
    }
    switch (format) {
    case Format::Zip:
#ifdef KORAMO_READER_WITHOUT_ZIP
        // The statically linked stub leaves out the ZIP reader and the codecs it pulls in.
        m_error = "ZIP is not supported here";
        return false;
#else
        archive_read_support_format_zip(m_archive);
        break;
#endif
    case Format::Cab:
        archive_read_support_format_cab(m_archive);
        break;
    case Format::Various:
#ifdef KORAMO_READER_WITHOUT_ZIP
        m_error = "this format is not supported here";
        return false;
#else
        archive_read_support_format_7zip(m_archive);
        archive_read_support_format_rar(m_archive);
        archive_read_support_format_rar5(m_archive);
        archive_read_support_format_tar(m_archive);
        archive_read_support_format_iso9660(m_archive);
        // The compressions of tar that people meet; no filter that would start another program.
        archive_read_support_filter_gzip(m_archive);
        archive_read_support_filter_bzip2(m_archive);
        archive_read_support_filter_xz(m_archive);
        archive_read_support_filter_lzma(m_archive);
        archive_read_support_filter_zstd(m_archive);
        break;
#endif
    }
    // Names that carry no UTF-8 mark were written on Japanese Windows.
    if (m_cp932)
        archive_read_set_options(m_archive, "hdrcharset=CP932");
    return true;
}

bool LibarchiveReader::openFile(const std::string& path, Format format)
{
    Utf8LocaleGuard guard;
    if (!prepare(format))
        return false;
    if (archive_read_open_filename(m_archive, path.c_str(), 256 * 1024) != ARCHIVE_OK) {
        setError("cannot open");
        m_readFailed = true;
        return false;
    }
    return true;
}

bool LibarchiveReader::openMemory(const void* data, size_t size, Format format)
{
    Utf8LocaleGuard guard;
    if (!prepare(format))
        return false;
    if (archive_read_open_memory(m_archive, data, size) != ARCHIVE_OK) {
        setError("cannot open");
        m_readFailed = true;
        return false;
    }
    return true;
}

LibarchiveReader::Step LibarchiveReader::next(ArchiveEntry& entry)
{
    Utf8LocaleGuard guard;
    if (!m_archive)
        return Step::Error;
    struct archive_entry* e = nullptr;
    const int r = archive_read_next_header(m_archive, &e);
    if (r == ARCHIVE_EOF)
        return Step::End;
    if (r < ARCHIVE_WARN || !e) {
        setError("damaged archive");
        m_readFailed = true;
        m_fatal = true;
        return Step::Error;
    }
    // Under the UTF-8 locale the name in the locale's encoding is already UTF-8 wherever it
    // can be (and the stored bytes where they are not UTF-8, which the UTF-8 form would refuse
    // anyway): asking for the UTF-8 form would only convert it once more, member by member.
    const char* name = guard.utf8() ? archive_entry_pathname(e) : archive_entry_pathname_utf8(e);
    if (!name)
        name = guard.utf8() ? archive_entry_pathname_utf8(e) : archive_entry_pathname(e);
    entry.name = name ? name : "";
    // An ISO 9660 image is a file system: no path can stand in it twice. A damaged directory
    // that points back at itself makes libarchive hand out the same members again without
    // end, so a path that comes round again ends the reading as damage.
    if ((archive_format(m_archive) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ISO9660 &&
        !m_seenPaths.insert(entry.name).second) {
        m_error = "damaged archive: its members come round again";
        m_readFailed = true;
        m_fatal = true;
        return Step::Error;
    }
    switch (archive_entry_filetype(e)) {
    case AE_IFREG:
        entry.kind =
            archive_entry_hardlink(e) ? ArchiveEntry::Kind::Link : ArchiveEntry::Kind::File;
        break;
    case AE_IFDIR:
        entry.kind = ArchiveEntry::Kind::Folder;
        break;
    case AE_IFLNK:
        entry.kind = ArchiveEntry::Kind::Link;
        break;
    default:
        entry.kind = ArchiveEntry::Kind::Other;
        break;
    }
    if (archive_entry_hardlink(e))
        entry.kind = ArchiveEntry::Kind::Link;
    entry.sizeKnown = archive_entry_size_is_set(e) != 0;
    entry.size = entry.sizeKnown ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
    entry.mtimeKnown = archive_entry_mtime_is_set(e) != 0;
    entry.mtime = entry.mtimeKnown ? static_cast<int64_t>(archive_entry_mtime(e)) : 0;
    entry.mode = archive_entry_perm(e) & 07777;
    entry.encrypted = archive_entry_is_encrypted(e) != 0;
    m_sizeKnown = entry.sizeKnown;
    m_size = entry.size;
    return Step::Entry;
}

namespace
{

// One block of a member's data as libarchive gave it, copied out of its buffer.
struct Block {
    int result = ARCHIVE_OK; // what archive_read_data_block said; not OK ends the member
    int64_t offset = 0;
    std::vector<char> data;
};

// Decodes one member's data on a thread of its own while the caller writes what came before,
// so that decompression and writing share the two cores. At most kAheadBytes wait decoded.
class ReadAhead
{
public:
    static constexpr size_t kAheadBytes = size_t(8) << 20;

    explicit ReadAhead(struct archive* a) : m_thread([this, a] { produce(a); }) {}
    ~ReadAhead()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block; its result is not ARCHIVE_OK at the end of the member.
    Block take()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_blocks.empty(); });
        Block b = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_bytes -= b.data.size();
        lock.unlock();
        m_changed.notify_all();
        return b;
    }
    // A block's buffer handed back for reuse.
    void recycle(Block&& b)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_spare.size() < 4)
            m_spare.push_back(std::move(b.data));
    }

private:
    void produce(struct archive* a)
    {
        for (;;) {
            const void* data = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            Block b;
            b.result = archive_read_data_block(a, &data, &size, &offset);
            b.offset = offset;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_bytes < kAheadBytes; });
            if (m_stop)
                return;
            if (b.result == ARCHIVE_OK) {
                if (!m_spare.empty()) {
                    b.data = std::move(m_spare.back());
                    m_spare.pop_back();
                }
                b.data.assign(static_cast<const char*>(data),
                              static_cast<const char*>(data) + size);
            }
            const bool last = b.result != ARCHIVE_OK;
            m_bytes += b.data.size();
            m_blocks.push_back(std::move(b));
            lock.unlock();
            m_changed.notify_all();
            if (last)
                return;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_blocks;
    std::vector<std::vector<char>> m_spare;
    size_t m_bytes = 0;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything above is ready
};

} // namespace

bool LibarchiveReader::writeBlockAt(int fd, const char* p, size_t size, int64_t offset,
                                    uint64_t& written, std::string& error, bool& damaged)
{
    damaged = false;
    if (offset < 0) {
        error = "damaged data";
        damaged = true;
        return false;
    }
    // Sparse regions come as jumps in the offset; the file is written contiguously.
    if (static_cast<uint64_t>(offset) != written) {
        if (lseek(fd, offset, SEEK_SET) < 0 || ftruncate(fd, offset) != 0) {
            error = std::strerror(errno);
            return false;
        }
        written = static_cast<uint64_t>(offset);
    }
    size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = std::strerror(errno);
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    written += size;
    return true;
}

bool LibarchiveReader::writeBlock(int fd, const char* p, size_t size, int64_t offset,
                                  uint64_t& written)
{
    bool damaged = false;
    if (writeBlockAt(fd, p, size, offset, written, m_error, damaged))
        return true;
    m_readFailed = damaged;
    return false;
}

bool LibarchiveReader::endOfData(int r)
{
    if (r == ARCHIVE_EOF)
        return true;
    // WARN is what libarchive returns for a CRC mismatch in some readers.
    setError("damaged data");
    m_readFailed = true;
    m_fatal = r <= ARCHIVE_FATAL;
    return false;
}

bool LibarchiveReader::copyData(int fd, const std::function<bool(uint64_t)>& progress)
{
    Utf8LocaleGuard guard;
    uint64_t written = 0;
    const auto cancelled = [&] {
        if (progress && !progress(written)) {
            m_error = "cancelled";
            m_readFailed = false;
            return true;
        }
        return false;
    };
    if (m_readAhead && (!m_sizeKnown || m_size >= kReadAheadFrom)) {
        ReadAhead ahead(m_archive);
        for (;;) {
            Block b = ahead.take();
            if (b.result != ARCHIVE_OK)
                return endOfData(b.result);
            if (!writeBlock(fd, b.data.data(), b.data.size(), b.offset, written) || cancelled())
                return false;
            ahead.recycle(std::move(b));
        }
    }
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int r = archive_read_data_block(m_archive, &block, &size, &offset);
        if (r != ARCHIVE_OK)
            return endOfData(r);
        if (!writeBlock(fd, static_cast<const char*>(block), size, offset, written) || cancelled())
            return false;
    }
}

bool LibarchiveReader::readBlocks(const BlockSink& sink)
{
    Utf8LocaleGuard guard;
    if (!m_archive) {
        m_error = "not open";
        m_readFailed = true;
        return false;
    }
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int r = archive_read_data_block(m_archive, &block, &size, &offset);
        if (r != ARCHIVE_OK)
            return endOfData(r);
        if (!sink(static_cast<const char*>(block), size, offset)) {
            m_error = "stopped";
            m_readFailed = false;
            return false;
        }
    }
}

void LibarchiveReader::skipData()
{
    Utf8LocaleGuard guard;
    if (m_archive)
        archive_read_data_skip(m_archive);
}

} // namespace archiver
