#include "base/TextSearch.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace editor
{

namespace
{

// Upper case of every unit of the Basic Multilingual Plane that is not a surrogate (a simple
// mapping there never leaves the plane); surrogates map to themselves here and are taken as pairs
// by UpperAt.
class UpperTable final
{
public:
    UpperTable()
    {
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const char32_t upper = QChar::isSurrogate(c) ? c : QChar::toUpper(c);
            m_units[c] = upper <= 0xFFFF ? static_cast<char16_t>(upper) : static_cast<char16_t>(c);
            m_byUpper[c] = (quint32(m_units[c]) << 16) | quint32(c);
        }
        std::sort(m_byUpper.begin(), m_byUpper.end());
    }
    char16_t operator[](char16_t c) const { return m_units[c]; }

    // Calls f with every unit whose upper case is the given one.
    template <typename F> void forEachWithUpper(char16_t upper, F f) const
    {
        auto it = std::lower_bound(m_byUpper.begin(), m_byUpper.end(), quint32(upper) << 16);
        for (; it != m_byUpper.end() && (*it >> 16) == upper; ++it)
            f(static_cast<char16_t>(*it & 0xFFFF));
    }

private:
    std::array<char16_t, 0x10000> m_units{};
    std::array<quint32, 0x10000> m_byUpper{}; // upper case << 16 | unit, sorted
};

const UpperTable& upperTable()
{
    static const UpperTable table;
    return table;
}

// The upper-case unit at index i of the text: a unit of a surrogate pair is the matching unit of
// the pair's upper case; a lone surrogate stays as it is.
char16_t upperAt(const UpperTable& table, QStringView text, qsizetype i)
{
    const char16_t u = text[i].unicode();
    if (!QChar::isSurrogate(u))
        return table[u];
    if (QChar::isHighSurrogate(u)) {
        if (i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(u, text[i + 1]));
            return QChar::requiresSurrogates(upper) ? QChar::highSurrogate(upper) : u;
        }
        return u;
    }
    if (i > 0 && text[i - 1].isHighSurrogate()) {
        const char32_t upper = QChar::toUpper(QChar::surrogateToUcs4(text[i - 1], u));
        return QChar::requiresSurrogates(upper) ? QChar::lowSurrogate(upper) : u;
    }
    return u;
}

// How common a unit is in most texts (higher: more common), to pick the one looked for first.
int commonness(char16_t u)
{
    static const char kLetters[] = "zqjxkvbpygfwmucldrhsnioate"; // rarest first
    if (u < 0x80) {
        const char c = static_cast<char>(u);
        if (c >= 'a' && c <= 'z')
            return 20 + int(std::find(kLetters, kLetters + 26, c) - kLetters) * 2;
        if (c >= 'A' && c <= 'Z')
            return 10;
        if (c >= '0' && c <= '9')
            return 60;
        return 90; // blanks, punctuation
    }
    if (u >= 0x3040 && u <= 0x309F)
        return 70; // hiragana
    return 15;
}

// Finds the first index at or after from (below to) whose unit is one of the given ones.
qsizetype findUnit(const char16_t* data, qsizetype from, qsizetype to, const char16_t* units,
                   int count)
{
    qsizetype i = from;
#if defined(__SSE2__)
    __m128i wanted[4];
    for (int k = 0; k < count; ++k)
        wanted[k] = _mm_set1_epi16(static_cast<short>(units[k]));
    for (; i + 8 <= to; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i hit = _mm_cmpeq_epi16(v, wanted[0]);
        for (int k = 1; k < count; ++k)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, wanted[k]));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return i + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
    }
#endif
    for (; i < to; ++i) {
        for (int k = 0; k < count; ++k) {
            if (data[i] == units[k])
                return i;
        }
    }
    return -1;
}

} // namespace

