#pragma once

#include "ArchiverApi.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

// libunlha32.so loaded with dlopen from a folder, as the program loads it.
class UnlhaLibrary
{
public:
    explicit UnlhaLibrary(const std::string& path);
    ~UnlhaLibrary();
    bool loaded() const { return m_handle != nullptr; }
    const std::string& error() const { return m_error; }

    struct Result {
        int code = -1;
        std::string report;
    };
    // Runs a command line with a report buffer of the given size (the program uses 2048,
    // and 255 for deleting members).
    Result run(const std::string& commandLine, uint32_t bufferSize = 2048) const;

    decltype(&Unlha) command = nullptr;
    decltype(&UnlhaOpenArchive) open = nullptr;
    decltype(&UnlhaFindFirst) findFirst = nullptr;
    decltype(&UnlhaFindNext) findNext = nullptr;
    decltype(&UnlhaCloseArchive) close = nullptr;
    decltype(&UnlhaGetVersion) version = nullptr;
    decltype(&UnlhaGetOriginalSizeEx) originalSizeEx = nullptr;

private:
    void* m_handle = nullptr;
    std::string m_error;
};

// Helpers for files and external tools.
std::string makeTempDir();
void removeTree(const std::string& path);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
void makeDirs(const std::string& path);
bool exists(const std::string& path);
// Every regular file under root, by relative path, with its content.
std::map<std::string, std::string> treeContents(const std::string& root);
// Runs a shell command; returns its exit status and puts its output into out.
int shell(const std::string& command, std::string* out = nullptr);
// The absolute path of a tool, or empty.
std::string findTool(const std::string& name);
// The first of these tools that is not installed, or empty when all are.
std::string missingTool(std::initializer_list<const char*> tools);
// The LZH library of this build (the folder in KORAMO_BUILD_BIN), loaded; null with the reason
// in `why` when it cannot be.
std::unique_ptr<UnlhaLibrary> loadBuiltLibrary(std::string& why);
std::string quote(const std::string& s);
// Member names as the find calls list them.
std::vector<std::string> listNames(const UnlhaLibrary& lib, const std::string& archive);
// Mixed data: text-like runs and noise.
std::string mixedData(size_t size, unsigned seed);
std::string noise(size_t size, unsigned seed);
