#pragma once

#include "NameChoice.h"
#include "ZipCentralDirectory.h"

#include <string>
#include <unordered_set>

namespace archiver
{

// Decodes ZIP member names that libarchive hands over as stored. A name the writer marked as
// UTF-8 is UTF-8; any other name is decoded by the encoding chosen for the archive, or, with
// none chosen, as UTF-8 when it is valid UTF-8 (Info-ZIP on Linux writes it so, unmarked) and
// as CP932 otherwise (Japanese Windows). Every name comes out composed (NFC).
class ZipNames final
{
public:
    ZipNames(const ZipCentralDirectory& directory, std::string encoding);
    std::string decode(const std::string& stored) const;

private:
    std::unordered_set<std::string> m_marked;
    std::string m_encoding;
};

} // namespace archiver
