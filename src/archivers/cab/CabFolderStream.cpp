#include "CabFolderStream.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace archiver
{

namespace
{

constexpr size_t kLargestMszipBlock = 32 * 1024;
constexpr size_t kReadSize = size_t(1) << 20;
constexpr size_t kInputSlack = 64;
// Room for a chunk: its window, its output and one more block of the largest stored size,
// plus the byte that shows a block that would decode to more than it says.
constexpr size_t kBufferSize = CabFolderStream::kWindow + CabFolderStream::kChunk + 65536 + 1;

} // namespace

// Decodes the folder's blocks in order into chunks.
class CabFolderStream::Decoder
{
public:
    Decoder(int fd, const CabCabinet::Folder& folder)
        : m_fd(fd), m_folder(folder), m_state(std::make_unique<inflate_state>())
    {
    }

    // Decodes blocks into the chunk until its output is full, the folder ends, or a block is
    // damaged.
    void fill(Chunk& c)
    {
        if (c.buffer.size() < kBufferSize)
            c.buffer.resize(kBufferSize);
        if (!m_tail.empty())
            std::memcpy(c.buffer.data() + kWindow - m_tail.size(), m_tail.data(), m_tail.size());
        c.start = m_produced;
        c.damage.clear();
        c.last = false;
        size_t out = kWindow;
        while (m_next < m_folder.blocks.size() && out - kWindow < kChunk) {
            const CabCabinet::Block& b = m_folder.blocks[m_next];
            std::string why = decode(b, c.buffer.data() + out);
            if (!why.empty()) {
                c.damage = "data block " + std::to_string(m_next + 1) + ": " + why;
                break;
            }
            out += b.size;
            m_produced += b.size;
            ++m_next;
        }
        if (c.damage.empty() && m_next == m_folder.blocks.size() && m_folder.truncated)
            c.damage = "the cabinet ends within the data";
        c.last = !c.damage.empty() || m_next == m_folder.blocks.size();
        c.end = out;
        // The window of the next chunk: the last 32 KiB of the output so far, which lie together
        // at the end of this chunk's window and output.
        const size_t keep = std::min<uint64_t>(kWindow, m_produced);
        m_tail.assign(c.buffer.data() + out - keep, c.buffer.data() + out);
    }

private:
    // Decodes one block to out, where the output before it lies just before out; the reason
    // when the block is damaged.
    std::string decode(const CabCabinet::Block& b, unsigned char* out)
    {
        const unsigned char* in = input(b);
        if (!in)
            return "cannot be read";
        if (b.checksum != 0 && CabCabinet::blockChecksum(in, b) != b.checksum)
            return "checksum error";
        if (m_folder.compression == CabCabinet::Stored) {
            if (b.packed != b.size)
                return "size error";
            std::memcpy(out, in, b.size);
            return {};
        }
        if (b.packed < 2 || in[0] != 'C' || in[1] != 'K')
            return "no MSZIP signature";
        if (b.size > kLargestMszipBlock)
            return "size error";
        inflate_state& s = *m_state;
        isal_inflate_init(&s);
        s.crc_flag = ISAL_DEFLATE;
        const size_t window = std::min<uint64_t>(kWindow, m_produced);
        if (window > 0 && isal_inflate_set_dict(&s, out - window, static_cast<uint32_t>(window)) !=
                              ISAL_DECOMP_OK)
            return "cannot be decoded";
        s.next_in = const_cast<unsigned char*>(in + 2);
        s.avail_in = b.packed - 2u;
        s.next_out = out;
        s.avail_out = b.size + 1u;
        const int r = isal_inflate(&s);
        if (r != ISAL_DECOMP_OK)
            return "damaged data";
        // The stream must end, and exactly at the block's size.
        if (s.block_state != ISAL_BLOCK_FINISH || b.size + 1u - s.avail_out != b.size)
            return "size error";
        return {};
    }

    // The block's data, read in large pieces: a folder's blocks follow each other.
    const unsigned char* input(const CabCabinet::Block& b)
    {
        if (b.fileOffset >= m_inStart && b.fileOffset + b.packed <= m_inStart + m_inSize)
            return m_in.data() + (b.fileOffset - m_inStart);
        // A few bytes of room past the data, for a decoder that reads ahead of its input.
        const size_t want = std::max<size_t>(kReadSize, b.packed);
        m_in.resize(want + kInputSlack);
        m_inStart = b.fileOffset;
        m_inSize = 0;
        while (m_inSize < want) {
            const ssize_t n = ::pread(m_fd, m_in.data() + m_inSize, want - m_inSize,
                                      static_cast<off_t>(m_inStart + m_inSize));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            m_inSize += static_cast<size_t>(n);
        }
        return m_inSize >= b.packed ? m_in.data() : nullptr;
    }

    int m_fd;
    const CabCabinet::Folder& m_folder;
    std::unique_ptr<inflate_state> m_state;
    size_t m_next = 0;       // the next block
    uint64_t m_produced = 0; // output so far
    std::vector<unsigned char> m_tail;
    std::vector<unsigned char> m_in;
    uint64_t m_inStart = 0;
    size_t m_inSize = 0;
};

CabFolderStream::CabFolderStream(int fd, const CabCabinet::Folder& folder, bool ahead)
    : m_decoder(std::make_unique<Decoder>(fd, folder)), m_ahead(ahead)
{
    m_current.end = kWindow;
    if (m_ahead)
        m_thread = std::thread([this] { produce(); });
}

CabFolderStream::~CabFolderStream()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
}

bool CabFolderStream::peek(const unsigned char*& data, size_t& size)
{
    while (m_at >= m_current.end) {
        if (!m_current.damage.empty()) {
            m_damage = m_current.damage;
            return false;
        }
        if (m_current.last) {
            data = nullptr;
            size = 0;
            return true;
        }
        nextChunk();
    }
    data = m_current.buffer.data() + m_at;
    size = m_current.end - m_at;
    return true;
}

void CabFolderStream::nextChunk()
{
    m_at = kWindow;
    if (!m_ahead) {
        m_decoder->fill(m_current);
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_current.buffer.empty() && m_spare.size() < kAhead)
        m_spare.push_back(std::move(m_current.buffer));
    m_changed.wait(lock, [this] { return !m_ready.empty(); });
    m_current = std::move(m_ready.front());
    m_ready.pop_front();
    lock.unlock();
    m_changed.notify_all();
}

void CabFolderStream::produce()
{
    for (;;) {
        Chunk c;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kAhead; });
            if (m_stop)
                return;
            if (!m_spare.empty()) {
                c.buffer = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        m_decoder->fill(c);
        const bool last = c.last;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
            m_ready.push_back(std::move(c));
        }
        m_changed.notify_all();
        if (last)
            return;
    }
}

} // namespace archiver
