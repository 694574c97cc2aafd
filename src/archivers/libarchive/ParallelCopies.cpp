#include "ParallelCopies.h"

#include <algorithm>
#include <unistd.h>

namespace archiver
{

struct ParallelCopies::Copy final : WorkerPool::Item {
    Copy(ParallelCopies& owner, size_t at, std::string name, int into)
        : copies(owner), position(at), rawName(std::move(name)), fd(into)
    {
    }

    void run(unsigned worker, const std::atomic<bool>& stop) override
    {
        outcome.ran = true;
        Worker& w = copies.m_workers[worker];
        if (!w.reader || w.next > position) {
            w.reader = copies.m_open();
            w.next = 0;
        }
        if (!w.reader) {
            outcome.error = "cannot open";
            outcome.readFailed = true;
            return;
        }
        ArchiveEntry e;
        while (w.next <= position) {
            if (stop.load()) {
                outcome.stopped = true;
                return;
            }
            if (w.reader->next(e) != EntryReader::Step::Entry) {
                outcome.error = w.reader->error().empty() ? "damaged archive" : w.reader->error();
                outcome.readFailed = true;
                w.reader.reset();
                return;
            }
            if (w.next++ < position)
                w.reader->skipData();
        }
        if (e.name != rawName) {
            outcome.error = "damaged archive";
            outcome.readFailed = true;
            w.reader.reset();
            return;
        }
        outcome.ok = w.reader->copyData(fd, [&](uint64_t) {
            if (!stop.load(std::memory_order_relaxed))
                return true;
            outcome.stopped = true;
            return false;
        });
        if (!outcome.ok) {
            outcome.error = w.reader->error();
            outcome.readFailed = w.reader->readFailed();
            if (w.reader->fatal())
                w.reader.reset();
        }
    }

    ParallelCopies& copies;
    size_t position;
    std::string rawName;
    int fd;
    Outcome outcome; // written by the worker, read after the pool says it is done
};

ParallelCopies::ParallelCopies(OpenReader open, unsigned threads)
    : m_open(std::move(open)), m_limit(4 * std::max(1u, threads)), m_pool(threads)
{
    m_workers.resize(m_pool.threads());
}

ParallelCopies::~ParallelCopies()
{
    m_pool.stop();
}

ParallelCopies::Entry& ParallelCopies::open()
{
    return m_entries.emplace_back();
}

void ParallelCopies::start(Entry& entry, size_t position, const std::string& rawName)
{
    entry.copy = std::make_shared<Copy>(*this, position, rawName, entry.fd);
    m_pool.submit(entry.copy);
}

bool ParallelCopies::settle(const std::function<void(Entry&, const Outcome&)>& finish, bool all,
                            const std::function<bool(const Entry&)>& keepGoing, size_t keep)
{
    using namespace std::chrono_literals;
    while (m_entries.size() > keep) {
        Entry& head = m_entries.front();
        const bool mustWait = all || m_stopped || m_entries.size() > m_limit;
        // Asked before each member too, not only when one keeps us waiting: members that each
        // copy quickly would otherwise all take their names after the user cancelled.
        const auto askKeepGoing = [&] {
            if (!m_stopped && keepGoing && !keepGoing(head))
                stop();
        };
        if (mustWait)
            askKeepGoing();
        if (head.copy) {
            while (!m_pool.waitDone(*head.copy, mustWait ? 100ms : 0ms)) {
                if (!mustWait)
                    return !m_stopped;
                askKeepGoing();
            }
        }
        Outcome outcome;
        if (head.copy && m_pool.ran(*head.copy))
            outcome = head.copy->outcome;
        finish(head, outcome);
        m_entries.pop_front();
    }
    return !m_stopped;
}

void ParallelCopies::stop()
{
    m_stopped = true;
    m_pool.stop();
}

bool ParallelCopies::pending(const std::string& target) const
{
    for (const Entry& e : m_entries) {
        if (e.target.empty())
            continue;
        if (target == e.target ||
            (target.size() > e.target.size() && target[e.target.size()] == '/' &&
             target.compare(0, e.target.size(), e.target) == 0))
            return true;
    }
    return false;
}

} // namespace archiver