SearchPattern::SearchPattern(QStringView text, bool matchCase)
    : m_units(matchCase ? text.toString() : upperCaseSameLength(text)), m_matchCase(matchCase)
{
    for (const QChar c : m_units) {
        if (c == QLatin1Char('\n') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            m_lineEnd = true;
    }
    // The anchor: the rarest unit that is not a surrogate (the last of equals).
    int best = -1;
    for (qsizetype i = 0; i < m_units.size(); ++i) {
        const char16_t u = m_units[i].unicode();
        if (QChar::isSurrogate(u))
            continue;
        const int score = commonness(matchCase ? u : QChar::toLower(u));
        if (best < 0 || score <= best) {
            best = score;
            m_anchor = i;
        }
    }
    if (best < 0)
        return; // only surrogate pairs: every unit is compared
    const char16_t anchor = m_units[m_anchor].unicode();
    if (matchCase) {
        m_anchorUnits[m_anchorCount++] = anchor;
        return;
    }
    // Every unit whose upper case is the anchor (a surrogate never is: its pair's upper case
    // stays outside the plane).
    int count = 0;
    upperTable().forEachWithUpper(anchor, [this, &count](char16_t u) {
        if (count < 4)
            m_anchorUnits[count] = u;
        ++count;
    });
    // More than four are too many to look for at once: every unit is compared then.
    m_anchorCount = count <= 4 ? count : 0;
}

bool SearchPattern::matchesAt(QStringView text, qsizetype start) const
{
    const qsizetype m = m_units.size();
    if (m_matchCase)
        return text.mid(start, m) == QStringView(m_units);
    const UpperTable& table = upperTable();
    for (qsizetype j = 0; j < m; ++j) {
        if (upperAt(table, text, start + j) != m_units[j].unicode())
            return false;
    }
    return true;
}

qsizetype SearchPattern::findIn(QStringView text, qsizetype from) const
{
    const qsizetype m = m_units.size();
    const qsizetype last = text.size() - m; // the last start a match fits at
    if (m == 0 || from < 0 || from > last)
        return -1;
    if (m_anchorCount == 0) {
        for (qsizetype s = from; s <= last; ++s) {
            if (matchesAt(text, s))
                return s;
        }
        return -1;
    }
    const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
    const qsizetype end = last + m_anchor + 1;
    for (qsizetype i = from + m_anchor; i < end;) {
        i = findUnit(data, i, end, m_anchorUnits, m_anchorCount);
        if (i < 0)
            return -1;
        const qsizetype start = i - m_anchor;
        if (matchesAt(text, start))
            return start;
        ++i;
    }
    return -1;
}

qsizetype SearchPattern::findLastIn(QStringView text, qsizetype from) const
{
    const qsizetype m = m_units.size();
    if (m == 0 || from < 0 || m > text.size())
        return -1;
    const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
    for (qsizetype s = std::min(from, text.size() - m); s >= 0; --s) {
        if (m_anchorCount > 0) {
            const char16_t u = data[s + m_anchor];
            bool hit = false;
            for (int k = 0; k < m_anchorCount && !hit; ++k)
                hit = u == m_anchorUnits[k];
            if (!hit)
                continue;
        }
        if (matchesAt(text, s))
            return s;
    }
    return -1;
}

QString upperCaseSameLength(QStringView text)
{
    QString upper(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(upper.data());
    const UpperTable& table = upperTable();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = upperAt(table, text, i);
    return upper;
}

qsizetype findForward(QStringView text, QStringView pattern, qsizetype from, bool matchCase)
{
    return SearchPattern(pattern, matchCase).findIn(text, from);
}

qsizetype findBackward(QStringView text, QStringView pattern, qsizetype from, bool matchCase)
{
    return SearchPattern(pattern, matchCase).findLastIn(text, from);
}

bool isContinuing(qsizetype caret, const SearchState& state)
{
    return caret == state.lastPos && !state.restart;
}

qsizetype searchFrom(qsizetype caret, const SearchState& state)
{
    const bool continuing = isContinuing(caret, state);
    if (state.direction == SearchDirection::Down)
        return caret + (continuing ? 1 : 0);
    // Counted from 1 the first start looked at is the caret (continuing) or one before it; the
    // search goes on while that position is above 0.
    const qsizetype first = continuing ? caret : caret - 1;
    return first - 1;
}

namespace
{
qsizetype finish(qsizetype found, qsizetype caret, SearchState& state)
{
    state.lastPos = found >= 0 ? found : caret;
    state.restart = false;
    return found + 1;
}

qsizetype forwardInPieces(const PieceAt& pieceAt, const SearchPattern& pattern, qsizetype from)
{
    QString piece;
    qsizetype start = 0;
    for (qsizetype at = from; pieceAt(at, piece, start); at = start + piece.size() + 1) {
        const qsizetype found = pattern.findIn(piece, std::max<qsizetype>(0, from - start));
        if (found >= 0)
            return start + found;
    }
    return -1;
}

qsizetype backwardInPieces(const PieceAt& pieceAt, const SearchPattern& pattern, qsizetype from)
{
    QString piece;
    qsizetype start = 0;
    for (qsizetype at = from; at >= 0 && pieceAt(at, piece, start); at = start - 1) {
        const qsizetype found = pattern.findLastIn(piece, from - start);
        if (found >= 0)
            return start + found;
    }
    return -1;
}
} // namespace

qsizetype findNext(QStringView text, qsizetype caret, SearchState& state)
{
    qsizetype found = -1;
    if (!state.text.isEmpty()) {
        const SearchPattern pattern(state.text, state.matchCase);
        const qsizetype from = searchFrom(caret, state);
        found = state.direction == SearchDirection::Down ? pattern.findIn(text, from)
                                                         : pattern.findLastIn(text, from);
    }
    return finish(found, caret, state);
}

qsizetype findNext(const PieceAt& pieceAt, qsizetype caret, SearchState& state)
{
    qsizetype found = -1;
    if (!state.text.isEmpty()) {
        const SearchPattern pattern(state.text, state.matchCase);
        const qsizetype from = searchFrom(caret, state);
        if (state.direction == SearchDirection::Down)
            found = forwardInPieces(pieceAt, pattern, from);
        else if (from >= 0)
            found = backwardInPieces(pieceAt, pattern, from);
    }
    return finish(found, caret, state);
}

QString notFoundText(const QString& searchText)
{
    // A pasted search text of thousands of characters would make a box wider than any screen,
    // its button out of reach: a long one is shown by its beginning.
    constexpr qsizetype kShown = 80;
    QString shown = searchText;
    if (shown.size() > kShown) {
        qsizetype cut = kShown;
        if (shown[cut - 1].isHighSurrogate())
            --cut; // never half of a pair
        shown = shown.left(cut) + QStringLiteral("…");
    }
    return QLatin1Char('"') + shown + QStringLiteral("\" が見つかりません。");
}

} // namespace editor
