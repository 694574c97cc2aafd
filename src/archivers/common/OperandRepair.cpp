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

bool endsWithSlash(const std::string& text)
{
    return !text.empty() && text.back() == '/';
}

} // namespace

Operands repairOperands(const CommandLine& commandLine, const std::string& extension)
{
    const std::vector<CommandLine::Operand>& all = commandLine.operands();
    Operands out;
    if (all.empty())
        return out;
    const CommandLine::Operand& archive = all.front();
    // An empty operand ("") after the archive only keeps the others in their places.
    std::vector<CommandLine::Operand> rest;
    for (size_t i = 1; i < all.size(); ++i) {
        if (!all[i].text.empty())
            rest.push_back(all[i]);
    }
    const bool baseGiven = !commandLine.baseFolder().empty();

    out.archive = archive.text;
    size_t used = 0;
    if (!archive.quoted && !archive.text.empty() && !isFile(archive.text) &&
        !endsWithNoCase(archive.text, extension)) {
        std::string joined = archive.text;
        for (size_t i = 0; i < rest.size() && !rest[i].quoted; ++i) {
            joined += ' ' + rest[i].text;
            if (isFile(joined) || endsWithNoCase(joined, extension)) {
                out.archive = joined;
                used = i + 1;
                break;
            }
        }
    }
    if (used == 0 && baseGiven) {
        out.baseFolder = commandLine.baseFolder();
        used = 1;
    } else if (used < rest.size() && rest[used].quoted && used > 0 &&
               endsWithSlash(rest[used].text)) {
        out.baseFolder = rest[used].text;
        ++used;
    } else if (used < rest.size() && !rest[used].quoted && rest[used].text[0] == '/') {
        std::string joined;
        for (size_t i = used; i < rest.size() && !rest[i].quoted; ++i) {
            joined += (i == used ? "" : " ") + rest[i].text;
            if (endsWithSlash(joined)) {
                out.baseFolder = joined;
                used = i + 1;
                break;
            }
        }
    }
    for (size_t i = used; i < rest.size(); ++i)
        out.names.push_back(rest[i].text);
    return out;
}

} // namespace archiver
