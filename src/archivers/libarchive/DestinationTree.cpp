#include "DestinationTree.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archiver
{

DestinationTree::~DestinationTree()
{
    if (m_last >= 0)
        ::close(m_last);
    if (m_root >= 0)
        ::close(m_root);
}

bool DestinationTree::open(const std::string& path, std::string& error)
{
    m_path = path.empty() ? std::string(".") : path;
    // The destination itself is the user's choice: its parents are created as needed.
    std::string partial;
    size_t pos = 0;
    while (pos <= m_path.size()) {
        const size_t slash = m_path.find('/', pos);
        const size_t end = slash == std::string::npos ? m_path.size() : slash;
        partial = m_path.substr(0, end);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
        pos = slash + 1;
    }
    m_root = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_root < 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool DestinationTree::splitSafe(const std::string& name, std::vector<std::string>& parts)
{
    parts.clear();
    if (name.empty() || name[0] == '/')
        return false;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        if (slash == std::string::npos)
            slash = name.size();
        const std::string part = name.substr(pos, slash - pos);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        pos = slash + 1;
    }
    return !parts.empty();
}

int DestinationTree::openFolder(const std::vector<std::string>& parts,
                                std::vector<std::string>* created, std::string& error)
{
    if (m_last >= 0 && parts == m_lastParts) {
        const int again = ::dup(m_last);
        if (again >= 0)
            return again;
    }
    const int fd = walk(parts, created, error);
    if (fd >= 0) {
        if (m_last >= 0)
            ::close(m_last);
        m_last = ::dup(fd);
        m_lastParts = parts;
    }
    return fd;
}

int DestinationTree::walk(const std::vector<std::string>& parts, std::vector<std::string>* created,
                          std::string& error)
{
    int fd = ::dup(m_root);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    std::string relative;
    for (const std::string& part : parts) {
        relative += relative.empty() ? part : "/" + part;
        if (::mkdirat(fd, part.c_str(), 0777) == 0) {
            if (created)
                created->push_back(relative);
        } else if (errno != EEXIST) {
            error = std::strerror(errno);
            ::close(fd);
            return -1;
        }
        const int child =
            ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        if (child < 0) {
            error = err == ELOOP || err == ENOTDIR ? "a file or link of that name is in the way"
                                                   : std::strerror(err);
            return -1;
        }
        fd = child;
    }
    return fd;
}

} // namespace archiver
