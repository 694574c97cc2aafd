#include "app/FolderNames.h"

#include "base/NameMasks.h"
#include "base/NativePath.h"

#include <QByteArray>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>

namespace app
{

namespace
{

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

unsigned char lower(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return static_cast<unsigned>(u - 'A') < 26u ? static_cast<unsigned char>(u + 32) : u;
}

// A sort key folds each character as a comparison without regard to case does, in a byte code
// that keeps the order of the characters: one byte for ASCII, three bytes from 0x80 up for any
// other UTF-16 unit, so that comparing two keys byte by byte orders their names as that
// comparison does. An ASCII name's key is its bytes in lower case and is never stored; another
// name's key is stored after its length. The first sixteen bytes of every key are kept with it,
// where most comparisons are decided.
struct Key {
    quint64 head[2];
    quint32 index;  // of the name
    quint32 stored; // offset of the stored key, or kAscii
};
constexpr quint32 kAscii = 0xFFFFFFFFu;

unsigned char* put(unsigned char* out, char16_t unit)
{
    *out++ = static_cast<unsigned char>(0x80 | (unit >> 9));
    *out++ = static_cast<unsigned char>((unit >> 1) & 0xFF);
    *out++ = static_cast<unsigned char>(unit & 1);
    return out;
}

// Appends the key of a name that is not plain ASCII: its length (four bytes), then the key.
void storeKey(const QString& name, std::string& keys)
{
    const size_t offset = keys.size();
    const char16_t* in = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    keys.resize(offset + 4 + static_cast<size_t>(size) * 3);
    auto* const start = reinterpret_cast<unsigned char*>(keys.data() + offset + 4);
    unsigned char* out = start;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = in[i];
        if (unit < 0x80) {
            *out++ = static_cast<unsigned char>(static_cast<unsigned>(unit - u'A') < 26u ? unit + 32
                                                                                         : unit);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size &&
                   QChar::isLowSurrogate(in[i + 1])) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(unit, in[i + 1]));
            out = put(out, QChar::highSurrogate(folded));
            out = put(out, QChar::lowSurrogate(folded));
            ++i;
        } else {
            out = put(out, static_cast<char16_t>(QChar::toCaseFolded(char32_t(unit))));
        }
    }
    const auto length = static_cast<quint32>(out - start);
    std::memcpy(keys.data() + offset, &length, 4);
    keys.resize(offset + 4 + length);
}

} // namespace

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

// The sort keys of the names read so far, made as each name comes.
class SortKeys final
{
public:
    explicit SortKeys(const FolderNames& names) : m_names(names) {}

    void add(quint32 index, QByteArrayView bytes)
    {
        Key key{{0, 0}, index, kAscii};
        unsigned char head[16] = {};
        if (isAscii(bytes)) {
            const qsizetype n = std::min<qsizetype>(bytes.size(), 16);
            for (qsizetype j = 0; j < n; ++j)
                head[j] = lower(bytes[j]);
        } else {
            key.stored = static_cast<quint32>(m_keys.size());
            storeKey(m_names.nameOf(index), m_keys);
            std::memcpy(head, storedKey(key), std::min<quint32>(storedLength(key), 16));
        }
        for (int j = 0; j < 16; ++j)
            key.head[j / 8] = key.head[j / 8] << 8 | head[j];
        m_list.push_back(key);
    }

