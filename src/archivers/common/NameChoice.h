#pragma once

#include <string>

namespace archiver
{

// The encoding a user chose for the names of one archive (keyed by its real path); empty
// means valid UTF-8 as it is and anything else as CP932. An unknown encoding is refused with false.
bool chooseNameEncoding(const std::string& archive, const std::string& encoding);
std::string chosenNameEncoding(const std::string& archive);

} // namespace archiver
