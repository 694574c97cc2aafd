#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace archiver
{

// What the listing shows beyond libarchive's entry: each file's DOS attributes and the
// compression of the folder it lies in, read from the cabinet's CFFILE and CFFOLDER tables.
class CabDirectory
{
public:
    struct Member {
        uint32_t size = 0;
        uint16_t attributes = 0;
        uint16_t compression = 0; // typeCompress of its folder
    };

    bool read(const std::string& path);
    const std::vector<Member>& members() const { return m_members; }
    static const char* compressionText(uint16_t typeCompress);

private:
    std::vector<Member> m_members;
};

} // namespace archiver
