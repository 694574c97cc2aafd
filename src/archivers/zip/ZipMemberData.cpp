#include "ZipMemberData.h"

#include "LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace archiver::zip
{

namespace
{

constexpr size_t kInput = 256 * 1024;

bool readAt(int fd, unsigned char* buffer, size_t size, uint64_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// Fills items on a thread of its own, at most kAheadChunks ahead of the one taken; an item that
// `last` accepts ends the filling.
template <typename Item> class Ahead
{
public:
    Ahead(std::function<void(Item&)> fill, std::function<bool(const Item&)> last)
        : m_fill(std::move(fill)), m_last(std::move(last)), m_thread([this] { produce(); })
    {
    }
    ~Ahead()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The next item; the one handed in is done with, and its buffer is filled again.
    void take(Item& item)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_items.empty(); });
        std::swap(item, m_items.front());
        m_spare.push_back(std::move(m_items.front()));
        m_items.pop_front();
        lock.unlock();
        m_changed.notify_all();
    }

private:
    void produce()
    {
        for (;;) {
            Item item;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_spare.empty()) {
                    item = std::move(m_spare.back());
                    m_spare.pop_back();
                }
            }
            m_fill(item);
            const bool last = m_last(item);
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_items.size() < kAheadChunks; });
            if (m_stop)
                return;
            m_items.push_back(std::move(item));
            lock.unlock();
            m_changed.notify_all();
            if (last)
                return;
        }
    }

    std::function<void(Item&)> m_fill;
    std::function<bool(const Item&)> m_last;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_items;
    std::vector<Item> m_spare;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything above is ready
};

// A piece of the member's data as it comes out; the last one says how the data ended.
struct Chunk {
    enum class State { More, End, Damaged };
    // Left uninitialised: a small member never pays for a whole chunk.
    std::unique_ptr<unsigned char[]> data;
    size_t capacity = 0;
    size_t size = 0;
    State state = State::More;
    std::string error;
};

// A piece of the compressed data as read from the archive.
struct Block {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
    bool failed = false;
    bool last = false;
};

// Raw inflate through ISA-L, about twice as fast as zlib's.
class Inflater
{
public:
    enum class Result { More, End, Damaged };

    Inflater() { isal_inflate_init(&m_s); }
    void input(const unsigned char* p, size_t n)
    {
        m_s.next_in = const_cast<unsigned char*>(p);
        m_s.avail_in = static_cast<uint32_t>(n);
    }
    size_t inputLeft() const { return m_s.avail_in; }
    // Inflates into out[at, capacity); `at` moves on by what came out.
    Result run(unsigned char* out, size_t& at, size_t capacity, std::string& error)
    {
        m_s.next_out = out + at;
        m_s.avail_out = static_cast<uint32_t>(capacity - at);
        const int r = isal_inflate(&m_s);
        at = capacity - m_s.avail_out;
        if (m_s.block_state == ISAL_BLOCK_FINISH)
            return Result::End;
        if (r == ISAL_DECOMP_OK || r == ISAL_END_INPUT || r == ISAL_OUT_OVERFLOW)
            return Result::More;
        error = "圧縮データが壊れています (" + std::to_string(r) + ")";
        return Result::Damaged;
    }

    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

private:
    inflate_state m_s;
};

// The member's data in chunks: stored bytes as they are, deflated ones inflated.
class Source
{
public:
    // Chunks hold at most `chunk` bytes.
    Source(int fd, uint64_t start, uint64_t compressed, uint16_t method, size_t chunk)
        : m_fd(fd), m_pos(start), m_left(compressed), m_stored(method == 0), m_chunk(chunk)
    {
        if (!m_stored) {
            m_inSize =
                static_cast<size_t>(std::min<uint64_t>(kInput, std::max<uint64_t>(1, compressed)));
            m_in.data.reset(new unsigned char[m_inSize]);
            m_inflater = std::make_unique<Inflater>();
        }
    }
    ~Source()
    {
        m_input.reset(); // its thread reads through the members below
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Reads the compressed data on a thread of its own, ahead of the inflating, so that the
    // thread that inflates does nothing else.
    void readAhead()
    {
        if (m_stored || m_left == 0)
            return;
        m_input = std::make_unique<Ahead<Block>>(
            [this, pos = m_pos, left = m_left](Block& b) mutable {
                if (!b.data)
                    b.data.reset(new unsigned char[m_inSize]);
                b.size = static_cast<size_t>(std::min<uint64_t>(m_inSize, left));
                b.failed = !readAt(m_fd, b.data.get(), b.size, pos);
                pos += b.size;
                left -= b.size;
                b.last = b.failed || left == 0;
            },
            [](const Block& b) { return b.last; });
    }

    void fill(Chunk& c)
    {
        if (!c.data || c.capacity != m_chunk) {
            c.data.reset(new unsigned char[m_chunk]);
            c.capacity = m_chunk;
        }
        c.size = 0;
        c.state = Chunk::State::More;
        while (c.size < m_chunk) {
            if (m_stored) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(m_chunk - c.size, m_left));
                if (n == 0) {
                    c.state = Chunk::State::End;
                    return;
                }
                if (!readAt(m_fd, c.data.get() + c.size, n, m_pos))
                    return fail(c, "書庫を読めません");
                take(n);
                c.size += n;
                continue;
            }
            // The inflater keeps what it needs of earlier data itself: a block of input is done
            // with once it is consumed.
            if (m_inflater->inputLeft() == 0 && m_left > 0) {
                if (m_input) {
                    m_input->take(m_in);
                } else {
                    m_in.size = static_cast<size_t>(std::min<uint64_t>(m_inSize, m_left));
                    m_in.failed = !readAt(m_fd, m_in.data.get(), m_in.size, m_pos);
                }
                if (m_in.failed)
                    return fail(c, "書庫を読めません");
                take(m_in.size);
                m_inflater->input(m_in.data.get(), m_in.size);
            }
            const size_t before = c.size;
            const size_t inputBefore = m_inflater->inputLeft();
            std::string error;
            switch (m_inflater->run(c.data.get(), c.size, m_chunk, error)) {
            case Inflater::Result::End:
                c.state = Chunk::State::End;
                return;
            case Inflater::Result::Damaged:
                return fail(c, error);
            case Inflater::Result::More:
                break;
            }
            // Nothing came out and nothing went in: the input is used up before the stream's end.
            if (c.size == before && m_inflater->inputLeft() == inputBefore)
                return fail(c, "圧縮データが途中で終わっています");
        }
    }

