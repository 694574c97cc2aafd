#include "WorkerPool.h"

#include <algorithm>
#include <cstdlib>

namespace archiver
{

WorkerPool::WorkerPool(unsigned threads)
{
    threads = std::max(1u, threads);
    m_threads.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        m_threads.emplace_back([this, i] { work(i); });
}

WorkerPool::~WorkerPool()
{
    stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_exit = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

unsigned WorkerPool::defaultThreads()
{
    // KORAMO_EXTRACT_THREADS overrides the count (1 to 16), for measurements and tests.
    if (const char* env = std::getenv("KORAMO_EXTRACT_THREADS")) {
        const long n = std::strtol(env, nullptr, 10);
        if (n >= 1 && n <= 16)
            return static_cast<unsigned>(n);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 4u);
}

void WorkerPool::submit(std::shared_ptr<Item> item)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stop.load()) {
            item->m_done = true;
            return;
        }
        m_queue.push_back(std::move(item));
    }
    m_wake.notify_one();
}

bool WorkerPool::waitDone(const Item& item, std::chrono::milliseconds interval)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_done.wait_for(lock, interval, [&] { return item.m_done; });
}

bool WorkerPool::ran(const Item& item)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return item.m_ran;
}

void WorkerPool::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop.store(true);
        for (const std::shared_ptr<Item>& item : m_queue)
            item->m_done = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    m_done.notify_all();
}

void WorkerPool::work(unsigned worker)
{
    for (;;) {
        std::shared_ptr<Item> item;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_exit || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
            item->m_ran = true;
        }
        item->run(worker, m_stop);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            item->m_done = true;
        }
        m_done.notify_all();
    }
}

} // namespace archiver
