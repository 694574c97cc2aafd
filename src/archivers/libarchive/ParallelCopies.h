#pragma once

#include "EntryReader.h"
#include "WorkerPool.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archiver
{

// Members of one extraction copied side by side, each worker through a reader of its own on
// the same archive (a format whose members can be reached without decoding the ones before,
// as ZIP's), and finished in archive order by the extraction's thread. Every entry holds the
// calls the extraction made for its member while it was prepared (report lines, folders
// made); they are replayed when the entry's turn comes, so the report reads as if the members
// had been extracted one after the other.
class ParallelCopies
{
public:
    struct Copy;
    // How a copy went.
    struct Outcome {
        bool ran = false;     // false: dropped by a cancel before it started
        bool stopped = false; // given up halfway by a cancel
        bool ok = false;
        bool readFailed = false; // the archive's data was damaged (not a write error)
        std::string error;
    };
    struct Entry {
        std::vector<std::function<void()>> calls; // replayed in order at the entry's turn
        // For a file being copied: where it goes and how it is finished.
        int folderFd = -1;
        int fd = -1;
        std::string temp, fileName, target, shown;
        ArchiveEntry entry;
        std::shared_ptr<Copy> copy;
    };

    using OpenReader = std::function<std::unique_ptr<EntryReader>()>;

    ParallelCopies(OpenReader open, unsigned threads);
    ~ParallelCopies();
    ParallelCopies(const ParallelCopies&) = delete;
    ParallelCopies& operator=(const ParallelCopies&) = delete;

    Entry& open();
    // Copies the member at `position` (0 the first) into the newest entry's fd; rawName is the
    // name the reader gives it, checked by the worker's reader.
    void start(Entry& entry, size_t position, const std::string& rawName);
    // Finishes the entries at the head whose copy is done; with `all`, or while more than the
    // limit wait, waits for them (asking `keepGoing` every tenth of a second; false stops the
    // workers, and every entry but the `keep` newest is finished then). False after a stop.
    bool settle(const std::function<void(Entry&, const Outcome&)>& finish, bool all,
                const std::function<bool(const Entry&)>& keepGoing, size_t keep = 0);
    void stop();
    // True when a waiting entry writes to target, or to a folder that target lies in.
    bool pending(const std::string& target) const;
    Entry* newest() { return m_entries.empty() ? nullptr : &m_entries.back(); }

private:
    struct Worker {
        std::unique_ptr<EntryReader> reader;
        size_t next = 0; // the position next() returns
    };

    OpenReader m_open;
    std::vector<Worker> m_workers;
    std::deque<Entry> m_entries;
    size_t m_limit;
    bool m_stopped = false;
    WorkerPool m_pool; // last: its threads end before the readers go
};

} // namespace archiver
