#include "app/SortKeys.h"

#include <algorithm>
#include <cstring>

namespace app
{

namespace
{

using Key = SortKeys::Key;

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

// The names handed to the thread at a time, once it runs: the last stretch is keyed and sorted
// after the folder has ended, so it is kept short.
constexpr quint32 kStretch = 4096;
// The longest run made by merging; more runs are merged only at the end, into the order.
constexpr size_t kLongestMerged = size_t(1) << 18;

} // namespace

SortKeys::SortKeys(size_t expectedNames)
{
    m_list.reserve(expectedNames);
}

SortKeys::~SortKeys()
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
            m_handed = m_taken; // nothing more is wanted
        }
        m_wake.notify_one();
        m_thread.join();
    }
}

void SortKeys::startThread()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void SortKeys::handOver(quint32 count, View view)
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        if (count < m_handed + kStretch && m_handed > 0)
            return;
        m_handed = count;
        m_handedView = view;
    }
    m_wake.notify_one();
}

void SortKeys::waitIdle()
{
    if (!m_thread.joinable())
        return;
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_sorted == m_taken; });
    // Names handed over but not taken yet would be read where they are now: the caller is about
    // to move them, and hands them over again from their new place.
    m_handed = m_taken;
}

void SortKeys::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_closing || m_handed > m_taken; });
        if (m_handed == m_taken)
            return; // closing, all done
        const quint32 from = m_taken;
        const quint32 to = m_handed;
        const View view = m_handedView;
        m_taken = to;
        lock.unlock();
        sortRun(from, to, view);
        lock.lock();
        m_sorted = to;
        m_idle.notify_all();
    }
}

Indices SortKeys::order(quint32 count, View view)
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_handed = count;
            m_handedView = view;
            m_closing = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    const auto done = static_cast<quint32>(m_list.size()); // one key for each name sorted
    if (done < count)
        sortRun(done, count, view);
    m_view = view;
    m_known = count;
    while (m_runs.size() > 2 && mergesLastRuns(false))
        mergeLastRuns();
    PageVector<Key>().swap(m_scratch);
    Indices order;
    order.reserve(m_list.size());
    if (m_runs.size() < 2) {
        for (const Key& key : m_list)
            order.push_back(key.index);
        return order;
    }
    // The last merge goes straight into the order.
    if (m_runs.size() == 2) {
        const auto middle = m_list.begin() + static_cast<std::ptrdiff_t>(m_runs[1].first);
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
    // Of more runs, the next keys play off in a tree: a leaf for each run, each node holding the
    // run whose key is the lesser of its two, the root the least of all.
    struct Cursor {
        const Key* at;
        const Key* end;
    };
    std::vector<Cursor> runs;
    for (const auto& [begin, end] : m_runs)
        runs.push_back({m_list.data() + begin, m_list.data() + end});
    size_t leaves = 1;
    while (leaves < runs.size())
        leaves *= 2;
    std::vector<int> tree(2 * leaves, -1); // -1: a run at its end
    const auto winner = [&](int x, int y) {
        if (x < 0 || y < 0)
            return std::max(x, y);
        return less(*runs[size_t(y)].at, *runs[size_t(x)].at) ? y : x;
    };
    for (size_t i = 0; i < runs.size(); ++i)
        tree[leaves + i] = static_cast<int>(i);
    for (size_t node = leaves - 1; node >= 1; --node)
        tree[node] = winner(tree[2 * node], tree[2 * node + 1]);
    while (tree[1] >= 0) {
        const auto w = static_cast<size_t>(tree[1]);
        Cursor& least = runs[w];
        order.push_back(least.at->index);
        if (++least.at == least.end)
            tree[leaves + w] = -1;
        for (size_t node = (leaves + w) / 2; node >= 1; node /= 2)
            tree[node] = winner(tree[2 * node], tree[2 * node + 1]);
    }
    return order;
}

bool SortKeys::mergesLastRuns(bool whileReading) const
{
    if (m_runs.size() < 2)
        return false;
    const size_t last = m_runs.back().second - m_runs.back().first;
    const size_t before = m_runs[m_runs.size() - 2].second - m_runs[m_runs.size() - 2].first;
    // A merge moves the second run aside: keeping runs within a bound keeps that memory small.
    return last + before <= kLongestMerged && (!whileReading || last >= before);
}

