// Reads arbitrary bytes through libunarc32.so's own entry points, as the program does: lists
// them (open, find first and next, the 64-bit sizes, close) and extracts them with folders and
// overwriting into a fresh folder. Every record is NUL-terminated, the listing ends, and the
// extraction writes nothing beside its destination: no member escapes through "..", an
// absolute name or a link, whatever the bytes say (7z, RAR, tar with any compression, ISO).
#include "MemoryFile.h"

#include "ArchiverApi.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <string>
#include <unistd.h>

namespace
{

bool terminated(const char* field, size_t size)
{
    return std::memchr(field, '\0', size) != nullptr;
}

void list(const char* path, const char* pattern)
{
    const ArchiverHandle handle = UnArcOpenArchive(0, path, 0);
    if (!handle)
        return;
    ArchiverMemberInfo info;
    int64_t original = 0;
    int result = UnArcFindFirst(handle, pattern, &info);
    for (int count = 0; result == ARCHIVER_OK; ++count) {
        if (!terminated(info.fileName, sizeof info.fileName) ||
            !terminated(info.attribute, sizeof info.attribute) ||
            !terminated(info.mode, sizeof info.mode))
            std::abort();
        if (UnArcGetOriginalSizeEx(handle, &original) != 0 || original < 0 ||
            static_cast<uint32_t>(original) != info.originalSize)
            std::abort();
        if (count > 100000)
            std::abort(); // a listing that never ends
        result = UnArcFindNext(handle, &info);
    }
    if (result != ARCHIVER_FIND_END && result != ARCHIVER_ERROR_HEADER_BROKEN &&
        result != ARCHIVER_ERROR_ARC_FILE_OPEN)
        std::abort();
    if (UnArcCloseArchive(handle) != ARCHIVER_OK || UnArcCloseArchive(handle) == ARCHIVER_OK)
        std::abort();
}

int removeOne(const char* path, const struct stat*, int, struct FTW*)
{
    return ::remove(path);
}

// The names in a folder other than "." and "..".
int entriesIn(const std::string& folder, std::string& first)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (count++ == 0)
            first = e->d_name;
    }
    ::closedir(dir);
    return count;
}

// The folder of this process: it holds "dest" and, after an extraction, nothing else. It is
// removed when the process ends.
class WorkFolder
{
public:
    WorkFolder()
    {
        char pattern[] = "/tmp/koramo-fuzz-unarc-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made)
            std::abort();
        m_path = made;
    }
    ~WorkFolder() { ::nftw(m_path.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS); }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

const std::string& workFolder()
{
    static const WorkFolder folder;
    return folder.path();
}

void extract(const char* path)
{
    const std::string dest = workFolder() + "/dest/";
    const std::string line = "-x -o --i \"" + std::string(path) + "\" \"" + dest + "\"";
    char report[4096];
    UnArcSetNameEncoding(path, "");
    UnArc(0, line.c_str(), report, sizeof report);
    if (!terminated(report, sizeof report))
        std::abort();
    std::string first;
    const int n = entriesIn(workFolder(), first);
    if (n > 1 || (n == 1 && first != "dest"))
        std::abort(); // something was written beside the destination
    ::nftw(dest.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024 * 1024)
        return 0;
    // No window may be asked for: extraction runs as without a display.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    const MemoryFile file(data, size);
    list(file.path().c_str(), (size & 1) ? "*" : "*.txt");
    extract(file.path().c_str());
    return 0;
}
