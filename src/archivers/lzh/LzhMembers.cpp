#include "LzhMembers.h"

#include "LzhHeader.h"

namespace lzh
{

namespace
{
constexpr size_t kMaxMembers = 1000000;
} // namespace

WalkStatus readMembers(RandomAccess& file, std::vector<LzhMember>& members, std::string& reason)
{
    uint64_t offset = 0;
    for (;;) {
        LzhMember m;
        const HeaderStatus st = readHeader(file, offset, m, reason);
        if (st == HeaderStatus::End)
            return WalkStatus::Complete;
        if (st == HeaderStatus::Error)
            return WalkStatus::Damaged;
        if (members.size() >= kMaxMembers)
            return WalkStatus::TooMany;
        offset = m.dataOffset + m.compressedSize;
        members.push_back(std::move(m));
    }
}

} // namespace lzh