private:
    void take(size_t n)
    {
        m_pos += n;
        m_left -= n;
    }
    static void fail(Chunk& c, std::string error)
    {
        c.state = Chunk::State::Damaged;
        c.error = std::move(error);
    }

    int m_fd;
    uint64_t m_pos;
    uint64_t m_left;
    bool m_stored;
    std::unique_ptr<Inflater> m_inflater;
    size_t m_chunk;
    Block m_in;
    size_t m_inSize = 0;
    std::unique_ptr<Ahead<Block>> m_input;
};

CopyOutcome damaged(std::string error)
{
    CopyOutcome o;
    o.readFailed = true;
    o.error = std::move(error);
    return o;
}

} // namespace

CopyOutcome copyMemberData(int archiveFd, uint64_t archiveSize, const MemberData& member, int fd,
                           const std::function<bool(uint64_t)>& progress, bool ahead)
{
    if (member.method != 0 && member.method != 8)
        return damaged("この圧縮方式には対応していません");
    // The local header gives the data's start: its name and extra field may differ in length
    // from the central directory's.
    unsigned char header[30];
    if (member.localOffset > archiveSize || archiveSize - member.localOffset < sizeof header ||
        !readAt(archiveFd, header, sizeof header, member.localOffset) || le32(header) != 0x04034b50)
        return damaged("ローカルヘッダーがありません");
    const uint64_t start =
        member.localOffset + sizeof header + le16(header + 26) + le16(header + 28);
    if (start > archiveSize || member.compressedSize > archiveSize - start)
        return damaged("データが書庫の外を指しています");

    // One byte more than the member needs shows a stream that runs on past its size at once.
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kChunk, member.size + 1));
    Source source(archiveFd, start, member.compressedSize, member.method, chunk);
    std::unique_ptr<Ahead<Chunk>> thread;
    if (ahead && member.size >= kAheadFrom) {
        source.readAhead();
        thread = std::make_unique<Ahead<Chunk>>(
            [&source](Chunk& c) { source.fill(c); },
            [](const Chunk& c) { return c.state != Chunk::State::More; });
    }
    Chunk c;
    uint32_t crc = 0;
    uint64_t written = 0;
    for (;;) {
        if (thread)
            thread->take(c);
        else
            source.fill(c);
        if (c.state == Chunk::State::Damaged)
            return damaged(c.error);
        // More data than the directory promised is damage too, and is never written.
        if (c.size > member.size - written)
            return damaged("データが記録された長さを超えています");
        crc = crc32_gzip_refl(crc, c.data.get(), c.size);
        for (size_t done = 0; done < c.size;) {
            const ssize_t n = ::write(fd, c.data.get() + done, c.size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                CopyOutcome o;
                o.error = std::strerror(errno);
                return o;
            }
            done += static_cast<size_t>(n);
        }
        written += c.size;
        if (progress && !progress(written)) {
            CopyOutcome o;
            o.cancelled = true;
            o.error = "cancelled";
            return o;
        }
        if (c.state == Chunk::State::End)
            break;
    }
    if (written != member.size)
        return damaged("長さが一致しません");
    if (crc != member.crc)
        return damaged("CRC が一致しません");
    CopyOutcome o;
    o.ok = true;
    return o;
}

} // namespace archiver::zip
