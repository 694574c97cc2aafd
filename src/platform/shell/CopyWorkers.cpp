#include "platform/shell/CopyWorkers.h"

#include <algorithm>

namespace platform::filecopy
{

int CopyWorkers::threadsFor(unsigned cores)
{
    return int(std::clamp<unsigned>(cores, 1, 3));
}

CopyWorkers::CopyWorkers(int threads)
{
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

CopyWorkers::~CopyWorkers()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_skipping = true;
    }
    m_jobAdded.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void CopyWorkers::add(const std::shared_ptr<Job>& job)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(job);
        wake = m_idleWorkers > 0;
    }
    if (wake)
        m_jobAdded.notify_one();
}

bool CopyWorkers::done(const Job& job)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return job.finished;
}

void CopyWorkers::waitFor(const Job& job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waitingForJob;
    m_jobDone.wait(lock, [&job] { return job.finished; });
    --m_waitingForJob;
}

void CopyWorkers::skipWaiting()
{
    std::deque<std::shared_ptr<Job>> dropped;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_skipping = true;
        dropped.swap(m_queue);
        for (const std::shared_ptr<Job>& job : dropped) {
            job->skipped = true;
            job->finished = true;
        }
    }
    m_jobDone.notify_all();
}

void CopyWorkers::allowAgain()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_skipping = false;
}

void CopyWorkers::work()
{
    CopyMemo memo;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idleWorkers;
        m_jobAdded.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        --m_idleWorkers;
        if (m_queue.empty())
            return; // stopping
        const std::shared_ptr<Job> job = m_queue.front();
        m_queue.pop_front();
        if (m_skipping) {
            job->skipped = true;
        } else {
            lock.unlock();
            const At source{job->sourceFolder ? job->sourceFolder->get() : AT_FDCWD,
                            job->sourceName};
            const At target{job->targetFolder->get(), job->targetName, job->targetDevice};
            job->result = copyToPart(
                source, job->info, target, job->part,
                [&job](qint64 bytes) {
                    job->copied += bytes;
                    return true;
                },
                job->reason, &memo);
            lock.lock();
        }
        job->finished = true;
        if (m_waitingForJob > 0)
            m_jobDone.notify_all();
    }
}

} // namespace platform::filecopy
