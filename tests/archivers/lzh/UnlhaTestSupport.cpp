#include "UnlhaTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

UnlhaLibrary::UnlhaLibrary(const std::string& path)
{
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* e = dlerror();
        m_error = e ? e : "dlopen failed";
        return;
    }
    command = reinterpret_cast<decltype(command)>(dlsym(m_handle, "Unlha"));
    open = reinterpret_cast<decltype(open)>(dlsym(m_handle, "UnlhaOpenArchive"));
    findFirst = reinterpret_cast<decltype(findFirst)>(dlsym(m_handle, "UnlhaFindFirst"));
    findNext = reinterpret_cast<decltype(findNext)>(dlsym(m_handle, "UnlhaFindNext"));
    close = reinterpret_cast<decltype(close)>(dlsym(m_handle, "UnlhaCloseArchive"));
    version = reinterpret_cast<decltype(version)>(dlsym(m_handle, "UnlhaGetVersion"));
    originalSizeEx =
        reinterpret_cast<decltype(originalSizeEx)>(dlsym(m_handle, "UnlhaGetOriginalSizeEx"));
    if (!command || !open || !findFirst || !findNext || !close || !version || !originalSizeEx) {
        m_error = "an entry point is missing";
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

UnlhaLibrary::~UnlhaLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

UnlhaLibrary::Result UnlhaLibrary::run(const std::string& commandLine, uint32_t bufferSize) const
{
    std::vector<char> buffer(bufferSize + 16, '\x7f');
    Result r;
    r.code = command(0, commandLine.c_str(), buffer.data(), bufferSize);
    // The library writes only inside the buffer and ends the text with NUL.
    for (size_t i = bufferSize; i < buffer.size(); ++i) {
        if (buffer[i] != '\x7f')
            r.report = "<<wrote past the buffer>>";
    }
    if (r.report.empty())
        r.report.assign(buffer.data(), strnlen(buffer.data(), bufferSize));
    return r;
}

std::string makeTempDir()
{
    char tmpl[] = "/tmp/unlha-test-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

void removeTree(const std::string& path)
{
    if (!path.empty())
        shell("rm -rf " + quote(path));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void makeDirs(const std::string& path)
{
    shell("mkdir -p " + quote(path));
}

bool exists(const std::string& path)
{
    struct stat st {
    };
    return lstat(path.c_str(), &st) == 0;
}

static void walk(const std::string& root, const std::string& rel,
                 std::map<std::string, std::string>& out)
{
    DIR* d = opendir((rel.empty() ? root : root + "/" + rel).c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        const std::string r = rel.empty() ? n : rel + "/" + n;
        struct stat st {
        };
        lstat((root + "/" + r).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            out[r + "/"] = "";
            walk(root, r, out);
        } else {
            out[r] = readFile(root + "/" + r);
        }
    }
    closedir(d);
}

std::map<std::string, std::string> treeContents(const std::string& root)
{
    std::map<std::string, std::string> out;
    walk(root, "", out);
    return out;
}

int shell(const std::string& command, std::string* out)
{
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    const int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string findTool(const std::string& name)
{
    std::string out;
    if (shell("command -v " + name, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string missingTool(std::initializer_list<const char*> tools)
{
    for (const char* tool : tools)
        if (findTool(tool).empty())
            return tool;
    return {};
}

std::unique_ptr<UnlhaLibrary> loadBuiltLibrary(std::string& why)
{
    const char* bin = std::getenv("KORAMO_BUILD_BIN");
    if (!bin) {
        why = "KORAMO_BUILD_BIN is not set";
        return nullptr;
    }
    auto lib = std::make_unique<UnlhaLibrary>(std::string(bin) + "/libunlha32.so");
    if (!lib->loaded()) {
        why = lib->error();
        return nullptr;
    }
    return lib;
}

std::string quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::vector<std::string> listNames(const UnlhaLibrary& lib, const std::string& archive)
{
    std::vector<std::string> names;
    const ArchiverHandle h = lib.open(0, archive.c_str(), 0);
    if (!h)
        return names;
    ArchiverMemberInfo info;
    for (int r = lib.findFirst(h, "*.*", &info); r == 0; r = lib.findNext(h, &info))
        names.emplace_back(info.fileName);
    lib.close(h);
    return names;
}

std::string mixedData(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char* words[] = {"archive ",     "書庫の ", "member\n",   "0x1F2E ",
                                  "Lorem ipsum ", "dolor ",  "sit amet, ", "ファイル名 "};
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        if (rng() % 9 == 0) {
            for (int i = 0; i < 64; ++i)
                s.push_back(static_cast<char>(rng()));
        } else {
            s += words[rng() % 8];
        }
    }
    s.resize(size);
    return s;
}

std::string noise(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    return s;
}
