#pragma once

#include "ArchiverTestSupport.h"

#include <set>
#include <string>

// Shared by the tests of writing ZIP archives ("UnZip -a").
namespace zipwrite
{

testsupport::LoadedArchiver& unzipLibrary();

// A tree of hostile names: Japanese folders and names with blanks, names starting with "-",
// quotes, a 200-byte name, namesakes in different folders, an empty file, an empty folder, a
// 5 MiB file that does not compress and a 3 MiB text that does (several pieces of deflate).
void makeHostileTree(const std::string& root);

// Every file and folder below the folder, relative, folders ending in "/".
std::set<std::string> entriesBelow(const std::string& folder);
// The lines of a text, empty ones left out.
std::set<std::string> lineSet(const std::string& text);
// What a shell command writes to its standard output; status receives its exit status.
std::string capture(const std::string& command, int& status);
// The same files, bytes and folders below both folders.
void expectSameTree(const std::string& expected, const std::string& actual);
// The same, the names below `actual` being the CP932 bytes of those below `expected` (as tools
// that are not told the encoding write them).
void expectSameTreeInCp932(const std::string& expected, const std::string& actual);
// The names of the entries as CP932 bytes.
std::set<std::string> inCp932(const std::set<std::string>& names);
// Files whose name starts with the prefix in the folder (a leftover temporary, say).
std::set<std::string> namesStartingWith(const std::string& folder, const std::string& prefix);

// The command line that makes `archive` from everything below `base` (with -r), with the
// switches given first.
std::string createLine(const std::string& switches, const std::string& archive,
                       const std::string& base);

// Runs the library in a child process as the unprivileged user 65534 when started as root (root
// reads every file), with the folder handed to that user; the report goes into `report`.
int runAsUser(const std::string& folder, const std::string& commandLine, uint32_t bufferSize,
              std::string& report);

} // namespace zipwrite
