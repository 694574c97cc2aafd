#pragma once

#include "app/FolderNames.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace app
{

// The list order of a folder's names, worked out as they are read. A sort key folds each
// character as a comparison without regard to case does (see SortKeys.cpp); the keys of a stretch
// of names are sorted as a run, and runs are merged into the order.
//
// Once started, a thread of its own keys and sorts each stretch handed to it while the folder is
// read on, merging runs as they pile up, so that little is left to do when the folder ends. It
// reads only names already handed over; the reader must wait for it (waitIdle) before the names
// move to a larger place.
class SortKeys final
{
public:
    // Where the names are: their bytes and each one's start.
    struct View {
        const char* bytes = nullptr;
        const quint32* starts = nullptr;
    };

    explicit SortKeys(size_t expectedNames);
    ~SortKeys();
    SortKeys(const SortKeys&) = delete;
    SortKeys& operator=(const SortKeys&) = delete;

    // Sorts the names handed over from now on on a thread of its own.
    void startThread();
    bool threaded() const { return m_thread.joinable(); }
    // The names before `count` are read; the thread takes the ones it has not had yet.
    void handOver(quint32 count, View view);
    // Waits until the thread has done with every name handed over.
    void waitIdle();
    // The list order of the `count` names, all read.
    Indices order(quint32 count, View view);

    struct Key {
        quint64 head[2];
        quint32 index;  // of the name
        quint32 stored; // offset of the stored key, or kAscii
    };

private:
    void run();
    // Keys and sorts the names [from, to) as a run, then merges runs of like size.
    void sortRun(quint32 from, quint32 to, View view);
    void add(quint32 index);
    bool less(const Key& a, const Key& b) const
    {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        return lessAfterHead(a, b);
    }
    bool lessAfterHead(const Key& a, const Key& b) const;
    QByteArrayView bytesOf(quint32 index) const;
    quint32 storedLength(const Key& key) const;
    const unsigned char* storedKey(const Key& key) const;
    quint32 keyLength(const Key& key) const;
    unsigned char keyByte(const Key& key, quint32 at) const;
    // Whether the last two runs are to be merged now, while the folder is read or at its end.
    bool mergesLastRuns(bool whileReading) const;
    // Merges the last two runs into one.
    void mergeLastRuns();

    // Owned by whoever sorts: the thread while it runs, else the caller.
    View m_view;
    quint32 m_known = 0; // names [0, m_known) are in m_view
    PageVector<Key> m_list;
    PageVector<Key> m_scratch;
    std::vector<std::pair<size_t, size_t>> m_runs; // [begin, end) in m_list, in name order
    std::string m_keys;

    // Shared with the thread.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    View m_handedView;
    quint32 m_handed = 0; // names handed over
    quint32 m_taken = 0;  // names the thread has taken
    quint32 m_sorted = 0; // names the thread is done with
    bool m_closing = false;
    std::thread m_thread;
};

} // namespace app
