#include "OrderedDecodes.h"

#include "UnlhaSupport.h"

namespace lzh
{

namespace
{
// Writes to the temporary file until the pool stops.
class StoppableSink final : public ByteSink
{
public:
    StoppableSink(int fd, const std::atomic<bool>& stop) : m_sink(fd), m_stop(stop) {}
    bool write(const uint8_t* data, size_t size) override
    {
        if (m_stop.load(std::memory_order_relaxed)) {
            m_stopped = true;
            return false;
        }
        return m_sink.write(data, size);
    }
    bool stopped() const { return m_stopped; }

private:
    unlha::FdSink m_sink;
    const std::atomic<bool>& m_stop;
    bool m_stopped = false;
};
} // namespace

struct OrderedDecodes::Decode final : archiver::WorkerPool::Item {
    Decode(ArchiveFile& source, const LzhMember& of, int into,
           std::vector<std::unique_ptr<LzhDecoder>>& perWorker)
        : file(source), member(of), fd(into), decoders(perWorker)
    {
    }
    void run(unsigned worker, const std::atomic<bool>& stop) override
    {
        StoppableSink sink(fd, stop);
        ArchiveFile::Range source(file, member.dataOffset, member.compressedSize);
        outcome.ok = decoders[worker]->decode(member.method, source, member.compressedSize,
                                              member.originalSize, sink, outcome.crc, outcome.why);
        outcome.stopped = sink.stopped();
    }

    ArchiveFile& file;
    const LzhMember& member;
    int fd;
    std::vector<std::unique_ptr<LzhDecoder>>& decoders;
    Outcome outcome; // written by the worker, read after waitDone
};

OrderedDecodes::OrderedDecodes(ArchiveFile& file, unsigned threads, std::function<bool()> cancelled)
    : m_file(file), m_cancelled(std::move(cancelled)), m_limit(4 * std::max(1u, threads)),
      m_pool(threads)
{
    for (unsigned i = 0; i < m_pool.threads(); ++i)
        m_decoders.push_back(std::make_unique<LzhDecoder>());
}

OrderedDecodes::~OrderedDecodes()
{
    m_pool.stop();
}

OrderedDecodes::Entry& OrderedDecodes::open()
{
    return m_entries.emplace_back();
}

void OrderedDecodes::start(Entry& entry)
{
    entry.decode = std::make_shared<Decode>(m_file, *entry.member, entry.fd, m_decoders);
    m_pool.submit(entry.decode);
}

bool OrderedDecodes::settle(const std::function<void(Entry&, const Outcome&)>& finish, bool all,
                            size_t keep)
{
    using namespace std::chrono_literals;
    bool cancelled = false;
    // Once cancelled, the workers are stopped and the user is not asked again.
    const auto askCancel = [&] {
        if (!cancelled && m_cancelled && m_cancelled()) {
            cancelled = true;
            m_pool.stop();
        }
    };
    while (m_entries.size() > keep) {
        Entry& head = m_entries.front();
        const bool mustWait = all || cancelled || m_entries.size() > m_limit;
        // Asked before each member too, not only when one keeps us waiting: members that each
        // decode quickly would otherwise all be written after the user cancelled.
        if (mustWait)
            askCancel();
        if (head.decode) {
            while (!m_pool.waitDone(*head.decode, mustWait ? 100ms : 0ms)) {
                if (!mustWait)
                    return !cancelled;
                askCancel();
            }
        }
        Outcome outcome;
        if (head.decode) {
            outcome = head.decode->outcome;
            outcome.ran = m_pool.ran(*head.decode);
        }
        finish(head, outcome);
        m_entries.pop_front();
    }
    return !cancelled;
}

void OrderedDecodes::stop()
{
    m_pool.stop();
}

bool OrderedDecodes::pending(const std::string& path) const
{
    for (const Entry& e : m_entries) {
        if (e.target.empty())
            continue;
        if (path == e.target || (path.size() > e.target.size() && path[e.target.size()] == '/' &&
                                 path.compare(0, e.target.size(), e.target) == 0))
            return true;
    }
    return false;
}

} // namespace lzh
