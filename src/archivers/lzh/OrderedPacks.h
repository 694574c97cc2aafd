#pragma once

#include "LzhEncoder.h"
#include "PackedMember.h"
#include "WorkerPool.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lzh
{

// Files of one archive compressed side by side on the pool's threads and taken in the order
// they were started, so that members are written, and reported, in the archive's order. The
// files being compressed and waiting to be written stay within a byte budget (their sizes
// bound their compressed bytes); a file larger than the budget's share is not taken, the
// caller compresses it straight into the archive when its turn comes.
class OrderedPacks
{
public:
    OrderedPacks(const std::string& method, unsigned threads, uint64_t budget);
    ~OrderedPacks();
    OrderedPacks(const OrderedPacks&) = delete;
    OrderedPacks& operator=(const OrderedPacks&) = delete;

    // Whether a file of this size is compressed here at all.
    bool takes(uint64_t size) const { return size <= m_budget / 2; }
    // Whether it can start now without passing the budget or the count of waiting files.
    bool room(uint64_t size) const;
    // Starts compressing the file; its result comes from take() after those started before.
    void start(const std::string& source, uint64_t size);
    // Waits for the oldest started file, asking cancelled while it waits. False when the user
    // cancelled: every worker is stopped then.
    bool take(PackedMember& out, const std::function<bool()>& cancelled);
    bool empty() const { return m_waiting.empty(); }

private:
    struct Pack;
    std::string m_method;
    uint64_t m_budget;
    uint64_t m_inFlight = 0;
    size_t m_limit;
    std::vector<std::unique_ptr<LzhEncoder>> m_encoders; // one per worker
    std::deque<std::shared_ptr<Pack>> m_waiting;
    archiver::WorkerPool m_pool; // last: its threads end before the encoders go
};

} // namespace lzh
