// Runs libunlha32.so the way the program does, for the benchmark script:
//   unlha_bench run  LIBDIR "COMMAND LINE"   one Unlha() call
//   unlha_bench list LIBDIR ARCHIVE          the listing loop (open, find first/next, close)
#include "ArchiverApi.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s run|list LIBDIR ARG\n", argv[0]);
        return 2;
    }
    const std::string path = std::string(argv[2]) + "/libunlha32.so";
    void* lib = dlopen(path.c_str(), RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    if (std::strcmp(argv[1], "run") == 0) {
        auto unlha = reinterpret_cast<decltype(&Unlha)>(dlsym(lib, "Unlha"));
        std::vector<char> report(1 << 16);
        const int r = unlha(0, argv[3], report.data(), static_cast<uint32_t>(report.size()));
        if (r != 0)
            std::fprintf(stderr, "result %d\n%s\n", r, report.data());
        return r == 0 ? 0 : 1;
    }
    auto open = reinterpret_cast<decltype(&UnlhaOpenArchive)>(dlsym(lib, "UnlhaOpenArchive"));
    auto first = reinterpret_cast<decltype(&UnlhaFindFirst)>(dlsym(lib, "UnlhaFindFirst"));
    auto next = reinterpret_cast<decltype(&UnlhaFindNext)>(dlsym(lib, "UnlhaFindNext"));
    auto close = reinterpret_cast<decltype(&UnlhaCloseArchive)>(dlsym(lib, "UnlhaCloseArchive"));
    const ArchiverHandle h = open(0, argv[3], 0);
    if (!h)
        return 1;
    ArchiverMemberInfo info;
    long count = 0;
    for (int r = first(h, "*.*", &info); r == 0; r = next(h, &info)) {
        // Touch the record as the listing does (name and size).
        count += info.fileName[0] != 0 && info.originalSize != 0xFFFFFFFFu;
    }
    close(h);
    std::printf("%ld\n", count);
    return 0;
}
