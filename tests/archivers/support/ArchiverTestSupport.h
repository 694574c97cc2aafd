#pragma once

#include "ArchiverApi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

// One archiver library loaded with dlopen from the build's program folder, as the program
// loads it.
class LoadedArchiver
{
public:
    struct Run {
        int result = 0;
        std::string report;
    };
    struct Member {
        ArchiverMemberInfo record;
        std::string name;
        int64_t originalSize = -1;
        int64_t compressedSize = -1;
    };

    LoadedArchiver(const std::string& fileName, const std::string& prefix);
    ~LoadedArchiver();
    LoadedArchiver(const LoadedArchiver&) = delete;
    LoadedArchiver& operator=(const LoadedArchiver&) = delete;

    bool loaded() const { return m_handle != nullptr; }
    void* symbol(const std::string& suffix) const;
    Run run(const std::string& commandLine, uint32_t bufferSize = 2048) const;
    // Open, find every member matching the wildcard, close. ok is false when the archive
    // could not be opened; findResult holds the code that ended the walk.
    std::vector<Member> list(const std::string& archive, bool& ok, int& findResult,
                             const std::string& wildcard = "*.*", uint32_t mode = 0) const;
    int version() const;

private:
    void* m_handle = nullptr;
    std::string m_prefix;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string buildBin();
std::string sourceDir();
std::string fixtureScript();
// Runs a shell command; returns its exit status.
int shell(const std::string& command);
std::string quote(const std::string& text);
// Runs this test program again on a virtual display of its own (xvfb-run), with the environment
// variable `childVariable` set and only the tests `filter` names; returns its exit status.
int runSelfUnderDisplay(const std::string& childVariable, const std::string& filter);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
bool exists(const std::string& path);
// Every regular file below the folder, relative, sorted.
std::vector<std::string> filesBelow(const std::string& folder);
std::string randomBytes(size_t size, unsigned seed);

} // namespace testsupport
