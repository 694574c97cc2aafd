#include "OperandRepair.h"

#include <strings.h>
#include <sys/stat.h>

namespace archiver
{

namespace
{

bool isFile(const std::string& path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool endsWithNoCase(const std::string& text, const std::string& tail)
{
    return !tail.empty() && text.size() >= tail.size() &&
           ::strcasecmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

} // namespace

Operands repairOperands(const std::string& archive, const std::string& baseFolder,
                        const std::vector<std::string>& names, const std::string& extension)
{
    std::vector<std::string> rest;
    if (!baseFolder.empty())
        rest.push_back(baseFolder);
    rest.insert(rest.end(), names.begin(), names.end());

    Operands out;
    out.archive = archive;
    size_t used = 0;
    if (!archive.empty() && !isFile(archive) && !endsWithNoCase(archive, extension)) {
        std::string joined = archive;
        for (size_t i = 0; i < rest.size(); ++i) {
            joined += ' ' + rest[i];
            if (isFile(joined) || endsWithNoCase(joined, extension)) {
                out.archive = joined;
                used = i + 1;
                break;
            }
        }
    }
    if (used == 0 && !baseFolder.empty()) {
        out.baseFolder = baseFolder;
        used = 1;
    } else if (used < rest.size() && !rest[used].empty() && rest[used][0] == '/') {
        std::string joined;
        for (size_t i = used; i < rest.size(); ++i) {
            joined += (i == used ? "" : " ") + rest[i];
            if (!joined.empty() && joined.back() == '/') {
                out.baseFolder = joined;
                used = i + 1;
                break;
            }
        }
    }
    out.names.assign(rest.begin() + static_cast<std::ptrdiff_t>(used), rest.end());
    return out;
}

} // namespace archiver
