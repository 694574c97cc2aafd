#include "DeflatePipeline.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archiver::zip
{

namespace
{

constexpr uint32_t kWindowBytes = 32768;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string withReason(const char* what, int error)
{
    return std::string(what) + " (" + std::strerror(error) + ")";
}

// Reads exactly size bytes at offset; false with errno, or with errno 0 at an early end.
bool readAt(int fd, unsigned char* out, size_t size, uint64_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = 0;
            return false;
        }
        out += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

} // namespace

DeflatePipeline::DeflatePipeline(std::vector<PieceSource> files, int level, unsigned threads)
    : m_files(std::move(files)), m_level(std::clamp(level, 0, 9))
{
    for (size_t i = 0; i < m_files.size(); ++i) {
        const uint64_t size = m_files[i].size;
        uint64_t offset = 0;
        do {
            const uint64_t length = std::min<uint64_t>(kPieceSize, size - offset);
            m_pieces.push_back({i, offset, static_cast<uint32_t>(length), false});
            offset += length;
        } while (offset < size);
        m_pieces.back().last = true;
    }
    threads = std::max(1u, threads);
    m_window = 4 * threads;
    m_slots.resize(m_window);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

DeflatePipeline::~DeflatePipeline()
{
    stop();
}

unsigned DeflatePipeline::defaultThreads()
{
    // The caller's thread writes; the workers read and deflate, on up to two cores.
    return std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
}

void DeflatePipeline::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workable.notify_all();
    m_ready.notify_all();
    for (std::thread& t : m_threads) {
        if (t.joinable())
            t.join();
    }
}

std::unique_ptr<PieceResult> DeflatePipeline::next()
{
    std::unique_lock lock(m_mutex);
    if (m_nextToGive >= m_pieces.size())
        return nullptr;
    std::unique_ptr<PieceResult>& slot = m_slots[m_nextToGive % m_window];
    m_ready.wait(lock, [&] { return slot || m_stopping; });
    if (!slot)
        return nullptr;
    std::unique_ptr<PieceResult> result = std::move(slot);
    ++m_nextToGive;
    lock.unlock();
    m_workable.notify_all();
    return result;
}

void DeflatePipeline::work()
{
    z_stream stream{};
    const bool deflating = m_level > 0;
    if (deflating &&
        deflateInit2(&stream, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_ready.notify_all();
        return;
    }
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_workable.wait(lock, [&] {
                return m_stopping || m_nextToTake >= m_pieces.size() ||
                       m_nextToTake < m_nextToGive + m_window;
            });
            if (m_stopping || m_nextToTake >= m_pieces.size())
                break;
            index = m_nextToTake++;
        }
        std::unique_ptr<PieceResult> result =
            process(m_pieces[index], deflating ? &stream : nullptr);
        {
            std::lock_guard lock(m_mutex);
            m_slots[index % m_window] = std::move(result);
        }
        m_ready.notify_all();
    }
    if (deflating)
        deflateEnd(&stream);
}

std::unique_ptr<PieceResult> DeflatePipeline::process(const Piece& piece, void* streamPointer) const
{
    auto result = std::make_unique<PieceResult>();
    const PieceSource& file = m_files[piece.file];
    const auto fail = [&](std::string error) {
        result->ok = false;
        result->error = std::move(error);
        return std::move(result);
    };
    // Never a FIFO or a device that took the file's place: opening does not wait, and what
    // was opened must still be a plain file.
    FileDescriptor fd(::open(file.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0)
        return fail(withReason("ファイルを開けません", errno));
    struct stat st {
    };
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return fail("通常のファイルではなくなりました");
    auto* stream = static_cast<z_stream*>(streamPointer);
    const uint32_t dictionary =
        stream ? static_cast<uint32_t>(std::min<uint64_t>(kWindowBytes, piece.offset)) : 0;
    result->data.resize(size_t(dictionary) + piece.length);
    result->inputStart = dictionary;
    result->length = piece.length;
    if (!readAt(fd.get(), result->data.data(), result->data.size(), piece.offset - dictionary)) {
        if (errno == 0)
            return fail("読み込み中にファイルが短くなりました");
        return fail(withReason("ファイルを読めません", errno));
    }
    if (piece.last && (::fstat(fd.get(), &st) != 0 || uint64_t(st.st_size) != file.size))
        return fail("読み込み中にファイルの大きさが変わりました");
    result->crc = static_cast<uint32_t>(crc32_z(0, result->input(), piece.length));
    if (!stream || piece.length == 0)
        return result;

    deflateReset(stream);
    if (dictionary > 0)
        deflateSetDictionary(stream, result->data.data(), dictionary);
    result->deflated.resize(deflateBound(stream, piece.length) + 64);
    stream->next_in = const_cast<Bytef*>(result->input());
    stream->avail_in = piece.length;
    size_t produced = 0;
    const int flush = piece.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        stream->next_out = result->deflated.data() + produced;
        stream->avail_out = static_cast<uInt>(result->deflated.size() - produced);
        const int rc = deflate(stream, flush);
        produced = result->deflated.size() - stream->avail_out;
        if (rc == Z_STREAM_END ||
            (flush == Z_SYNC_FLUSH && stream->avail_out > 0 && stream->avail_in == 0 && rc == Z_OK))
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return fail("圧縮に失敗しました");
        result->deflated.resize(result->deflated.size() * 2);
    }
    result->deflated.resize(produced);
    return result;
}

} // namespace archiver::zip
