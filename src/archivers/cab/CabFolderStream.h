#pragma once

#include "CabCabinet.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace archiver
{

// The output of one stored or MSZIP folder from its start, block after block. Each MSZIP block
// is "CK" and a deflate stream of its own whose window is the 32 KiB of output before it; every
// block's checksum (when one is stored) and size are checked. With `ahead` the blocks are
// decoded on a thread of the stream's own, a few chunks ahead of the reader, so that decoding
// and writing the members share the cores. A damaged block ends the stream there: the output
// before it stays good, nothing after it is given out.
class CabFolderStream
{
public:
    // Decoded bytes travel in chunks of this size, plus the window before them.
    static constexpr size_t kChunk = size_t(1) << 20;
    static constexpr size_t kWindow = 32 * 1024;
    static constexpr size_t kAhead = 6; // chunks decoded and waiting at most

    struct Chunk {
        std::vector<unsigned char> buffer; // the window before, then the output
        size_t end = 0;                    // the output is [kWindow, end)
        uint64_t start = 0;                // the folder offset of buffer[kWindow]
        bool last = false;                 // nothing follows (the end or the damage)
        std::string damage;                // why the output stops here, when it is damaged
    };
    class Decoder;

    // The folder must outlive the stream; fd is only read with pread.
    CabFolderStream(int fd, const CabCabinet::Folder& folder, bool ahead);
    ~CabFolderStream();
    CabFolderStream(const CabFolderStream&) = delete;
    CabFolderStream& operator=(const CabFolderStream&) = delete;

    // The folder offset of the next byte.
    uint64_t position() const { return m_current.start + (m_at - kWindow); }
    // The decoded bytes from the position on: size is 0 at the folder's end; false (with the
    // reason in damage()) where the folder is damaged.
    bool peek(const unsigned char*& data, size_t& size);
    void advance(size_t size) { m_at += size; }
    const std::string& damage() const { return m_damage; }

private:
    void nextChunk();
    void produce();

    std::unique_ptr<Decoder> m_decoder;
    Chunk m_current;
    size_t m_at = kWindow;
    std::string m_damage;

    // Decoding ahead: chunks ready in order, and buffers handed back for reuse.
    bool m_ahead;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_ready;
    std::vector<std::vector<unsigned char>> m_spare;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything above is ready
};

} // namespace archiver
