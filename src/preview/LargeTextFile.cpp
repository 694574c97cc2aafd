#include "preview/LargeTextFile.h"

#include "platform/RowDecoder.h"

#include <algorithm>
#include <cstring>

namespace preview
{

namespace
{
inline unsigned char byteAt(const char* p, qsizetype i)
{
    return static_cast<unsigned char>(p[i]);
}
} // namespace

RowScanner::RowScanner(const QByteArray& encoding)
{
    if (encoding == "UTF-8")
        m_kind = Kind::Utf8;
    else if (encoding == "UTF-16LE")
        m_kind = Kind::Utf16Le;
    else if (encoding == "UTF-16BE")
        m_kind = Kind::Utf16Be;
    else if (encoding == "windows-31j" || encoding == "Shift_JIS")
        m_kind = Kind::Cp932;
    else if (encoding == "EUC-JP")
        m_kind = Kind::EucJp;
}

qsizetype RowScanner::bomLength(const char* p, qsizetype n) const
{
    auto starts = [p, n](const char* bom, qsizetype len) {
        return n >= len && std::memcmp(p, bom, static_cast<size_t>(len)) == 0;
    };
    switch (m_kind) {
    case Kind::Utf8:
        return starts("\xEF\xBB\xBF", 3) ? 3 : 0;
    case Kind::Utf16Le:
        return starts("\xFF\xFE", 2) ? 2 : 0;
    case Kind::Utf16Be:
        return starts("\xFE\xFF", 2) ? 2 : 0;
    default:
        return 0;
    }
}

qsizetype RowScanner::findLineFeed(const char* p, qsizetype n) const
{
    if (!wide()) {
        const void* hit = std::memchr(p, '\n', static_cast<size_t>(n));
        return hit ? static_cast<const char*>(hit) - p : -1;
    }
    // The line feed byte of a 16-bit unit 0x000A: the low byte comes first in little endian.
    const qsizetype lowFirst = m_kind == Kind::Utf16Le ? 0 : 1;
    qsizetype from = 0;
    while (from < n) {
        const void* hit = std::memchr(p + from, '\n', static_cast<size_t>(n - from));
        if (!hit)
            return -1;
        const qsizetype at = static_cast<const char*>(hit) - p;
        const qsizetype unit = at - lowFirst;
        if (unit >= 0 && unit % 2 == 0 && unit + 1 < n && p[unit + 1 - lowFirst] == '\0')
            return unit;
        from = at + 1;
    }
    return -1;
}

qsizetype RowScanner::cutAt(const char* p, qsizetype limit) const
{
    qsizetype cut = limit;
    switch (m_kind) {
    case Kind::Utf8:
        // Back to the first byte of the character the limit falls in.
        while (cut > limit - 4 && cut > 0 && (byteAt(p, cut) & 0xC0) == 0x80)
            --cut;
        return cut > 0 ? cut : limit;
    case Kind::Utf16Le:
    case Kind::Utf16Be: {
        cut = limit & ~qsizetype(1);
        const qsizetype hi = m_kind == Kind::Utf16Le ? cut - 1 : cut - 2;
        const unsigned unitHigh = byteAt(p, hi);
        if (unitHigh >= 0xD8 && unitHigh <= 0xDB)
            cut -= 2; // do not part a surrogate pair
        return cut;
    }
    case Kind::Cp932:
    case Kind::EucJp: {
        // Lead bytes cannot be told from trail bytes backwards: walk from the row start.
        qsizetype i = 0;
        while (i < limit) {
            const unsigned b = byteAt(p, i);
            qsizetype step = 1;
            if (m_kind == Kind::Cp932)
                step = ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
            else if (b == 0x8F)
                step = 3;
            else if (b == 0x8E || (b >= 0xA1 && b <= 0xFE))
                step = 2;
            if (i + step > limit)
                break;
            i += step;
        }
        return i > 0 ? i : limit;
    }
    case Kind::Bytes:
        break;
    }
    return cut;
}

qsizetype RowScanner::nextRow(const char* p, qsizetype n, bool atEnd, qsizetype* textBytes) const
{
    const qsizetype unit = wide() ? 2 : 1;
    const qsizetype window = std::min(n, kMaxRowBytes + unit);
    const qsizetype lf = findLineFeed(p, window);
    if (lf >= 0 && lf <= kMaxRowBytes) {
        qsizetype text = lf;
        // A CR before the LF belongs to the line end.
        if (text >= unit) {
            const bool cr =
                wide() ? (m_kind == Kind::Utf16Le ? (p[text - 2] == '\r' && p[text - 1] == '\0')
                                                  : (p[text - 2] == '\0' && p[text - 1] == '\r'))
                       : p[text - 1] == '\r';
            if (cr)
                text -= unit;
        }
        *textBytes = text;
        return lf + unit;
    }
    if (n > kMaxRowBytes) {
        const qsizetype cut = cutAt(p, kMaxRowBytes);
        *textBytes = cut;
        return cut;
    }
    if (!atEnd)
        return -1;
    *textBytes = n;
    return n;
}

IndexPiece scanPiece(const RowScanner& scanner, const char* p, qsizetype n, qint64 fileOffset,
                     qint64 firstRow, bool atEnd)
{
    IndexPiece piece;
    qsizetype at = 0;
    qint64 row = firstRow;
    for (;;) {
        // Row `row` starts at `at`.
        if (row % RowIndex::kCheckpointRows == 0)
            piece.checkpoints.push_back(fileOffset + at);
        qsizetype text = 0;
        const qsizetype next = scanner.nextRow(p + at, n - at, atEnd, &text);
        if (next < 0) {
            // The row's start is known, its end is in the next piece: it is scanned again.
            if (row % RowIndex::kCheckpointRows == 0)
                piece.checkpoints.pop_back();
            break;
        }
        // A row cut from a long line, and the last row, have no line end.
        const bool lineEnd = text < next;
        ++row;
        at += next;
        if (atEnd && at == n) {
            if (lineEnd) {
                // A line end at the very end: an empty last row follows.
                if (row % RowIndex::kCheckpointRows == 0)
                    piece.checkpoints.push_back(fileOffset + at);
                ++row;
            }
            piece.complete = true;
            break;
        }
    }
    piece.rows = row - firstRow;
    piece.nextStart = fileOffset + at;
    return piece;
}

LargeTextReader::LargeTextReader(const QString& path, const QByteArray& encoding)
    : m_file(path), m_scanner(encoding), m_decoder(std::make_unique<platform::RowDecoder>(encoding))
{
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    m_size = m_file.size();
    const QByteArray head = read(0, 4);
    m_textStart = m_scanner.bomLength(head.constData(), head.size());
}

LargeTextReader::~LargeTextReader() = default;

QByteArray LargeTextReader::read(qint64 offset, qint64 n)
{
    QByteArray bytes;
    if (!m_file.isOpen() || offset < 0 || n <= 0 || !m_file.seek(offset))
        return bytes;
    bytes.resize(n);
    const qint64 got = m_file.read(bytes.data(), n);
    bytes.truncate(std::max<qint64>(got, 0));
    return bytes;
}

QString LargeTextReader::decode(QByteArrayView textBytes)
{
    return m_decoder->decode(textBytes);
}

std::vector<Row> LargeTextReader::rows(const RowIndex& index, qint64 first, qint64 count)
{
    std::vector<Row> out;
    if (count <= 0 || first < 0)
        return out;
    // The nearest known row start at or before `first`.
    qint64 row = 0;
    qint64 offset = m_textStart;
    const qint64 cp = std::min<qint64>(first / RowIndex::kCheckpointRows,
                                       static_cast<qint64>(index.checkpoints.size()) - 1);
    if (cp >= 0) {
        row = cp * RowIndex::kCheckpointRows;
        offset = index.checkpoints[static_cast<size_t>(cp)];
    }
    constexpr qint64 kBlock = 256 * 1024;
    QByteArray buffer;
    qint64 bufferAt = offset;
    qsizetype at = 0;
    bool atEnd = false;
    while (static_cast<qint64>(out.size()) < count) {
        qsizetype text = 0;
        qsizetype next =
            m_scanner.nextRow(buffer.constData() + at, buffer.size() - at, atEnd, &text);
        if (next < 0) {
            // More bytes: keep the unscanned tail and read on.
            const QByteArray more = read(bufferAt + buffer.size(), kBlock);
            atEnd = more.size() < kBlock;
            buffer = buffer.mid(at) + more;
            bufferAt += at;
            at = 0;
            continue;
        }
        if (row >= first) {
            Row r;
            r.start = bufferAt + at;
            r.next = r.start + next;
            r.textBytes = text;
            r.text = decode(QByteArrayView(buffer.constData() + at, text));
            out.push_back(std::move(r));
        }
        ++row;
        const bool lastRow = atEnd && at + next == buffer.size() && text == next;
        at += next;
        if (lastRow)
            break;
    }
    return out;
}

} // namespace preview
