#include "Huffman.h"

#include <algorithm>
#include <queue>

namespace lzh
{

std::vector<uint8_t> huffmanLengths(const std::vector<uint32_t>& freq, int maxBits)
{
    const size_t n = freq.size();
    std::vector<uint8_t> len(n, 0);
    std::vector<int> used;
    for (size_t i = 0; i < n; ++i) {
        if (freq[i])
            used.push_back(static_cast<int>(i));
    }
    if (used.empty())
        return len;
    if (used.size() == 1) {
        len[static_cast<size_t>(used[0])] = 1;
        return len;
    }
    // Tree over nodes: leaves 0..m-1, inner nodes after.
    const size_t m = used.size();
    std::vector<uint64_t> weight(2 * m);
    std::vector<int> parent(2 * m, -1);
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    for (size_t i = 0; i < m; ++i) {
        weight[i] = freq[static_cast<size_t>(used[i])];
        heap.push({weight[i], static_cast<int>(i)});
    }
    int next = static_cast<int>(m);
    while (heap.size() > 1) {
        const Item a = heap.top();
        heap.pop();
        const Item b = heap.top();
        heap.pop();
        weight[static_cast<size_t>(next)] = a.first + b.first;
        parent[static_cast<size_t>(a.second)] = next;
        parent[static_cast<size_t>(b.second)] = next;
        heap.push({a.first + b.first, next});
        ++next;
    }
    std::vector<int> depth(2 * m, 0);
    for (int i = next - 2; i >= 0; --i)
        depth[static_cast<size_t>(i)] =
            depth[static_cast<size_t>(parent[static_cast<size_t>(i)])] + 1;
    // Limit to maxBits, then make the code complete again (Kraft sum exactly 1).
    const uint64_t full = uint64_t(1) << maxBits;
    uint64_t kraft = 0;
    std::vector<int> l(m);
    for (size_t i = 0; i < m; ++i) {
        l[i] = std::min(depth[i], maxBits);
        kraft += uint64_t(1) << (maxBits - l[i]);
    }
    if (kraft != full) {
        // Order leaves by frequency so that rare symbols get the long codes.
        std::vector<size_t> order(m);
        for (size_t i = 0; i < m; ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return weight[a] != weight[b] ? weight[a] < weight[b] : a < b;
        });
        while (kraft > full) {
            // Lengthen the rarest symbol that can still grow.
            for (size_t k = 0; k < m && kraft > full; ++k) {
                const size_t i = order[k];
                if (l[i] < maxBits) {
                    kraft -= uint64_t(1) << (maxBits - l[i] - 1);
                    ++l[i];
                }
            }
        }
        while (kraft < full) {
            // Shorten the most frequent symbol whose gain still fits.
            bool changed = false;
            for (size_t k = m; k-- > 0 && kraft < full;) {
                const size_t i = order[k];
                if (l[i] > 1 && kraft + (uint64_t(1) << (maxBits - l[i])) <= full) {
                    kraft += uint64_t(1) << (maxBits - l[i]);
                    --l[i];
                    changed = true;
                }
            }
            if (!changed)
                break;
        }
    }
    for (size_t i = 0; i < m; ++i)
        len[static_cast<size_t>(used[i])] = static_cast<uint8_t>(l[i]);
    return len;
}

std::vector<uint16_t> huffmanCodes(const std::vector<uint8_t>& lengths)
{
    uint32_t count[18] = {};
    for (uint8_t l : lengths)
        ++count[l];
    uint32_t start[18] = {};
    start[1] = 0;
    for (int i = 1; i <= 16; ++i)
        start[i + 1] = (start[i] + count[i]) << 1;
    std::vector<uint16_t> codes(lengths.size(), 0);
    for (size_t i = 0; i < lengths.size(); ++i) {
        if (lengths[i])
            codes[i] = static_cast<uint16_t>(start[lengths[i]]++);
    }
    return codes;
}

} // namespace lzh
