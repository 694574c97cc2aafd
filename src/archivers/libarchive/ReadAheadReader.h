#pragma once

#include "EntryReader.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace archiver
{

class LibarchiveReader;

// Reads the members of an archive on a thread of its own, one step ahead of the extraction:
// while the extraction creates and writes one member's file, the next members are already
// being decoded. Meant for archives that are one compressed stream (a solid 7z, a tar.xz),
// whose members can only be reached by decoding everything before them.
//
// Entries and data blocks pass through a queue that holds at most about `budget` bytes (a
// single block bigger than that passes alone), so a member of any size is extracted with flat
// memory. The extraction sees the entries in archive order, exactly as
// the reader gives them; a member whose data it skips after all (an existing file kept, a
// path refused) has its decoded blocks dropped. Destroying the reader stops the thread after
// the block it is decoding.
class ReadAheadReader final : public EntryReader
{
public:
    // Whether the data of the member at `position` (0 the first) is wanted, asked on the
    // reading thread before its data is decoded: the data of the others is skipped there, as
    // the reader skips it (a seek where the format allows one). Without it, the data of every
    // file that is not encrypted is read. copyData fails for a member whose data was skipped.
    using Wanted = std::function<bool(const ArchiveEntry& entry, size_t position)>;

    static constexpr size_t kDefaultBudget = size_t(4) << 20;

    explicit ReadAheadReader(LibarchiveReader& reader, Wanted wanted = {},
                             size_t budget = kDefaultBudget);
    ~ReadAheadReader() override;
    ReadAheadReader(const ReadAheadReader&) = delete;
    ReadAheadReader& operator=(const ReadAheadReader&) = delete;

    Step next(ArchiveEntry& entry) override;
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress) override;
    void skipData() override;
    const std::string& error() const override { return m_error; }
    bool readFailed() const override { return m_readFailed; }
    bool fatal() const override { return m_fatal; }

    // For tests: the most bytes that were waiting in the queue at once, how many entries the
    // reading thread has taken from the reader so far, and whether it now waits for room in
    // the queue or has finished.
    size_t peakQueued() const;
    size_t entriesRead() const;
    bool stalled() const;

private:
    struct Record {
        enum class Type { Header, Block, End };
        Type type = Type::Header;
        // Header: the step and entry next() gave, and whether its data follows.
        Step step = Step::End;
        ArchiveEntry entry;
        bool hasData = false;
        // Block: data and where it goes.
        int64_t offset = 0;
        std::vector<char> data;
        // Header that is not an entry, and End: how reading went.
        bool ok = true;
        std::string error;
        bool readFailed = false;
        bool fatal = false;
        size_t cost() const;
    };

    void produce(Wanted wanted);
    // Waits for room, then queues the record; false when the reader is being stopped.
    bool push(Record&& record);
    // The next record, waiting for one as needed.
    Record take();
    void recycle(std::vector<char>&& buffer);
    // Drops what is left of the current member's data.
    void dropData();

    LibarchiveReader& m_reader;
    const size_t m_budget;
    // Shared with the reading thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_room;  // the queue has room again, or stop
    std::condition_variable m_ready; // records are waiting
    std::deque<Record> m_queue;
    std::vector<std::vector<char>> m_spare;
    size_t m_queued = 0;
    size_t m_peak = 0;
    size_t m_entriesRead = 0;
    bool m_producerWaits = false;
    bool m_consumerWaits = false;
    bool m_finished = false; // the reading thread queues nothing more
    bool m_stop = false;
    // The extraction's side.
    bool m_dataPending = false; // records of the current member's data are still to come
    std::string m_error;
    bool m_readFailed = false;
    bool m_fatal = false;
    std::thread m_thread; // last: starts when everything above is ready
};

} // namespace archiver
