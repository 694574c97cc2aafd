#include "preview/LargeTextSearch.h"

#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace preview
{

namespace
{

constexpr qint64 kPieceBytes = 4 * 1024 * 1024;

// True for a unit that only itself turns into when upper-cased: a text unit matches it
// without matching case only when it is that very unit.
bool onlyItselfInUpperCase(char16_t u)
{
    static std::array<quint8, 65536> preimages{};
    static std::once_flag once;
    std::call_once(once, [] {
        for (char32_t x = 0; x < 65536; ++x) {
            const char16_t up = QChar(static_cast<char16_t>(x)).toUpper().unicode();
            if (preimages[up] < 255)
                ++preimages[up];
        }
    });
    return QChar(u).toUpper().unicode() == u && preimages[u] == 1;
}

// Bytes that every match of the pattern contains in the file's encoding: the longest run of
// the pattern's characters whose form in the file is unique. Empty when there is none.
QByteArray needleFor(const QString& pattern, bool matchCase, const QByteArray& encoding)
{
    const bool utf8 = encoding == "UTF-8";
    const bool utf16 = encoding == "UTF-16LE" || encoding == "UTF-16BE";
    auto safe = [&](char16_t u) {
        if (QChar::isSurrogate(u) || u == u'\n')
            return false;
        if (!matchCase && !onlyItselfInUpperCase(u))
            return false;
        // Other encodings may hold a character in more than one form (CP932's duplicated
        // NEC and IBM characters); ASCII has one everywhere.
        return utf8 || utf16 || u < 0x80;
    };
    qsizetype bestAt = 0, bestLen = 0;
    for (qsizetype i = 0; i < pattern.size();) {
        if (!safe(pattern[i].unicode())) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < pattern.size() && safe(pattern[j].unicode()))
            ++j;
        if (j - i > bestLen) {
            bestAt = i;
            bestLen = j - i;
        }
        i = j;
    }
    if (bestLen == 0)
        return QByteArray();
    const QString run = pattern.mid(bestAt, bestLen);
    if (utf8)
        return run.toUtf8();
    if (utf16) {
        QStringEncoder encoder(encoding == "UTF-16LE" ? QStringConverter::Utf16LE
                                                      : QStringConverter::Utf16BE);
        return encoder.encode(run);
    }
    return run.toLatin1();
}

// One piece of the file decoded: its rows joined by '\n' (and a '\n' after its last row when
// more rows follow), with where each row begins in the text.
struct DecodedPiece {
    qint64 firstRow = 0;
    QString text;
    std::vector<qsizetype> rowAt;
};

class PieceSearch final
{
public:
    PieceSearch(LargeTextReader& reader, const RowIndex& index, const FindRequest& request,
                const QByteArray& encoding)
        : m_reader(reader), m_index(index), m_request(request),
          m_needle(needleFor(request.pattern, request.matchCase, encoding))
    {
        m_pattern = request.pattern;
        if (!request.matchCase)
            foldCase(m_pattern);
    }

    qint64 pieceCount() const { return static_cast<qint64>(m_index.checkpoints.size()); }
    // The checkpoints a piece begins at: one piece per checkpoint span, merged up to
    // kPieceBytes. Pieces are numbered by their first checkpoint.
    qint64 pieceStart(qint64 cp) const { return m_index.checkpoints[static_cast<size_t>(cp)]; }
    qint64 pieceEndCheckpoint(qint64 cp) const
    {
        qint64 end = cp + 1;
        while (end < pieceCount() && pieceStart(end) - pieceStart(cp) < kPieceBytes)
            ++end;
        return end;
    }
    qint64 pieceBeginCheckpoint(qint64 endCp) const
    {
        qint64 begin = endCp - 1;
        const qint64 endAt = endCp < pieceCount() ? pieceStart(endCp) : m_reader.size();
        while (begin > 0 && endAt - pieceStart(begin - 1) < kPieceBytes)
            --begin;
        return begin;
    }
    qint64 endOffset(qint64 endCp) const
    {
        return endCp < pieceCount() ? pieceStart(endCp) : m_reader.size();
    }

    // False when the piece's bytes lack the needle, so that it cannot hold a match.
    bool mayMatch(const QByteArray& bytes) const
    {
        if (m_needle.isEmpty())
            return true;
        return ::memmem(bytes.constData(), static_cast<size_t>(bytes.size()), m_needle.constData(),
                        static_cast<size_t>(m_needle.size())) != nullptr;
    }

    DecodedPiece decode(qint64 beginCp, qint64 endCp, const QByteArray& bytes)
    {
        DecodedPiece piece;
        piece.firstRow = beginCp * RowIndex::kCheckpointRows;
        const qint64 lastRow = std::min(endCp * RowIndex::kCheckpointRows, m_index.rows);
        const bool atEnd = endCp >= pieceCount();
        piece.text.reserve(bytes.size());
        const RowScanner& scanner = m_reader.scanner();
        qsizetype at = 0;
        for (qint64 row = piece.firstRow; row < lastRow; ++row) {
            qsizetype textBytes = 0;
            qsizetype next =
                scanner.nextRow(bytes.constData() + at, bytes.size() - at, atEnd, &textBytes);
            if (next < 0) // the file changed since it was indexed
                next = textBytes = bytes.size() - at;
            piece.rowAt.push_back(piece.text.size());
            piece.text += m_reader.decode(QByteArrayView(bytes.constData() + at, textBytes));
            if (row + 1 < m_index.rows)
                piece.text += QLatin1Char('\n');
            at += next;
        }
        if (!m_request.matchCase)
            foldCase(piece.text);
        return piece;
    }

    std::optional<TextPos> posAt(const DecodedPiece& piece, qsizetype offset) const
    {
        const auto it = std::upper_bound(piece.rowAt.begin(), piece.rowAt.end(), offset);
        const qsizetype i = (it - piece.rowAt.begin()) - 1;
        return TextPos{piece.firstRow + i, offset - piece.rowAt[static_cast<size_t>(i)]};
    }

    qsizetype offsetOf(const DecodedPiece& piece, const TextPos& pos) const
    {
        const qint64 i = std::clamp<qint64>(pos.row - piece.firstRow, 0,
                                            static_cast<qint64>(piece.rowAt.size()) - 1);
        return piece.rowAt[static_cast<size_t>(i)] + pos.column;
    }

    std::optional<TextPos> down(const std::atomic<bool>& cancel);
    std::optional<TextPos> up(const std::atomic<bool>& cancel);

    const QString& pattern() const { return m_pattern; }

private:
    LargeTextReader& m_reader;
    const RowIndex& m_index;
    const FindRequest& m_request;
    QString m_pattern;
    QByteArray m_needle;
};

std::optional<TextPos> PieceSearch::down(const std::atomic<bool>& cancel)
{
    const TextPos caret = m_request.caret;
    qint64 cp = std::clamp<qint64>(caret.row / RowIndex::kCheckpointRows, 0, pieceCount() - 1);
    // The caret's piece is decoded whatever its bytes; later pieces only when they may match.
    bool first = true;
    qsizetype from = 0;
    while (cp < pieceCount()) {
        if (cancel.load(std::memory_order_relaxed))
            return std::nullopt;
        const qint64 endCp = first ? cp + 1 : pieceEndCheckpoint(cp);
        const QByteArray bytes = m_reader.read(pieceStart(cp), endOffset(endCp) - pieceStart(cp));
        if (first || mayMatch(bytes)) {
            const DecodedPiece piece = decode(cp, endCp, bytes);
            if (first) {
                // 1-based start = caret + 1 (+1 continuing): 0-based caret (+1).
                from = offsetOf(piece, caret) + (m_request.continuing ? 1 : 0);
            }
            if (from < piece.text.size()) {
                const qsizetype hit = piece.text.indexOf(m_pattern, from);
                if (hit >= 0)
                    return posAt(piece, hit);
                from = 0;
            } else {
                from -= piece.text.size();
            }
        }
        first = false;
        cp = endCp;
    }
    return std::nullopt;
}

std::optional<TextPos> PieceSearch::up(const std::atomic<bool>& cancel)
{
    const TextPos caret = m_request.caret;
    qint64 endCp =
        std::clamp<qint64>(caret.row / RowIndex::kCheckpointRows, 0, pieceCount() - 1) + 1;
    bool first = true;
    // The last position (from 0) a match may start at, counted back from the piece's end
    // when negative.
    qsizetype last = 0;
    while (endCp > 0) {
        if (cancel.load(std::memory_order_relaxed))
            return std::nullopt;
        const qint64 beginCp = first ? endCp - 1 : pieceBeginCheckpoint(endCp);
        const QByteArray bytes =
            m_reader.read(pieceStart(beginCp), endOffset(endCp) - pieceStart(beginCp));
        if (first || last < 0 || mayMatch(bytes)) {
            const DecodedPiece piece = decode(beginCp, endCp, bytes);
            if (first) {
                // 1-based n = caret (continuing) or caret - 1: 0-based one less.
                last = offsetOf(piece, caret) - (m_request.continuing ? 1 : 2);
            } else if (last < 0) {
                last += piece.text.size();
            } else {
                last = piece.text.size() - 1;
            }
            if (last >= 0) {
                const qsizetype hit = piece.text.lastIndexOf(m_pattern, last);
                if (hit >= 0)
                    return posAt(piece, hit);
                last = std::numeric_limits<qsizetype>::max();
            }
        }
        first = false;
        endCp = beginCp;
    }
    return std::nullopt;
}

} // namespace

