#include "ZipNames.h"

#include "NameCodec.h"

namespace archiver
{

ZipNames::ZipNames(const ZipCentralDirectory& directory, std::string encoding)
    : m_encoding(std::move(encoding))
{
    for (const ZipCentralDirectory::Member& m : directory.members()) {
        if (m.utf8Name())
            m_marked.insert(m.name);
    }
}

std::string ZipNames::decode(const std::string& stored) const
{
    if (m_marked.count(stored) != 0)
        return toNfc(stored);
    return decodeStoredName(stored, m_encoding);
}

} // namespace archiver
