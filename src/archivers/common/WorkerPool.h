#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace archiver
{

// A few threads that run work items in the order they were given, for extraction: the
// caller hands members over in archive order and collects them in that order too, so that
// questions and the report keep the archive's order while the members decode side by side.
class WorkerPool
{
public:
    class Item
    {
    public:
        virtual ~Item() = default;
        // worker: which of the pool's threads runs it (0 ... threads() - 1), for state kept per
        // thread. stop: set when the pool stops; long work looks at it and gives up.
        virtual void run(unsigned worker, const std::atomic<bool>& stop) = 0;

    private:
        friend class WorkerPool;
        bool m_done = false; // guarded by the pool's mutex
        bool m_ran = false;
    };

    explicit WorkerPool(unsigned threads);
    // Stops and waits for the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The threads an extraction uses: one per core, at least one, at most four; the
    // environment variable KORAMO_EXTRACT_THREADS sets another count.
    static unsigned defaultThreads();
    unsigned threads() const { return static_cast<unsigned>(m_threads.size()); }

    void submit(std::shared_ptr<Item> item);
    // Waits until the item is done or the interval has passed; true when it is done.
    bool waitDone(const Item& item, std::chrono::milliseconds interval);
    // False when the item was dropped by stop() before it started.
    bool ran(const Item& item);
    // Running items are told to stop and items not started yet are dropped (done, not run).
    void stop();
    bool stopping() const { return m_stop.load(); }

private:
    void work(unsigned worker);

    std::mutex m_mutex;
    std::condition_variable m_wake; // new work or stop
    std::condition_variable m_done; // an item finished
    std::deque<std::shared_ptr<Item>> m_queue;
    std::atomic<bool> m_stop{false};
    bool m_exit = false;
    std::vector<std::thread> m_threads;
};

} // namespace archiver