void SortKeys::sortRun(quint32 from, quint32 to, View view)
{
    m_view = view;
    m_known = to;
    const size_t begin = m_list.size();
    for (quint32 i = from; i < to; ++i)
        add(i);
    std::sort(m_list.begin() + static_cast<std::ptrdiff_t>(begin), m_list.end(),
              [this](const Key& a, const Key& b) { return less(a, b); });
    m_runs.emplace_back(begin, m_list.size());
    // Like sizes are merged as they come, so that few runs are left when the folder ends.
    while (mergesLastRuns(true))
        mergeLastRuns();
}

void SortKeys::mergeLastRuns()
{
    const size_t begin = m_runs[m_runs.size() - 2].first;
    const size_t middle = m_runs.back().first;
    const size_t end = m_runs.back().second;
    m_runs.pop_back();
    m_runs.back().second = end;
    // The second run, mostly the shorter one, is moved aside; both merge into the place of the
    // two from their ends.
    m_scratch.assign(m_list.begin() + static_cast<std::ptrdiff_t>(middle),
                     m_list.begin() + static_cast<std::ptrdiff_t>(end));
    Key* const first = m_list.data() + begin;
    Key* a = m_list.data() + middle;
    const Key* const second = m_scratch.data();
    const Key* b = second + m_scratch.size();
    Key* out = m_list.data() + end;
    while (a != first && b != second)
        *--out = less(b[-1], a[-1]) ? *--a : *--b;
    std::copy_backward(second, b, out);
}

QByteArrayView SortKeys::bytesOf(quint32 index) const
{
    const quint32 start = m_view.starts[index];
    const char* bytes = m_view.bytes + start;
    // The end of the last name known is its zero byte: the next one may still be under way.
    const size_t length =
        index + 1 < m_known ? m_view.starts[index + 1] - start - 1 : std::strlen(bytes);
    return QByteArrayView(bytes, static_cast<qsizetype>(length));
}

void SortKeys::add(quint32 index)
{
    const QByteArrayView bytes = bytesOf(index);
    Key key{{0, 0}, index, kAscii};
    unsigned char head[16] = {};
    if (isAsciiName(bytes)) {
        const qsizetype n = std::min<qsizetype>(bytes.size(), 16);
        for (qsizetype j = 0; j < n; ++j)
            head[j] = lower(bytes[j]);
    } else {
        key.stored = static_cast<quint32>(m_keys.size());
        storeKey(FolderNames::nameFrom(bytes), m_keys);
        std::memcpy(head, storedKey(key), std::min<quint32>(storedLength(key), 16));
    }
    for (int j = 0; j < 16; ++j)
        key.head[j / 8] = key.head[j / 8] << 8 | head[j];
    m_list.push_back(key);
}

quint32 SortKeys::storedLength(const Key& key) const
{
    quint32 length = 0;
    std::memcpy(&length, m_keys.data() + key.stored, 4);
    return length;
}

const unsigned char* SortKeys::storedKey(const Key& key) const
{
    return reinterpret_cast<const unsigned char*>(m_keys.data() + key.stored + 4);
}

quint32 SortKeys::keyLength(const Key& key) const
{
    return key.stored == kAscii ? static_cast<quint32>(bytesOf(key.index).size())
                                : storedLength(key);
}

unsigned char SortKeys::keyByte(const Key& key, quint32 at) const
{
    return key.stored == kAscii ? lower(m_view.bytes[m_view.starts[key.index] + at])
                                : storedKey(key)[at];
}

// Two keys whose first sixteen bytes are the same.
Q_NEVER_INLINE bool SortKeys::lessAfterHead(const Key& a, const Key& b) const
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
    const QByteArrayView x = bytesOf(a.index);
    const QByteArrayView y = bytesOf(b.index);
    if (a.stored == kAscii && b.stored == kAscii)
        return std::memcmp(x.data(), y.data(), static_cast<size_t>(x.size())) < 0;
    return FolderNames::nameFrom(x) < FolderNames::nameFrom(y);
}

} // namespace app
