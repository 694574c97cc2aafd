#pragma once

#include "ArchiveFile.h"
#include "LzhDecoder.h"
#include "LzhMember.h"
#include "Report.h"
#include "WorkerPool.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lzh
{

// Members of one extraction decoded side by side on the pool's threads and finished in archive
// order. The extraction hands each member over as an entry: the lines it reported while it was
// prepared (folders made, questions answered) and, for a file, a decode into an open temporary
// file. Entries are finished strictly in the order they were opened, so the report reads as if
// the members had been extracted one after the other.
class OrderedDecodes
{
public:
    struct Decode;
    struct Entry {
        archiver::Report log; // lines written while the member was prepared
        int code = 0;         // the first error code of those lines
        const LzhMember* member = nullptr;
        std::string target; // where the file goes; empty for an entry without a decode
        std::string temp;   // the temporary file the decode writes
        int fd = -1;
        std::shared_ptr<Decode> decode;
    };
    // How a decode went: ok and the CRC, or why not.
    struct Outcome {
        bool ran = false;     // false: dropped by a cancel before it started
        bool stopped = false; // given up halfway by a cancel
        bool ok = false;
        uint16_t crc = 0;
        std::string why;
    };

    // cancelled is asked while the caller waits for a member.
    OrderedDecodes(ArchiveFile& file, unsigned threads, std::function<bool()> cancelled);
    ~OrderedDecodes();
    OrderedDecodes(const OrderedDecodes&) = delete;
    OrderedDecodes& operator=(const OrderedDecodes&) = delete;

    // A new entry at the end of the order.
    Entry& open();
    // Starts decoding the newest entry's member into its fd.
    void start(Entry& entry);
    // Finishes the entries at the head whose decode is done (through finish); with `all`, or
    // while more than the limit are waiting, waits for them. `keep` newest entries are left.
    // False when the user cancelled while it waited: the workers were stopped then and every
    // entry but the kept ones finished.
    bool settle(const std::function<void(Entry&, const Outcome&)>& finish, bool all,
                size_t keep = 0);
    // Stops the workers; entries whose decode did not end are finished as not ran or failed.
    void stop();
    // True when a waiting entry writes to path or to a folder that path lies in.
    bool pending(const std::string& path) const;
    bool empty() const { return m_entries.empty(); }

private:
    ArchiveFile& m_file;
    std::function<bool()> m_cancelled;
    std::vector<std::unique_ptr<LzhDecoder>> m_decoders; // one per worker
    std::deque<Entry> m_entries;
    size_t m_limit;
    archiver::WorkerPool m_pool; // last: its threads end before the decoders go
};

} // namespace lzh
