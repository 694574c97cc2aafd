#pragma once

#include <string>

namespace archiver
{

// The folder that holds the archiver library this code is linked into (the program
// folder), without a trailing "/"; empty when it cannot be found.
std::string programFolder();

} // namespace archiver
