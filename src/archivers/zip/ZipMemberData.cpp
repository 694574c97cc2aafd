#include "ZipMemberData.h"

#include "LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

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

// A piece of the member's data as it comes out; the last one says how the data ended.
struct Chunk {
    enum class State { More, End, Damaged };
    std::vector<unsigned char> data;
    size_t size = 0;
    State state = State::More;
    std::string error;
};

// The member's data in chunks: stored bytes as they are, deflated ones inflated.
class Source
{
public:
    Source(int fd, uint64_t start, uint64_t compressed, uint16_t method)
        : m_fd(fd), m_pos(start), m_left(compressed), m_stored(method == 0)
    {
        if (!m_stored) {
            m_in.resize(kInput);
            m_ready = inflateInit2(&m_z, -MAX_WBITS) == Z_OK;
        }
    }
    ~Source()
    {
        if (!m_stored && m_ready)
            inflateEnd(&m_z);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    void fill(Chunk& c)
    {
        c.data.resize(kChunk);
        c.size = 0;
        c.state = Chunk::State::More;
        if (!m_stored && !m_ready)
            return fail(c, "zlib を初期化できません");
        while (c.size < kChunk) {
            if (m_stored) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk - c.size, m_left));
                if (n == 0) {
                    c.state = Chunk::State::End;
                    return;
                }
                if (!readAt(m_fd, c.data.data() + c.size, n, m_pos))
                    return fail(c, "書庫を読めません");
                take(n);
                c.size += n;
                continue;
            }
            if (m_z.avail_in == 0 && m_left > 0) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(kInput, m_left));
                if (!readAt(m_fd, m_in.data(), n, m_pos))
                    return fail(c, "書庫を読めません");
                take(n);
                m_z.next_in = m_in.data();
                m_z.avail_in = static_cast<uInt>(n);
            }
            m_z.next_out = c.data.data() + c.size;
            m_z.avail_out = static_cast<uInt>(kChunk - c.size);
            const int r = inflate(&m_z, Z_NO_FLUSH);
            c.size = kChunk - m_z.avail_out;
            if (r == Z_STREAM_END) {
                c.state = Chunk::State::End;
                return;
            }
            if (r == Z_BUF_ERROR && m_z.avail_in == 0 && m_left == 0)
                return fail(c, "圧縮データが途中で終わっています");
            if (r != Z_OK && r != Z_BUF_ERROR)
                return fail(c, m_z.msg ? std::string("圧縮データが壊れています: ") + m_z.msg
                                       : std::string("圧縮データが壊れています"));
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
    bool m_ready = false;
    z_stream m_z{};
    std::vector<unsigned char> m_in;
};

// Fills chunks on a thread of its own, at most kAheadChunks ahead of the one taken.
class Ahead
{
public:
    explicit Ahead(Source& source) : m_source(source), m_thread([this] { produce(); }) {}
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

    void take(Chunk& c)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_chunks.empty(); });
        // The buffer handed in is the one the caller is done with: it is filled again.
        std::swap(c, m_chunks.front());
        m_spare.push_back(std::move(m_chunks.front().data));
        m_chunks.pop_front();
        lock.unlock();
        m_changed.notify_all();
    }

private:
    void produce()
    {
        for (;;) {
            Chunk c;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_spare.empty()) {
                    c.data = std::move(m_spare.back());
                    m_spare.pop_back();
                }
            }
            m_source.fill(c);
            const bool last = c.state != Chunk::State::More;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_chunks.size() < kAheadChunks; });
            if (m_stop)
                return;
            m_chunks.push_back(std::move(c));
            lock.unlock();
            m_changed.notify_all();
            if (last)
                return;
        }
    }

    Source& m_source;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_chunks;
    std::vector<std::vector<unsigned char>> m_spare;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything above is ready
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

    Source source(archiveFd, start, member.compressedSize, member.method);
    std::unique_ptr<Ahead> thread;
    if (ahead && member.size >= kAheadFrom)
        thread = std::make_unique<Ahead>(source);
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
        crc = static_cast<uint32_t>(crc32_z(crc, c.data.data(), c.size));
        for (size_t done = 0; done < c.size;) {
            const ssize_t n = ::write(fd, c.data.data() + done, c.size - done);
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
