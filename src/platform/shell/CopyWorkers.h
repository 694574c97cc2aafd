#pragma once

#include "platform/shell/FileCopy.h"
#include "platform/shell/FolderWalk.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/stat.h>

// Threads that copy the bytes of small files into their hidden parts while the thread that walks
// the tree goes on: the walk, the questions, the progress and the names stay with that thread,
// which takes each copy back in the order it gave them.
namespace platform::filecopy
{

class CopyWorkers final
{
public:
    using Folder = std::shared_ptr<folderwalk::FileDescriptor>;

    // One file to copy. The folders stay open as long as the job is held.
    struct Job {
        Folder sourceFolder; // null: sourceName is a path
        QByteArray sourceName;
        struct stat info {
        };
        Folder targetFolder;
        QByteArray targetName; // inside targetFolder
        dev_t targetDevice = 0;

        // Set by the worker once it is done (done() is true).
        Result result = Result::Failed;
        bool skipped = false; // dropped before it began (skipWaiting)
        QByteArray part;      // the part written, inside targetFolder, when result is Ok
        qint64 copied = 0;
        QString reason;

    private:
        friend class CopyWorkers;
        bool finished = false; // guarded by the workers' mutex
    };

    // Threads for a machine of this many cores: one a core, at most three. The thread that
    // walks has less to do than each of them (most of a small file's cost is in the kernel's
    // creating and filling it), so they share its core.
    static int threadsFor(unsigned cores);

    explicit CopyWorkers(int threads);
    ~CopyWorkers(); // jobs not begun are dropped; waits for the ones under way
    CopyWorkers(const CopyWorkers&) = delete;
    CopyWorkers& operator=(const CopyWorkers&) = delete;

    void add(const std::shared_ptr<Job>& job);
    bool done(const Job& job);
    void waitFor(const Job& job);
    // Jobs not begun yet are dropped (marked done and skipped) until allowAgain().
    void skipWaiting();
    void allowAgain();

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_jobAdded;
    std::condition_variable m_jobDone;
    std::deque<std::shared_ptr<Job>> m_queue;
    bool m_stopping = false;
    bool m_skipping = false;
    // Waits are told only to whoever waits: most jobs are added while a worker is busy and
    // taken back once done, with no wake-up either way.
    int m_idleWorkers = 0;
    int m_waitingForJob = 0;
    std::vector<std::thread> m_threads;
};

} // namespace platform::filecopy
