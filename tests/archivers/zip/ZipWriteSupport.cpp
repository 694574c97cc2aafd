#include "ZipWriteSupport.h"

#include "NameCodec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace testsupport;

namespace zipwrite
{

LoadedArchiver& unzipLibrary()
{
    static LoadedArchiver lib("libunzip32.so", "UnZip");
    return lib;
}

void makeHostileTree(const std::string& root)
{
    std::string text;
    for (int i = 0; i < 90000; ++i)
        text +=
            "行 " + std::to_string(i) + " of the log: " + std::to_string(i * 7919 % 1000) + "\n";
    writeFile(root + "/日本語フォルダ/テスト 1.txt", "テストの中身\n" + text.substr(0, 5000));
    writeFile(root + "/-始まり.txt", "dash\n");
    writeFile(root + "/-x", "a switch's name\n");
    writeFile(root + "/空 白 の 名前.txt", "blanks\n");
    writeFile(root + "/引用\"符\".txt", "double quotes\n");
    writeFile(root + "/it's.txt", "single quote\n");
    // "ソ" and "表" end in the byte of "\\" in CP932.
    writeFile(root + "/ソフト表.txt", "0x5C as a second byte\n");
    std::string longName;
    for (int i = 0; i < 66; ++i)
        longName += "あ";
    writeFile(root + "/" + longName + ".t", "a 200-byte name\n");
    writeFile(root + "/a/同名.txt", "the one in a\n");
    writeFile(root + "/b/同名.txt", "the one in b, longer\n");
    writeFile(root + "/空.txt", "");
    fs::create_directories(root + "/空フォルダ");
    writeFile(root + "/bin/random.bin", randomBytes(5 << 20, 7));
    writeFile(root + "/bin/text.log", text);
    ::chmod((root + "/it's.txt").c_str(), 0600);
    ::chmod((root + "/-x").c_str(), 0755);
}

std::set<std::string> entriesBelow(const std::string& folder)
{
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), folder).string();
        out.insert(it->is_directory() ? rel + "/" : rel);
    }
    return out;
}

std::set<std::string> lineSet(const std::string& text)
{
    std::set<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            out.insert(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string capture(const std::string& command, int& status)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

void expectSameTree(const std::string& expected, const std::string& actual)
{
    const std::set<std::string> names = entriesBelow(expected);
    ASSERT_EQ(names, entriesBelow(actual)) << actual;
    for (const std::string& name : names) {
        if (name.back() != '/') {
            EXPECT_EQ(readFile(expected + "/" + name), readFile(actual + "/" + name)) << name;
        }
    }
}

void expectSameTreeInCp932(const std::string& expected, const std::string& actual)
{
    const std::set<std::string> names = entriesBelow(expected);
    ASSERT_EQ(inCp932(names), entriesBelow(actual)) << actual;
    for (const std::string& name : names) {
        std::string bytes;
        archiver::utf8ToCp932(name, bytes);
        if (name.back() != '/') {
            EXPECT_EQ(readFile(expected + "/" + name), readFile(actual + "/" + bytes)) << name;
        }
    }
}

std::set<std::string> inCp932(const std::set<std::string>& names)
{
    std::set<std::string> out;
    for (const std::string& name : names) {
        std::string bytes;
        EXPECT_TRUE(archiver::utf8ToCp932(name, bytes)) << name;
        out.insert(bytes);
    }
    return out;
}

std::set<std::string> namesStartingWith(const std::string& folder, const std::string& prefix)
{
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            out.insert(name);
    }
    return out;
}

std::string createLine(const std::string& switches, const std::string& archive,
                       const std::string& base)
{
    return switches + " \"" + archive + "\" \"" + base + "/\" *.*";
}

int runAsUser(const std::string& folder, const std::string& commandLine, uint32_t bufferSize,
              std::string& report)
{
    LoadedArchiver& lib = unzipLibrary();
    if (::geteuid() == 0) {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            ::lchown(entry.path().c_str(), 65534, 65534);
        ::chown(folder.c_str(), 65534, 65534);
    }
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        const LoadedArchiver::Run run = lib.run(commandLine, bufferSize);
        const std::string out = std::to_string(run.result) + "\n" + run.report;
        size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                ::_exit(98);
            done += static_cast<size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || out.find('\n') == std::string::npos)
        return -1;
    report = out.substr(out.find('\n') + 1);
    return std::stoi(out.substr(0, out.find('\n')));
}

} // namespace zipwrite
