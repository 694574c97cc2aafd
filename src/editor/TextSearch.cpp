#include "editor/TextSearch.h"

#include <algorithm>
#include <array>

namespace editor
{

namespace
{

// Upper case of every unit of the Basic Multilingual Plane that is not a surrogate (a simple
// mapping there never leaves the plane); surrogates map to themselves here and are taken as pairs
// by upperAt().
class UpperTable final
{
public:
    UpperTable()
    {
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const char32_t upper = QChar::isSurrogate(c) ? c : QChar::toUpper(c);
            m_units[c] = upper <= 0xFFFF ? static_cast<char16_t>(upper) : static_cast<char16_t>(c);
        }
    }
    char16_t operator[](char16_t c) const { return m_units[c]; }

private:
    std::array<char16_t, 0x10000> m_units{};
};

const UpperTable& upperTable()
{
    static const UpperTable table;
    return table;
}

// The upper-case unit at index i of the text: a unit of a surrogate pair is the matching unit of
// the pair's upper case; a lone surrogate stays as it is.
struct UpperAt {
    const UpperTable& table = upperTable();
    char16_t operator()(QStringView text, qsizetype i) const
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
};

struct SameAt {
    char16_t operator()(QStringView text, qsizetype i) const { return text[i].unicode(); }
};

// Horspool's search over the units the map gives; pattern is already mapped.
template <typename Map>
qsizetype forward(QStringView text, QStringView pattern, qsizetype from, Map map)
{
    const qsizetype n = text.size();
    const qsizetype m = pattern.size();
    std::array<qsizetype, 256> shift;
    shift.fill(m);
    for (qsizetype i = 0; i + 1 < m; ++i)
        shift[pattern[i].unicode() & 0xFF] = m - 1 - i;
    const char16_t last = pattern[m - 1].unicode();
    for (qsizetype s = from; s <= n - m;) {
        const char16_t c = map(text, s + m - 1);
        if (c == last) {
            qsizetype j = 0;
            while (j + 1 < m && map(text, s + j) == pattern[j].unicode())
                ++j;
            if (j + 1 == m)
                return s;
        }
        s += shift[c & 0xFF];
    }
    return -1;
}

template <typename Map>
qsizetype backward(QStringView text, QStringView pattern, qsizetype from, Map map)
{
    const qsizetype m = pattern.size();
    const char16_t first = pattern[0].unicode();
    for (qsizetype s = std::min(from, text.size() - m); s >= 0; --s) {
        if (map(text, s) != first)
            continue;
        qsizetype j = 1;
        while (j < m && map(text, s + j) == pattern[j].unicode())
            ++j;
        if (j == m)
            return s;
    }
    return -1;
}

} // namespace

QString upperCaseSameLength(QStringView text)
{
    QString upper(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(upper.data());
    const UpperAt map;
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = map(text, i);
    return upper;
}

qsizetype findForward(QStringView text, QStringView pattern, qsizetype from, bool matchCase)
{
    if (pattern.isEmpty() || from < 0 || from > text.size() - pattern.size())
        return -1;
    if (matchCase)
        return text.indexOf(pattern, from, Qt::CaseSensitive);
    const QString upper = upperCaseSameLength(pattern);
    return forward(text, upper, from, UpperAt());
}

qsizetype findBackward(QStringView text, QStringView pattern, qsizetype from, bool matchCase)
{
    if (pattern.isEmpty() || from < 0 || pattern.size() > text.size())
        return -1;
    if (matchCase)
        return backward(text, pattern, from, SameAt());
    const QString upper = upperCaseSameLength(pattern);
    return backward(text, upper, from, UpperAt());
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

qsizetype findNext(QStringView text, qsizetype caret, SearchState& state)
{
    qsizetype found = -1;
    if (!state.text.isEmpty()) {
        const qsizetype from = searchFrom(caret, state);
        found = state.direction == SearchDirection::Down
                    ? findForward(text, state.text, from, state.matchCase)
                    : findBackward(text, state.text, from, state.matchCase);
    }
    state.lastPos = found >= 0 ? found : caret;
    state.restart = false;
    return found + 1;
}

QString notFoundText(const QString& searchText)
{
    return QLatin1Char('"') + searchText + QStringLiteral("\" が見つかりません。");
}

} // namespace editor