void foldCase(QString& text)
{
    char16_t* p = reinterpret_cast<char16_t*>(text.data());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 0x80) {
            if (u >= u'a' && u <= u'z')
                p[i] = u - 32;
        } else {
            p[i] = QChar(u).toUpper().unicode();
        }
    }
}

qsizetype findInText(QStringView text, QStringView pattern, bool matchCase, bool down,
                     qsizetype caret, bool continuing)
{
    if (pattern.isEmpty())
        return 0;
    QString t = text.toString();
    QString p = pattern.toString();
    if (!matchCase) {
        foldCase(t);
        foldCase(p);
    }
    if (down) {
        const qsizetype start = caret + 1 + (continuing ? 1 : 0);
        if (start < 1 || start > t.size())
            return 0;
        const qsizetype hit = t.indexOf(p, start - 1);
        return hit >= 0 ? hit + 1 : 0;
    }
    for (qsizetype n = continuing ? caret : caret - 1; n > 0; --n) {
        if (QStringView(t).mid(n - 1, p.size()) == p)
            return n;
    }
    return 0;
}

std::optional<TextPos> findInFile(LargeTextReader& reader, const RowIndex& index,
                                  const QByteArray& encoding, const FindRequest& request,
                                  const std::atomic<bool>& cancel)
{
    if (request.pattern.isEmpty() || index.checkpoints.empty() || !reader.isOpen())
        return std::nullopt;
    PieceSearch search(reader, index, request, encoding);
    return request.down ? search.down(cancel) : search.up(cancel);
}

} // namespace preview
