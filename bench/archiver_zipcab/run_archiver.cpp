// Runs one archiver command line through a library loaded from the program folder, as the
// program does: run_archiver LIBRARY PREFIX "COMMAND LINE". Prints the result code; the
// report only when the code is not 0.

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBRARY PREFIX \"COMMAND LINE\"\n", argv[0]);
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    using Command = int (*)(uintptr_t, const char*, char*, uint32_t);
    auto run = reinterpret_cast<Command>(dlsym(lib, argv[2]));
    if (!run) {
        std::fprintf(stderr, "no entry point %s\n", argv[2]);
        return 2;
    }
    std::vector<char> report(1 << 16);
    const int rc = run(0, argv[3], report.data(), static_cast<uint32_t>(report.size()));
    if (rc != 0)
        std::fprintf(stderr, "result %#x\n%s\n", rc, report.data());
    return rc == 0 ? 0 : 1;
}
