#include "ReadAheadReader.h"

#include "LibarchiveReader.h"

#include <algorithm>
#include <utility>

namespace archiver
{

namespace
{

// A waiting extraction is woken when this many records are queued (or an eighth of the
// budget in bytes), not for each one: members of a few kilobytes would otherwise cost a
// sleep and a wake-up each.
constexpr size_t kBatch = 64;
constexpr size_t kRecordCost = 64;
constexpr size_t kSpareBuffers = 16;

} // namespace

size_t ReadAheadReader::Record::cost() const
{
    return kRecordCost + entry.name.size() + data.size() + error.size();
}

ReadAheadReader::ReadAheadReader(LibarchiveReader& reader, Wanted wanted, size_t budget)
    : m_reader(reader), m_budget(std::max<size_t>(budget, 1)),
      m_thread([this, w = std::move(wanted)]() mutable { produce(std::move(w)); })
{
}

ReadAheadReader::~ReadAheadReader()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    m_thread.join();
}

size_t ReadAheadReader::peakQueued() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peak;
}

size_t ReadAheadReader::entriesRead() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entriesRead;
}

bool ReadAheadReader::stalled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_producerWaits || m_finished;
}

void ReadAheadReader::produce(Wanted wanted)
{
    try {
        for (size_t position = 0;; ++position) {
            Record header;
            header.step = m_reader.next(header.entry);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_entriesRead;
            }
            if (header.step != Step::Entry) {
                header.ok = false;
                header.error = m_reader.error();
                header.readFailed = m_reader.readFailed();
                header.fatal = m_reader.fatal();
                push(std::move(header));
                break;
            }
            const ArchiveEntry& e = header.entry;
            const bool hasData = wanted ? wanted(e, position)
                                        : e.kind == ArchiveEntry::Kind::File && !e.encrypted &&
                                              e.unsupported.empty();
            header.hasData = hasData;
            if (!push(std::move(header)))
                return;
            if (!hasData) {
                m_reader.skipData();
                continue;
            }
            bool stopped = false;
            const bool ok = m_reader.readBlocks([&](const char* data, size_t size, int64_t offset) {
                Record block;
                block.type = Record::Type::Block;
                block.offset = offset;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    if (!m_spare.empty()) {
                        block.data = std::move(m_spare.back());
                        m_spare.pop_back();
                    }
                }
                block.data.assign(data, data + size);
                stopped = !push(std::move(block));
                return !stopped;
            });
            if (stopped)
                return;
            Record end;
            end.type = Record::Type::End;
            end.ok = ok;
            if (!ok) {
                end.error = m_reader.error();
                end.readFailed = m_reader.readFailed();
                end.fatal = m_reader.fatal();
            }
            const bool fatal = end.fatal;
            Record after;
            after.step = Step::Error;
            after.ok = false;
            after.error = end.error;
            after.readFailed = true;
            after.fatal = true;
            if (!push(std::move(end)))
                return;
            // Past damage the reader cannot find the next member: whoever skips this one
            // learns of the damage at the next entry.
            if (fatal) {
                push(std::move(after));
                break;
            }
        }
    } catch (...) {
        // Out of memory on this thread: the extraction learns of it at its next step.
        std::lock_guard<std::mutex> lock(m_mutex);
        Record failed;
        failed.step = Step::Error;
        failed.ok = false;
        failed.error = "out of memory";
        failed.fatal = true;
        m_queue.push_back(std::move(failed));
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_ready.notify_one();
}

bool ReadAheadReader::push(Record&& record)
{
    const size_t cost = record.cost();
    std::unique_lock<std::mutex> lock(m_mutex);
    // One record always fits into an empty queue, whatever its size.
    while (!m_stop && m_queued > 0 && m_queued + cost > m_budget) {
        m_producerWaits = true;
        if (m_consumerWaits)
            m_ready.notify_one();
        m_room.wait(lock);
    }
    m_producerWaits = false;
    if (m_stop)
        return false;
    m_queued += cost;
    m_peak = std::max(m_peak, m_queued);
    m_queue.push_back(std::move(record));
    const bool wake =
        m_consumerWaits &&
        (m_queue.size() >= kBatch || m_queued >= m_budget / 8 ||
         (m_queue.back().type == Record::Type::Header && m_queue.back().step != Step::Entry));
    lock.unlock();
    if (wake)
        m_ready.notify_one();
    return true;
}

ReadAheadReader::Record ReadAheadReader::take()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_queue.empty()) {
        m_consumerWaits = true;
        m_ready.wait(lock, [this] {
            if (m_finished)
                return true;
            if (m_queue.empty())
                return false;
            return m_producerWaits || m_queue.size() >= kBatch || m_queued >= m_budget / 8 ||
                   (m_queue.back().type == Record::Type::Header &&
                    m_queue.back().step != Step::Entry);
        });
        m_consumerWaits = false;
        if (m_queue.empty()) {
            // Nothing more comes: the end, as the reader gave it before.
            Record none;
            none.step = Step::End;
            return none;
        }
    }
    Record r = std::move(m_queue.front());
    m_queue.pop_front();
    m_queued -= r.cost();
    const bool wake = m_producerWaits && m_queued <= m_budget / 2;
    lock.unlock();
    if (wake)
        m_room.notify_one();
    return r;
}

void ReadAheadReader::recycle(std::vector<char>&& buffer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spare.size() < kSpareBuffers)
        m_spare.push_back(std::move(buffer));
}

void ReadAheadReader::dropData()
{
    while (m_dataPending) {
        Record r = take();
        if (r.type == Record::Type::Block)
            recycle(std::move(r.data));
        else
            m_dataPending = false;
    }
}

ReadAheadReader::Step ReadAheadReader::next(ArchiveEntry& entry)
{
    dropData();
    Record r = take();
    if (r.type != Record::Type::Header) {
        m_error = "damaged archive";
        m_readFailed = true;
        m_fatal = true;
        return Step::Error;
    }
    m_dataPending = r.step == Step::Entry && r.hasData;
    m_error = std::move(r.error);
    m_readFailed = r.readFailed;
    m_fatal = r.fatal;
    if (r.step == Step::Entry)
        entry = std::move(r.entry);
    return r.step;
}

bool ReadAheadReader::copyData(int fd, const std::function<bool(uint64_t)>& progress)
{
    m_readFailed = false;
    m_fatal = false;
    if (!m_dataPending) {
        m_error = "the member's data was skipped";
        return false;
    }
    uint64_t written = 0;
    for (;;) {
        Record r = take();
        if (r.type == Record::Type::End) {
            m_dataPending = false;
            m_error = std::move(r.error);
            m_readFailed = r.readFailed;
            m_fatal = r.fatal;
            return r.ok;
        }
        if (r.type != Record::Type::Block) {
            m_dataPending = false;
            m_error = "damaged archive";
            m_readFailed = true;
            m_fatal = true;
            return false;
        }
        bool damaged = false;
        const bool ok = LibarchiveReader::writeBlockAt(fd, r.data.data(), r.data.size(), r.offset,
                                                       written, m_error, damaged);
        recycle(std::move(r.data));
        // What is left of the member is dropped at the next step.
        if (!ok) {
            m_readFailed = damaged;
            return false;
        }
        if (progress && !progress(written)) {
            m_error = "cancelled";
            return false;
        }
    }
}

void ReadAheadReader::skipData()
{
    dropData();
}

} // namespace archiver
