#include "NameChoice.h"

#include "NameCodec.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

namespace archiver
{

namespace
{

std::mutex& choicesMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, std::string>& choices()
{
    static std::map<std::string, std::string> c;
    return c;
}

// The same archive reached by another spelling of its path keeps its choice.
std::string keyOf(const std::string& archive)
{
    char resolved[PATH_MAX];
    return ::realpath(archive.c_str(), resolved) ? std::string(resolved) : archive;
}

} // namespace

bool chooseNameEncoding(const std::string& archive, const std::string& encoding)
{
    if (!encoding.empty() && !isNameEncoding(encoding))
        return false;
    const std::string key = keyOf(archive);
    std::lock_guard<std::mutex> lock(choicesMutex());
    if (encoding.empty())
        choices().erase(key);
    else
        choices()[key] = encoding;
    return true;
}

std::string chosenNameEncoding(const std::string& archive)
{
    const std::string key = keyOf(archive);
    std::lock_guard<std::mutex> lock(choicesMutex());
    const auto it = choices().find(key);
    return it == choices().end() ? std::string() : it->second;
}

} // namespace archiver
