#include "Wildcard.h"

namespace archiver
{

namespace
{
char fold(char c, bool ci)
{
    return (ci && c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

size_t utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}
} // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text, bool caseInsensitive)
{
    if (pattern == "*.*")
        return true;
    // Iterative matcher with one backtrack point: linear in practice, never exponential.
    size_t p = 0, t = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            t += utf8Length(static_cast<unsigned char>(text[t]));
        } else if (p < pattern.size() &&
                   fold(pattern[p], caseInsensitive) == fold(text[t], caseInsensitive)) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    // "name.*" also matches "name" without an extension, as "*.*" matches names without dot.
    if (p + 2 == pattern.size() && pattern[p] == '.' && pattern[p + 1] == '*')
        return true;
    return p == pattern.size();
}

bool hasWildcard(std::string_view text)
{
    return text.find_first_of("*?") != std::string_view::npos;
}

bool memberMatches(std::string_view pattern, std::string_view memberPath, bool caseInsensitive,
                   bool exact)
{
    if (exact || !hasWildcard(pattern)) {
        if (pattern.size() != memberPath.size())
            return false;
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (fold(pattern[i], caseInsensitive) != fold(memberPath[i], caseInsensitive))
                return false;
        }
        return true;
    }
    if (wildcardMatch(pattern, memberPath, caseInsensitive))
        return true;
    if (pattern.find('/') != std::string_view::npos)
        return false;
    const size_t slash = memberPath.rfind('/');
    if (slash == std::string_view::npos)
        return false;
    return wildcardMatch(pattern, memberPath.substr(slash + 1), caseInsensitive);
}

} // namespace archiver