    // The names' indices in list order. A long list is sorted in two halves at the same time,
    // then merged.
    Indices order()
    {
        const auto less = [this](const Key& a, const Key& b) {
            if (a.head[0] != b.head[0])
                return a.head[0] < b.head[0];
            if (a.head[1] != b.head[1])
                return a.head[1] < b.head[1];
            return lessAfterHead(a, b);
        };
        Indices order;
        order.reserve(m_list.size());
        if (m_list.size() < 32768) {
            std::sort(m_list.begin(), m_list.end(), less);
            for (const Key& key : m_list)
                order.push_back(key.index);
            return order;
        }
        const auto middle = m_list.begin() + static_cast<std::ptrdiff_t>(m_list.size() / 2);
        std::thread other([&] { std::sort(m_list.begin(), middle, less); });
        std::sort(middle, m_list.end(), less);
        other.join();
        auto a = m_list.begin();
        auto b = middle;
        while (a != middle && b != m_list.end())
            order.push_back(less(*b, *a) ? (b++)->index : (a++)->index);
        for (; a != middle; ++a)
            order.push_back(a->index);
        for (; b != m_list.end(); ++b)
            order.push_back(b->index);
        return order;
    }

private:
    quint32 storedLength(const Key& key) const
    {
        quint32 length = 0;
        std::memcpy(&length, m_keys.data() + key.stored, 4);
        return length;
    }
    const unsigned char* storedKey(const Key& key) const
    {
        return reinterpret_cast<const unsigned char*>(m_keys.data() + key.stored + 4);
    }
    quint32 keyLength(const Key& key) const
    {
        return key.stored == kAscii ? static_cast<quint32>(m_names.bytesOf(key.index).size())
                                    : storedLength(key);
    }
    unsigned char keyByte(const Key& key, quint32 at) const
    {
        return key.stored == kAscii ? lower(m_names.bytesOf(key.index)[at]) : storedKey(key)[at];
    }

    // Two keys whose first sixteen bytes are the same.
    Q_NEVER_INLINE bool lessAfterHead(const Key& a, const Key& b) const
    {
        const quint32 la = keyLength(a);
        const quint32 lb = keyLength(b);
        const quint32 common = std::min(la, lb);
        if (common > 16) {
            if (a.stored != kAscii && b.stored != kAscii) {
                const int c = std::memcmp(storedKey(a) + 16, storedKey(b) + 16, common - 16);
                if (c != 0)
                    return c < 0;
            } else {
                for (quint32 i = 16; i < common; ++i) {
                    const unsigned char x = keyByte(a, i);
                    const unsigned char y = keyByte(b, i);
                    if (x != y)
                        return x < y;
                }
            }
        }
        if (la != lb)
            return la < lb;
        // Equal keys: the names themselves decide, as QStrings compare them.
        if (a.stored == kAscii && b.stored == kAscii) {
            const QByteArrayView x = m_names.bytesOf(a.index);
            return std::memcmp(x.data(), m_names.bytesOf(b.index).data(),
                               static_cast<size_t>(x.size())) < 0;
        }
        return m_names.nameOf(a.index) < m_names.nameOf(b.index);
    }

    const FolderNames& m_names;
    PageVector<Key> m_list;
    std::string m_keys;
};

QString FolderNames::nameOf(quint32 index) const
{
    const QByteArrayView bytes = bytesOf(index);
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return platform::fromNativePath(bytes.toByteArray());
}

size_t FolderNames::keptBytes() const
{
    return m_bytes.capacity() + (m_starts.capacity() + m_order.capacity()) * sizeof(quint32);
}

FolderReader::FolderReader(const QString& folder)
    : m_dir(::opendir(platform::toNativePath(folder).constData())),
      m_names(std::make_shared<FolderNames>()), m_keys(std::make_unique<SortKeys>(*m_names))
{
}

FolderReader::~FolderReader()
{
    if (m_dir)
        ::closedir(m_dir);
}

bool FolderReader::read(qsizetype count, const std::atomic<bool>* stop)
{
    if (!m_dir)
        return true;
    FolderNames& names = *m_names;
    const int fd = ::dirfd(m_dir);
    for (qsizetype i = 0; i < count; ++i) {
        if ((i & 4095) == 4095 && stop && stop->load(std::memory_order_relaxed))
            return false;
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
        const auto index = static_cast<quint32>(names.m_starts.size());
        names.m_starts.push_back(static_cast<quint32>(names.m_bytes.size()));
        names.m_bytes.insert(names.m_bytes.end(), entry->d_name, entry->d_name + length + 1);
        m_keys->add(index, QByteArrayView(entry->d_name, static_cast<qsizetype>(length)));
    }
    return false;
}

std::shared_ptr<const FolderNames> FolderReader::finish()
{
    if (m_dir) {
        ::closedir(m_dir);
        m_dir = nullptr;
    }
    m_names->m_order = m_keys->order();
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
        if (isAscii(bytes)) {
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
