#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <thread>

namespace platform
{

// Adds up a folder's contents on a thread of its own (links not followed), reporting running
// totals now and then and once at the end. Stopped and joined when destroyed.
class FolderSizeCounter final
{
public:
    struct Totals {
        qint64 bytes = 0;
        qint64 files = 0;
        qint64 folders = 0;
        bool finished = false;
    };
    // Called on the counting thread; the receiver passes it on to its own thread.
    using Report = std::function<void(const Totals&)>;

    FolderSizeCounter(const QByteArray& folder, Report report);
    ~FolderSizeCounter();
    FolderSizeCounter(const FolderSizeCounter&) = delete;
    FolderSizeCounter& operator=(const FolderSizeCounter&) = delete;

private:
    void count(const QByteArray& folder, Totals& totals, qint64& lastReport);

    Report m_report;
    QElapsedTimer m_clock;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace platform
