#include "app/FolderNames.h"

#include "app/SortKeys.h"

#include "base/NameMasks.h"
#include "base/NativePath.h"

#include <QByteArray>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>

namespace app
{

namespace
{
// Below this size the heap serves; it keeps its memory, but small blocks are quick to get.
constexpr size_t kPagesFrom = 256 * 1024;
} // namespace

void* allocatePages(size_t bytes)
{
    if (bytes < kPagesFrom) {
        void* p = std::malloc(bytes);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    return p;
}

void freePages(void* p, size_t bytes) noexcept
{
    if (!p)
        return;
    if (bytes < kPagesFrom)
        std::free(p);
    else
        ::munmap(p, bytes);
}

QString FolderNames::nameFrom(QByteArrayView bytes)
{
    if (isAsciiName(bytes))
        return QString::fromLatin1(bytes);
    return platform::fromNativePath(bytes.toByteArray());
}

size_t FolderNames::keptBytes() const
{
    return m_bytes.capacity() + (m_starts.capacity() + m_order.capacity()) * sizeof(quint32);
}

namespace
{
// How many names and how many bytes of names to make room for, after the size the system gives
// for a folder: on most file systems that size grows with the entries and their names (ext4 and
// XFS: the bytes of the entries; btrfs: twice the bytes of the names; tmpfs: 20 bytes an entry).
// Memory is taken only as the room fills; a larger folder makes more room, which moves the names.
struct Room {
    size_t names = 0;
    size_t bytes = 0;
};

Room roomFor(DIR* dir)
{
    struct stat st {
    };
    Room room{1024, 16 * 1024};
    if (dir && ::fstat(::dirfd(dir), &st) == 0 && st.st_size > 0) {
        // Kept within what some two million names need, whatever the size says (a folder that
        // once held many more keeps its size); a larger one grows as it is read.
        const auto size = std::min<size_t>(static_cast<size_t>(st.st_size), size_t(1) << 26);
        room.names = std::max(room.names, size / 16);
        room.bytes = std::max(room.bytes, size + size / 2);
    }
    return room;
}
} // namespace

FolderReader::FolderReader(const QString& folder)
    : m_dir(::opendir(platform::toNativePath(folder).constData())),
      m_names(std::make_shared<FolderNames>())
{
    const Room room = roomFor(m_dir);
    if (m_dir) {
        m_names->m_starts.reserve(room.names);
        m_names->m_bytes.reserve(room.bytes);
    }
    m_keys = std::make_unique<SortKeys>(m_dir ? room.names : 0);
}

FolderReader::~FolderReader()
{
    m_keys.reset(); // its thread reads the names
    if (m_dir)
        ::closedir(m_dir);
}

void FolderReader::orderWhileReading()
{
    m_keys->startThread();
    // The names read so far are the first to be put in order.
    m_keys->handOver(static_cast<quint32>(m_names->m_starts.size()),
                     {m_names->m_bytes.data(), m_names->m_starts.data()});
}

void FolderReader::makeRoom(size_t length)
{
    FolderNames& names = *m_names;
    const bool bytesFull = names.m_bytes.size() + length + 1 > names.m_bytes.capacity();
    const bool startsFull = names.m_starts.size() == names.m_starts.capacity();
    if (!bytesFull && !startsFull)
        return;
    // The names move to a larger place: the thread that orders them must be done with them.
    m_keys->waitIdle();
    if (bytesFull)
        names.m_bytes.reserve(std::max(names.m_bytes.capacity() * 2, names.m_bytes.size() + 256));
    if (startsFull)
        names.m_starts.reserve(std::max<size_t>(names.m_starts.capacity() * 2, 1024));
}

bool FolderReader::read(qsizetype count, const std::atomic<bool>* stop)
{
    if (!m_dir)
        return true;
    FolderNames& names = *m_names;
    const int fd = ::dirfd(m_dir);
    const auto handOver = [&] {
        m_keys->handOver(static_cast<quint32>(names.m_starts.size()),
                         {names.m_bytes.data(), names.m_starts.data()});
    };
    for (qsizetype i = 0; i < count; ++i) {
        if ((i & 2047) == 2047) {
            if (stop && stop->load(std::memory_order_relaxed))
                return false;
            handOver();
        }
        const dirent* entry = ::readdir(m_dir);
        if (!entry)
            return true;
        if (entry->d_name[0] == '.')
            continue;
        if (entry->d_type != DT_REG) {
            if (entry->d_type == DT_DIR)
                continue;
            // Links, FIFOs, sockets, devices, unknown types: asked what they are (or lead to)
            // by their status alone; nothing is opened, so every one of them is listed.
            struct stat st {
            };
            if (::fstatat(fd, entry->d_name, &st, 0) != 0 || S_ISDIR(st.st_mode))
                continue; // a link that leads nowhere is neither
        }
        const size_t length = std::strlen(entry->d_name);
        if (names.m_bytes.size() + length + 1 > 0xFFFFFFFFu)
            return true; // more than 4 GiB of names: the rest is left out
        makeRoom(length);
        names.m_starts.push_back(static_cast<quint32>(names.m_bytes.size()));
        names.m_bytes.insert(names.m_bytes.end(), entry->d_name, entry->d_name + length + 1);
    }
    handOver();
    return false;
}

std::shared_ptr<const FolderNames> FolderReader::finish()
{
    if (m_dir) {
        ::closedir(m_dir);
        m_dir = nullptr;
    }
    FolderNames& names = *m_names;
    names.m_order = m_keys->order(static_cast<quint32>(names.m_starts.size()),
                                  {names.m_bytes.data(), names.m_starts.data()});
    m_keys.reset();
    return std::move(m_names);
}

ShownRows matchingRows(const std::shared_ptr<const FolderNames>& names, const QString& pattern,
                       const std::atomic<bool>* stop)
{
    const platform::NameMasks masks(pattern);
    if (masks.matchesEverything())
        return ShownRows(names, &names->order());
    auto rows = std::make_shared<Indices>();
    // A name of plain ASCII is matched in one reused string, without a new one for each.
    QString ascii;
    qsizetype done = 0;
    for (const quint32 index : names->order()) {
        if ((++done & 4095) == 0 && stop && stop->load(std::memory_order_relaxed))
            return {};
        const QByteArrayView bytes = names->bytesOf(index);
        bool matched = false;
        if (isAsciiName(bytes)) {
            ascii.resize(bytes.size());
            QChar* out = ascii.data();
            for (qsizetype i = 0; i < bytes.size(); ++i)
                out[i] = QLatin1Char(bytes[i]);
            matched = masks.matches(ascii);
        } else {
            matched = masks.matches(names->nameOf(index));
        }
        if (matched)
            rows->push_back(index);
    }
    rows->shrink_to_fit();
    return rows;
}

} // namespace app
