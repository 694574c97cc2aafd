#include "ArchiverTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport
{

std::string buildBin()
{
    const char* v = std::getenv("KORAMO_BUILD_BIN");
    return v ? v : "";
}

std::string sourceDir()
{
    const char* v = std::getenv("KORAMO_SOURCE_DIR");
    return v ? v : "";
}

std::string fixtureScript()
{
    return sourceDir() + "/tests/archivers/support/fixtures.py";
}

LoadedArchiver::LoadedArchiver(const std::string& fileName, const std::string& prefix)
    : m_prefix(prefix)
{
    m_handle = ::dlopen((buildBin() + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
}

LoadedArchiver::~LoadedArchiver()
{
    if (m_handle)
        ::dlclose(m_handle);
}

void* LoadedArchiver::symbol(const std::string& suffix) const
{
    return m_handle ? ::dlsym(m_handle, (m_prefix + suffix).c_str()) : nullptr;
}

LoadedArchiver::Run LoadedArchiver::run(const std::string& commandLine, uint32_t bufferSize) const
{
    using Command = int (*)(ArchiverWindow, const char*, char*, uint32_t);
    auto fn = reinterpret_cast<Command>(symbol(""));
    if (!fn)
        throw std::runtime_error("no command entry point");
    // The buffer is filled with a marker so that writing past the given size shows.
    std::vector<char> buffer(bufferSize + 64, '\x7f');
    Run r;
    r.result = fn(0, commandLine.c_str(), buffer.data(), bufferSize);
    for (size_t i = bufferSize; i < buffer.size(); ++i)
        if (buffer[i] != '\x7f')
            throw std::runtime_error("report written past the buffer size");
    r.report.assign(buffer.data(), strnlen(buffer.data(), bufferSize));
    return r;
}

std::vector<LoadedArchiver::Member> LoadedArchiver::list(const std::string& archive, bool& ok,
                                                         int& findResult,
                                                         const std::string& wildcard,
                                                         uint32_t mode) const
{
    using Open = ArchiverHandle (*)(ArchiverWindow, const char*, uint32_t);
    using First = int (*)(ArchiverHandle, const char*, ArchiverMemberInfo*);
    using Next = int (*)(ArchiverHandle, ArchiverMemberInfo*);
    using Close = int (*)(ArchiverHandle);
    using Size = int (*)(ArchiverHandle, int64_t*);
    auto open = reinterpret_cast<Open>(symbol("OpenArchive"));
    auto first = reinterpret_cast<First>(symbol("FindFirst"));
    auto next = reinterpret_cast<Next>(symbol("FindNext"));
    auto close = reinterpret_cast<Close>(symbol("CloseArchive"));
    auto original = reinterpret_cast<Size>(symbol("GetOriginalSizeEx"));
    auto compressed = reinterpret_cast<Size>(symbol("GetCompressedSizeEx"));
    if (!open || !first || !next || !close || !original || !compressed)
        throw std::runtime_error("missing listing entry points");
    std::vector<Member> members;
    const ArchiverHandle h = open(0, archive.c_str(), mode);
    ok = h != 0;
    findResult = -1;
    if (!ok)
        return members;
    ArchiverMemberInfo info;
    int rc = first(h, wildcard.c_str(), &info);
    while (rc == 0) {
        Member m;
        m.record = info;
        m.name = info.fileName;
        original(h, &m.originalSize);
        compressed(h, &m.compressedSize);
        members.push_back(m);
        rc = next(h, &info);
    }
    findResult = rc;
    close(h);
    return members;
}

int LoadedArchiver::version() const
{
    using Version = int (*)();
    auto fn = reinterpret_cast<Version>(symbol("GetVersion"));
    return fn ? fn() : -1;
}

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "koramo-zipcab-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

int shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int runSelfUnderDisplay(const std::string& childVariable, const std::string& filter)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return -1;
    self[n] = '\0';
    // Each case opens and closes its own connection to the display; without -noreset the server
    // starts over when the last one closes, and on a busy machine the next case finds no display.
    return shell("xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' env QT_QPA_PLATFORM=xcb " +
                 childVariable + "=1 " + quote(self) + " --gtest_filter=" + quote(filter));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::vector<std::string> filesBelow(const std::string& folder)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file())
            out.push_back(fs::relative(it->path(), folder).string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string randomBytes(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

} // namespace testsupport
