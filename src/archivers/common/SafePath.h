#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace archiver
{

// Turns a stored member path ("dir/sub/name", "/" between folders) into a clean relative
// path: empty parts and "." are dropped. Refused (nullopt, reason set) when a part is "..",
// when the path is absolute and absolute paths are not allowed (allowed ones lose their
// leading "/"), or when nothing is left.
std::optional<std::string> cleanMemberPath(std::string_view member, bool allowAbsolute,
                                           std::string& reason);

// Joins a clean relative path to the destination folder so that writing to the result can
// never leave the folder: every existing part below the destination must be a real folder
// (a link is refused), and the last part must not be a link. Missing parent folders are
// created when createParents is true; their paths are appended to created. Returns the full
// path, or nullopt with a reason for the report.
std::optional<std::string> safeJoin(const std::string& destination, const std::string& relative,
                                    bool createParents, std::string& reason,
                                    std::vector<std::string>* created = nullptr);

// "dir" + "/" + "name" with exactly one "/" between.
std::string joinPath(std::string_view folder, std::string_view name);

} // namespace archiver
