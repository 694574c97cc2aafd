#include "CabDirectory.h"

#include "LittleEndian.h"

#include <cstdio>
#include <memory>

namespace archiver
{

namespace
{

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

const char* CabDirectory::compressionText(uint16_t typeCompress)
{
    switch (typeCompress & 0x000F) {
    case 0:
        return "none";
    case 1:
        return "MSZIP";
    case 2:
        return "Quantum";
    case 3:
        return "LZX";
    default:
        return "unknown";
    }
}

bool CabDirectory::read(const std::string& path)
{
    m_members.clear();
    std::unique_ptr<FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return false;
    unsigned char h[40];
    if (std::fread(h, 1, 36, f.get()) != 36 || le32(h) != 0x4643534D)
        return false;
    const uint32_t filesOffset = le32(h + 16);
    const uint16_t folderCount = le16(h + 26);
    const uint16_t fileCount = le16(h + 28);
    const uint16_t flags = le16(h + 30);
    long pos = 36;
    unsigned folderReserve = 0;
    if (flags & 0x0004) {
        if (std::fread(h + 36, 1, 4, f.get()) != 4)
            return false;
        folderReserve = h[38];
        pos = 40 + le16(h + 36);
    }
    // Names of the previous and next cabinet and disk follow when the set spans cabinets.
    if (std::fseek(f.get(), pos, SEEK_SET) != 0)
        return false;
    int strings = ((flags & 0x0001) ? 2 : 0) + ((flags & 0x0002) ? 2 : 0);
    while (strings > 0) {
        const int c = std::fgetc(f.get());
        if (c == EOF)
            return false;
        if (c == 0)
            --strings;
    }
    std::vector<uint16_t> compression;
    for (unsigned i = 0; i < folderCount; ++i) {
        unsigned char folder[8];
        if (std::fread(folder, 1, 8, f.get()) != 8 ||
            std::fseek(f.get(), folderReserve, SEEK_CUR) != 0)
            return false;
        compression.push_back(le16(folder + 6));
    }
    if (std::fseek(f.get(), static_cast<long>(filesOffset), SEEK_SET) != 0)
        return false;
    for (unsigned i = 0; i < fileCount; ++i) {
        unsigned char file[16];
        if (std::fread(file, 1, 16, f.get()) != 16)
            return false;
        int c;
        int length = 0;
        while ((c = std::fgetc(f.get())) != 0) {
            if (c == EOF || ++length > 1024)
                return false;
        }
        Member m;
        m.size = le32(file);
        const uint16_t folder = le16(file + 8);
        m.attributes = le16(file + 14);
        // 0xFFFD..0xFFFF continue a folder from or into a neighbouring cabinet.
        size_t index = folder;
        if (folder == 0xFFFD)
            index = 0;
        else if (folder > 0xFFFD)
            index = compression.empty() ? 0 : compression.size() - 1;
        m.compression = index < compression.size() ? compression[index] : 0xFFFF;
        m_members.push_back(m);
    }
    return true;
}

} // namespace archiver
