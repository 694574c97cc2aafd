#pragma once

#include <string_view>

namespace archiver
{

// Wildcard match of a whole text: "*" any run of characters (also "." and "/"), "?" one
// character (one UTF-8 sequence). "*.*" matches every text, with or without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view text, bool caseInsensitive = false);

// Whether a member path ("dir/sub/name") is selected by a name pattern: the pattern is
// matched against the whole path, and, when it holds no "/", also against the last part.
bool memberMatches(std::string_view pattern, std::string_view memberPath,
                   bool caseInsensitive = false);

} // namespace archiver
