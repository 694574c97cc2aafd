#pragma once

#include <string>

namespace archiver
{

// Whether the directory of a 7z archive could belong to a file of this size, checked before
// libarchive reads it: libarchive allocates what the directory's counts and sizes declare
// (numbers of streams, folders and files, the length of the names) before it reads what they
// describe, so that a few damaged bytes make it ask for gigabytes. Every count must fit in the
// bytes left in the directory and every stream in the file. Only the directory as stored is
// checked; a packed directory is checked up to its packing (its own streams), and libarchive's
// limits apply to what it unpacks. True for anything that is not a 7z archive, and for a
// directory too large to be read here (libarchive then decides alone).
bool sevenZipHeaderPlausible(const std::string& path);

} // namespace archiver
