#include "SafePath.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

namespace archiver
{

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (out.empty())
        return std::string(name);
    if (out.back() != '/')
        out.push_back('/');
    size_t start = 0;
    while (start < name.size() && name[start] == '/')
        ++start;
    out.append(name.substr(start));
    return out;
}

std::optional<std::string> cleanMemberPath(std::string_view member, bool allowAbsolute,
                                           std::string& reason)
{
    if (member.find('\0') != std::string_view::npos) {
        reason = "名前に使えない文字が含まれています";
        return std::nullopt;
    }
    if (!member.empty() && member.front() == '/' && !allowAbsolute) {
        reason = "絶対パスは展開しません";
        return std::nullopt;
    }
    std::string out;
    size_t i = 0;
    while (i <= member.size()) {
        size_t j = member.find('/', i);
        if (j == std::string_view::npos)
            j = member.size();
        const std::string_view part = member.substr(i, j - i);
        if (part == "..") {
            reason = "上位フォルダを指すパスは展開しません";
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            if (!out.empty())
                out.push_back('/');
            out.append(part);
        }
        i = j + 1;
    }
    if (out.empty()) {
        reason = "名前がありません";
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> safeJoin(const std::string& destination, const std::string& relative,
                                    bool createParents, std::string& reason,
                                    std::vector<std::string>* created)
{
    std::string dest = destination.empty() ? std::string(".") : destination;
    while (dest.size() > 1 && dest.back() == '/')
        dest.pop_back();
    std::string current = dest;
    size_t i = 0;
    while (i < relative.size()) {
        size_t j = relative.find('/', i);
        const bool last = (j == std::string::npos);
        if (last)
            j = relative.size();
        const std::string part = relative.substr(i, j - i);
        if (part.empty() || part == "." || part == "..") {
            reason = "不正なパスです";
            return std::nullopt;
        }
        current = joinPath(current, part);
        struct stat st {
        };
        if (lstat(current.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                reason = "リンクを経由して書き込むことはできません";
                return std::nullopt;
            }
            if (!last && !S_ISDIR(st.st_mode)) {
                reason = "同じ名前のファイルがあるためフォルダを作成できません";
                return std::nullopt;
            }
        } else if (!last) {
            if (errno != ENOENT) {
                reason = "フォルダを確認できません";
                return std::nullopt;
            }
            if (!createParents) {
                reason = "フォルダがありません";
                return std::nullopt;
            }
            if (mkdir(current.c_str(), 0777) != 0 && errno != EEXIST) {
                reason = "フォルダを作成できません";
                return std::nullopt;
            }
            // Re-check: something may have been put there meanwhile.
            if (lstat(current.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                reason = "フォルダを作成できません";
                return std::nullopt;
            }
            if (created)
                created->push_back(current);
        }
        i = j + 1;
    }
    return current;
}

} // namespace archiver
