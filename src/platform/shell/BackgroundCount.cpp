#include "platform/shell/BackgroundCount.h"

#include <chrono>

namespace platform
{

BackgroundCount::BackgroundCount(Counter counter)
{
    m_thread = std::thread([this, counter = std::move(counter)] {
        const qint64 result = counter(m_stop);
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_result.store(result);
        m_done.store(true);
        m_doneChanged.notify_all();
    });
}

BackgroundCount::~BackgroundCount()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool BackgroundCount::waitFor(int milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_doneChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return m_done.load(); });
}

} // namespace platform
