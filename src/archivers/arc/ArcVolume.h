#pragma once

#include <string>
#include <vector>

namespace archiver
{

// One part of a set of volumes, which cannot be extracted on its own: a RAR archive (v4 or v5)
// whose main header marks it as a volume. False for anything else, and for a file that cannot
// be read. (A 7z archive split into numbered parts is not read at all: its directory is in the
// last part.)
bool isVolumeOfSet(const std::string& path);

// For each member of a RAR archive (v4 or v5) in the order of its headers, whether its data is
// encrypted, read from the headers themselves (the libarchive we build on does not say so for
// RAR). Empty for anything else; the walk stops early at damage, leaving the rest unmarked.
std::vector<bool> rarEncryptedMembers(const std::string& path);

} // namespace archiver
