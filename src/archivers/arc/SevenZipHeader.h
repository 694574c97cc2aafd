#pragma once

#include <string>

namespace archiver
{

// What a 7z archive's directory says before libarchive reads it. libarchive allocates what the
// directory's counts and sizes declare (numbers of streams, folders and files, the length of the
// names) before it reads what they describe, so that a few damaged bytes make it ask for
// gigabytes: the directory is plausible when every count fits in the bytes left in it and every
// stream in the file. Only the directory as stored is walked; of a packed directory, its own
// packing (libarchive's limits apply to what it unpacks).
struct SevenZipDirectory {
    bool sevenZip = false;           // the file starts with 7z's mark
    bool plausible = true;           // nothing in it breaks a bound (true for anything else)
    bool walked = false;             // its directory was read here to its end
    bool encryptedDirectory = false; // walked, and packed with AES (7z -mhe)
};
SevenZipDirectory inspectSevenZip(const std::string& path);

} // namespace archiver
