// Replays the kept inputs of one fuzz target (its seed corpus and every input that once
// crashed it) through the target, built without libFuzzer. Fails when an input is missing.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size);

namespace
{

// Replays every file in the folder and, `depth` levels down, in its subfolders (a target that
// reads several formats keeps one folder of seeds per format). The number of files replayed.
int replayFolder(const std::string& dir, int depth)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return 0;
    int files = 0;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string path = dir + "/" + e->d_name;
        struct stat st {
        };
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth > 0)
                files += replayFolder(path, depth - 1);
            continue;
        }
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            continue;
        std::vector<unsigned char> bytes;
        unsigned char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++files;
    }
    closedir(d);
    return files;
}

} // namespace

int main()
{
    const char* source = std::getenv("KORAMO_SOURCE_DIR");
    if (!source) {
        std::fprintf(stderr, "KORAMO_SOURCE_DIR is not set\n");
        return 1;
    }
    int files = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::string dir =
            std::string(source) + "/tests/fuzz/" + kind + "/" + FUZZ_TARGET_NAME;
        files += replayFolder(dir, 1);
    }
    std::printf("%d inputs replayed for %s\n", files, FUZZ_TARGET_NAME);
    if (files == 0) {
        std::fprintf(stderr, "no inputs found for %s\n", FUZZ_TARGET_NAME);
        return 1;
    }
    return 0;
}
