#pragma once

#include <string_view>

namespace archiver
{

// Wildcard match of a whole text: "*" any run of characters (also "." and "/"), "?" one
// character (one UTF-8 sequence). "*.*" matches every text, with or without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view text, bool caseInsensitive = false);

// Whether the text holds "*" or "?".
bool hasWildcard(std::string_view text);

// Whether a member path ("dir/sub/name") is selected by a name. A name with "*" or "?" is a
// wildcard matched against the whole path and, when it holds no "/", also against the last
// part ("*.txt" finds "dir/a.txt"). Any other name, and every name when `exact`, selects
// only the member whose whole path equals it: "readme.txt" is not "docs/readme.txt", and an
// exact "a*.txt" is the member of that very name.
bool memberMatches(std::string_view name, std::string_view memberPath, bool caseInsensitive = false,
                   bool exact = false);

} // namespace archiver
