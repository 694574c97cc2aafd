#include "NameCodec.h"

#include "cp932_table.h"

#include <algorithm>
#include <iterator>

namespace archiver
{

namespace
{

constexpr uint32_t kReplacement = 0xFFFD;

// Length and first bits of the sequence a byte starts; 0 for a byte that cannot start one.
size_t sequenceLength(unsigned char c, uint32_t& bits)
{
    if (c < 0x80) {
        bits = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        bits = c & 0x1F;
        return 2;
    }
    if ((c & 0xF0) == 0xE0) {
        bits = c & 0x0F;
        return 3;
    }
    if ((c & 0xF8) == 0xF0) {
        bits = c & 0x07;
        return 4;
    }
    return 0;
}

} // namespace

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        uint32_t cp = 0;
        const size_t n = sequenceLength(static_cast<unsigned char>(s[i]), cp);
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

uint32_t nextCodePoint(std::string_view utf8, size_t& i)
{
    uint32_t cp = 0;
    const size_t n = sequenceLength(static_cast<unsigned char>(utf8[i]), cp);
    if (n == 0) {
        ++i;
        return kReplacement;
    }
    size_t k = 1;
    for (; k < n && i + k < utf8.size(); ++k) {
        const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
        if ((cc & 0xC0) != 0x80)
            break;
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += k;
    return k == n ? cp : kReplacement;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string cp932ToUtf8(std::string_view bytes)
{
    if (isAscii(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int row = kCp932LeadRow[b];
        if (row < 0) {
            const uint32_t c = kCp932Single[b];
            appendUtf8(out, (c != 0 || b == 0) ? c : kReplacement);
            continue;
        }
        if (i + 1 >= bytes.size() || !kCp932Trail[static_cast<unsigned char>(bytes[i + 1])]) {
            appendUtf8(out, kReplacement);
            continue;
        }
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        const uint32_t c = kCp932Double[row * 192 + (trail - 0x40)];
        appendUtf8(out, c != 0 ? c : kReplacement);
    }
    return out;
}

bool utf8ToCp932(std::string_view utf8, std::string& out)
{
    out.clear();
    if (isAscii(utf8)) {
        out.assign(utf8);
        return true;
    }
    if (!isValidUtf8(utf8))
        return false;
    std::string buffer;
    buffer.reserve(utf8.size());
    const auto* first = std::begin(kCp932EncodeFrom);
    const auto* last = std::end(kCp932EncodeFrom);
    for (size_t i = 0; i < utf8.size();) {
        const uint32_t cp = nextCodePoint(utf8, i);
        if (cp > 0xFFFF)
            return false;
        const auto* found = std::lower_bound(first, last, static_cast<uint16_t>(cp));
        if (found == last || *found != cp)
            return false;
        const unsigned code = kCp932EncodeTo[found - first];
        if (code > 0xFF)
            buffer.push_back(static_cast<char>(code >> 8));
        buffer.push_back(static_cast<char>(code & 0xFF));
    }
    out = std::move(buffer);
    return true;
}

std::string utf8OrCp932ToUtf8(std::string_view bytes)
{
    return isValidUtf8(bytes) ? std::string(bytes) : cp932ToUtf8(bytes);
}

} // namespace archiver
