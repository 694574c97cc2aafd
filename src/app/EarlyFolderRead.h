#pragma once

#include "app/FolderNames.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace app
{

// A folder's names read before the window exists: the program started on a folder begins
// reading it at once, on a worker, so that the reading overlaps the window's own start instead
// of following it. The file list takes the read when it is asked for the same folder; a read
// nobody takes is stopped when the start-up is over.
class EarlyFolderRead final
{
public:
    enum class Size {
        Unreadable, // missing, or no permission to read
        Small,      // read whole: at most `atOnce` entries
        Large,      // more; the rest is read and ordered on the worker
    };
    using Whenread = std::function<void(std::shared_ptr<const FolderNames>)>;

    // Starts reading `folder`; a read started before and not taken is dropped. Folders of up
    // to `atOnce` entries count as small.
    static void start(const QString& folder, qsizetype atOnce);
    // The read of `folder` if one was started for it and has not been taken; else null.
    static std::shared_ptr<EarlyFolderRead> take(const QString& folder);
    // Stops and drops a read that was not taken.
    static void withdraw();

    // Waits until the folder is known to be unreadable, small or large.
    Size waitForSize();
    // The names of a small folder.
    std::shared_ptr<const FolderNames> names() const;
    // For a large folder: `then` runs with the names once they are read and ordered (on the
    // worker, or at once when they are), or with null when the read was stopped.
    void whenRead(Whenread then);
    // Stored true, stops the read.
    std::shared_ptr<std::atomic<bool>> stopFlag() const { return m_stop; }

    explicit EarlyFolderRead(QString folder);

private:
    void run(qsizetype atOnce);
    void settle(Size size, std::shared_ptr<const FolderNames> names, bool done);

    const QString m_folder;
    const std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_sized = false;
    bool m_done = false;
    Size m_size = Size::Unreadable;
    std::shared_ptr<const FolderNames> m_names;
    Whenread m_then;
};

// The same folder named two ways: an absolute path without "." and ".." steps or doubled
// slashes (links are not followed).
QString cleanFolderPath(const QString& path);

} // namespace app
