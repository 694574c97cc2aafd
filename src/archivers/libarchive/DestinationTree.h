#pragma once

#include <string>
#include <vector>

namespace archiver
{

// The folder members are extracted into. Every folder below it is created and entered one
// component at a time with openat(O_NOFOLLOW), so neither a stored name nor a link that
// already lies in the destination can lead a write outside it.
class DestinationTree
{
public:
    DestinationTree() = default;
    ~DestinationTree();
    DestinationTree(const DestinationTree&) = delete;
    DestinationTree& operator=(const DestinationTree&) = delete;

    // Opens (and creates, with its parents) the destination folder.
    bool open(const std::string& path, std::string& error);
    const std::string& path() const { return m_path; }

    // Splits a stored name into safe components: empty and "." parts are dropped; an absolute
    // name or a ".." part makes the name unsafe (false).
    static bool splitSafe(const std::string& name, std::vector<std::string>& parts);

    // Opens the folder made of the components, creating what is missing. Returns a descriptor
    // the caller closes, or -1 with the reason. created receives the folders made. The folder
    // opened last is kept open: the members of one folder usually follow each other, and each
    // then gets it without walking the path again (it stays the folder it was, whatever comes
    // to lie under its name).
    int openFolder(const std::vector<std::string>& parts, std::vector<std::string>* created,
                   std::string& error);

private:
    int walk(const std::vector<std::string>& parts, std::vector<std::string>* created,
             std::string& error);

    int m_root = -1;
    std::string m_path;
    int m_last = -1;
    std::vector<std::string> m_lastParts;
};

} // namespace archiver
