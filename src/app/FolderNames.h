#pragma once

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

#include <dirent.h>

namespace app
{

// Large arrays come straight from the system and go straight back to it when freed, so that the
// memory of a large folder's names is given back once they are no longer shown (memory from the
// heap would stay with the process).
template <typename T> struct PageAllocator {
    using value_type = T;
    PageAllocator() = default;
    template <typename U> PageAllocator(const PageAllocator<U>&) noexcept {}
    T* allocate(size_t n);
    void deallocate(T* p, size_t n) noexcept;
    template <typename U> bool operator==(const PageAllocator<U>&) const noexcept { return true; }
};
void* allocatePages(size_t bytes);
void freePages(void* p, size_t bytes) noexcept;
template <typename T> T* PageAllocator<T>::allocate(size_t n)
{
    return static_cast<T*>(allocatePages(n * sizeof(T)));
}
template <typename T> void PageAllocator<T>::deallocate(T* p, size_t n) noexcept
{
    freePages(p, n * sizeof(T));
}

template <typename T> using PageVector = std::vector<T, PageAllocator<T>>;
using Indices = PageVector<quint32>;

inline bool isAsciiName(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The file names of one folder, read once and kept as their bytes one after the other (each
// ending in a zero byte), with the list order worked out once: without regard to case, as
// QString::compare with Qt::CaseInsensitive orders them, equal ones in the order of the names
// themselves. A QString is made only for a name that is asked for.
class FolderNames final
{
public:
    qsizetype size() const { return static_cast<qsizetype>(m_starts.size()); }
    // The name's bytes, as the system gave them.
    QByteArrayView bytesOf(quint32 index) const
    {
        const quint32 start = m_starts[index];
        const quint32 end = index + 1 < m_starts.size() ? m_starts[index + 1]
                                                        : static_cast<quint32>(m_bytes.size());
        return QByteArrayView(m_bytes.data() + start, end - start - 1);
    }
    // The name as the program carries it (see NativePath.h).
    QString nameOf(quint32 index) const { return nameFrom(bytesOf(index)); }
    static QString nameFrom(QByteArrayView bytes);
    // Every name's index in list order.
    const Indices& order() const { return m_order; }
    // The bytes kept for the names, room not yet written included (it takes address space, but
    // no memory until it is written).
    size_t keptBytes() const;

private:
    friend class FolderReader;
    PageVector<char> m_bytes;
    Indices m_starts;
    Indices m_order;
};

// The entries shown: name indices in list order.
using ShownRows = std::shared_ptr<const Indices>;

// Reads the files of a folder (not folders; links to files count as files; dot files are left
// out; FIFOs, sockets and devices are listed and never opened) in steps, so that the first part
// can be read on one thread and the rest on another. Room for the names is reserved once, after
// the size the system gives for the folder.
class SortKeys;

class FolderReader final
{
public:
    explicit FolderReader(const QString& folder);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // False when the folder could not be opened (missing, or no permission to read).
    bool opened() const { return m_dir != nullptr; }
    // Reads up to `count` more entries of the folder (files or not). True once the folder has
    // been read to its end. Stops early, returning false, when `stop` becomes true.
    bool read(qsizetype count, const std::atomic<bool>* stop = nullptr);
    // From now on, the names read are put in order on a thread of their own as the reading goes
    // on (for a folder that is large).
    void orderWhileReading();
    // Puts the names read in list order and hands them over; the reader is spent.
    std::shared_ptr<const FolderNames> finish();

private:
    // Makes room for one more name of `length` bytes.
    void makeRoom(size_t length);

    DIR* m_dir = nullptr;
    std::shared_ptr<FolderNames> m_names;
    std::unique_ptr<class SortKeys> m_keys;
};

// The entries of `names` whose names match the pattern (see NameMasks), in list order. The
// order itself is shared when every name matches. Gives nothing when `stop` becomes true.
ShownRows matchingRows(const std::shared_ptr<const FolderNames>& names, const QString& pattern,
                       const std::atomic<bool>* stop = nullptr);

} // namespace app
