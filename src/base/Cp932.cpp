#include "base/Cp932.h"

#include "cp932_table.h"

#include <algorithm>
#include <iterator>

namespace platform
{

namespace
{

constexpr char16_t kReplacement = 0xFFFD;

} // namespace

QString fromCp932(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return QString();
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int row = kCp932LeadRow[b];
        if (row < 0) {
            const char16_t c = kCp932Single[b];
            out.append(QChar((c != 0 || b == 0) ? c : kReplacement));
            continue;
        }
        // A lead byte at the end, or before a byte that cannot follow it: the lead alone is
        // replaced and the next byte is read on its own.
        if (i + 1 >= bytes.size() || !kCp932Trail[static_cast<unsigned char>(bytes[i + 1])]) {
            out.append(QChar(kReplacement));
            continue;
        }
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        const char16_t c = kCp932Double[row * 192 + (trail - 0x40)];
        out.append(QChar(c != 0 ? c : kReplacement));
    }
    return out;
}

bool toCp932(const QString& text, QByteArray& out)
{
    out.clear();
    QByteArray buffer;
    buffer.reserve(text.size() * 2);
    const auto* first = std::begin(kCp932EncodeFrom);
    const auto* last = std::end(kCp932EncodeFrom);
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        const auto* found = std::lower_bound(first, last, u);
        if (found == last || *found != u)
            return false;
        const unsigned code = kCp932EncodeTo[found - first];
        if (code > 0xFF)
            buffer.append(static_cast<char>(code >> 8));
        buffer.append(static_cast<char>(code & 0xFF));
    }
    out = buffer;
    return true;
}

int cp932Code(char16_t unit)
{
    const auto* first = std::begin(kCp932EncodeFrom);
    const auto* last = std::end(kCp932EncodeFrom);
    const auto* found = std::lower_bound(first, last, unit);
    if (found == last || *found != unit)
        return -1;
    return static_cast<int>(kCp932EncodeTo[found - first]);
}

} // namespace platform
