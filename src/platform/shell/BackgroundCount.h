#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform
{

// Runs a count (of a tree's items and bytes) on a thread of its own, so that the thread that
// shows the progress window keeps answering and can cancel while the count runs. The count
// is given a stop flag to look at now and then; destroying the object stops and joins it.
class BackgroundCount final
{
public:
    using Counter = std::function<qint64(const std::atomic<bool>& stop)>;

    explicit BackgroundCount(Counter counter);
    ~BackgroundCount();
    Q_DISABLE_COPY_MOVE(BackgroundCount)

    // Waits at most the given time for the count; true once it is done.
    bool waitFor(int milliseconds);
    // The result, once waitFor returned true.
    qint64 result() const { return m_result.load(); }
    void stop() { m_stop = true; }

private:
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    // Atomic as well as guarded: a timed wait on a steady clock is not seen as taking the lock
    // by every thread checker, and the result is read without it.
    std::atomic<bool> m_done{false};
    std::atomic<qint64> m_result{0};
    std::thread m_thread;
};

} // namespace platform
