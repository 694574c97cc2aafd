#pragma once

#include <string>

namespace archiver
{

// One part of a set of volumes, which cannot be extracted on its own: a RAR archive (v4 or v5)
// whose main header marks it as a volume. False for anything else, and for a file that cannot
// be read. (A 7z archive split into numbered parts is not read at all: its directory is in the
// last part.)
bool isVolumeOfSet(const std::string& path);

} // namespace archiver
