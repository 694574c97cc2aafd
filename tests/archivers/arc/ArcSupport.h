#pragma once

#include "ArchiverTestSupport.h"

#include <ctime>
#include <string>
#include <vector>

namespace arctest
{

// libunarc32.so as the program loads it.
testsupport::LoadedArchiver& unarc();

// The folder of the RAR samples (data/README.md).
std::string dataFile(const std::string& name);

// A small tree of files with fixed times under dir/"tree": folders, a Japanese name, a name
// starting with "-", an empty file and a larger random one.
struct Tree {
    std::string root;
    std::vector<std::string> files; // relative, sorted
};
Tree makeTree(const testsupport::TempFolder& dir);
// The time every file of the tree carries (2021-03-04 05:06:08 local time).
time_t treeTime();

// The archive of the tree in the format of `ending` (".7z", ".tar.gz", ".iso" …), made by the
// program that makes such archives; empty when it failed.
std::string archiveOfTree(const testsupport::TempFolder& dir, const Tree& tree,
                          const std::string& ending);

// Every regular file below folder with its bytes, relative path first.
std::vector<std::pair<std::string, std::string>> contentsBelow(const std::string& folder);

// A token of the archivers' command line in double quotes.
std::string dq(const std::string& text);

// Runs python3 with the script text; its exit status.
int python(const std::string& script);

} // namespace arctest
