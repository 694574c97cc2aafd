#pragma once

#include "LzhMember.h"
#include "RandomAccess.h"

#include <string>
#include <vector>

namespace lzh
{

enum class WalkStatus { Complete, Damaged, TooMany };

// Every member header from the start of the archive to its end mark, as far as they can be
// read: the one walk the library's commands and the self-extracting stub share. Damaged: a
// header could not be read (reason says why); the members before it are kept. TooMany: more
// members than anyone would pack, which is taken for a hostile archive.
WalkStatus readMembers(RandomAccess& file, std::vector<LzhMember>& members, std::string& reason);

} // namespace lzh
