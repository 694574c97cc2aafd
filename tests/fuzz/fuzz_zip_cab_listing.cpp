// Lists arbitrary bytes as a ZIP archive and as a cabinet through the libraries' own entry
// points (open, find first and next, the 64-bit sizes, close), as the member list does: the
// libarchive reader, the listing session and the central directory or CFFILE tables.
// Every record that comes back is NUL-terminated, and the listing ends. The cabinet is also
// extracted (our folder reader for stored and MSZIP folders) into a fresh folder, which is
// removed again: the call ends with a result code and writes nothing outside that folder.
#include "MemoryFile.h"

#include "ArchiverApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <string>
#include <sys/stat.h>

namespace
{

using Open = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
using FindFirst = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
using FindNext = int (*)(ArchiverHandle, ArchiverMemberInfo*);
using Close = int (*)(ArchiverHandle);
using Size = int (*)(ArchiverHandle, int64_t*);

struct Library {
    Open open;
    FindFirst findFirst;
    FindNext findNext;
    Close close;
    Size originalSize;
    Size compressedSize;
};

bool terminated(const char* field, size_t size)
{
    return std::memchr(field, '\0', size) != nullptr;
}

void checkRecord(const ArchiverMemberInfo& info)
{
    if (!terminated(info.fileName, sizeof info.fileName) ||
        !terminated(info.attribute, sizeof info.attribute) ||
        !terminated(info.mode, sizeof info.mode))
        std::abort();
}

void list(const Library& lib, const char* path, const char* pattern)
{
    const ArchiverHandle handle = lib.open(0, path, 0);
    if (!handle)
        return;
    ArchiverMemberInfo info;
    int64_t original = 0;
    int64_t compressed = 0;
    int result = lib.findFirst(handle, pattern, &info);
    for (int count = 0; result == ARCHIVER_OK; ++count) {
        checkRecord(info);
        if (lib.originalSize(handle, &original) != 0 ||
            lib.compressedSize(handle, &compressed) != 0 || original < 0 ||
            static_cast<uint32_t>(original) != info.originalSize)
            std::abort();
        if (count > 100000)
            std::abort(); // a listing that never ends
        result = lib.findNext(handle, &info);
    }
    if (result != ARCHIVER_FIND_END && result != ARCHIVER_ERROR_HEADER_BROKEN &&
        result != ARCHIVER_ERROR_ARC_FILE_OPEN)
        std::abort();
    // After the end there is no member to ask about, and the search stays ended.
    if (lib.originalSize(handle, &original) != -1 || lib.findNext(handle, &info) == ARCHIVER_OK)
        std::abort();
    if (lib.close(handle) != ARCHIVER_OK || lib.close(handle) == ARCHIVER_OK)
        std::abort();
}

int removeOne(const char* path, const struct stat*, int, struct FTW*)
{
    return ::remove(path);
}

void extractCabinet(const std::string& path)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz-cab-XXXXXX";
    if (!::mkdtemp(folder.data()))
        std::abort();
    const std::string line = "-x -r -o -i \"" + path + "\" \"" + folder + "/out/\"";
    char report[4096];
    const int result = Cab(0, line.c_str(), report, sizeof report);
    if ((result != ARCHIVER_OK && result < 0x8000) || !std::memchr(report, '\0', sizeof report))
        std::abort();
    ::nftw(folder.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1024 * 1024)
        return 0;
    static const Library zip{UnZipOpenArchive,  UnZipFindFirst,         UnZipFindNext,
                             UnZipCloseArchive, UnZipGetOriginalSizeEx, UnZipGetCompressedSizeEx};
    static const Library cab{CabOpenArchive,  CabFindFirst,         CabFindNext,
                             CabCloseArchive, CabGetOriginalSizeEx, CabGetCompressedSizeEx};
    const MemoryFile file(data, size);
    const char* pattern = (size & 1) ? "*" : "*.txt";
    list(zip, file.path().c_str(), pattern);
    list(cab, file.path().c_str(), pattern);
    extractCabinet(file.path());
    return 0;
}
