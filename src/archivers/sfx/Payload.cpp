#include "Payload.h"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

Payload::~Payload()
{
    if (m_base)
        ::munmap(m_base, m_size);
}

bool Payload::open(const std::string& executable, std::string& error)
{
    const int fd = ::open(executable.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "自分自身を読めません: " + executable;
        return false;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(Elf64_Ehdr))) {
        ::close(fd);
        error = "自分自身を読めません: " + executable;
        return false;
    }
    m_size = static_cast<size_t>(st.st_size);
    void* map = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        m_size = 0;
        error = "自分自身を読めません: " + executable;
        return false;
    }
    m_base = static_cast<unsigned char*>(map);
    Elf64_Ehdr header;
    std::memcpy(&header, m_base, sizeof(header));
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        error = "実行ファイルの形式が違います";
        return false;
    }
    // The image ends with whichever comes last: the section header table, a section's
    // contents or a segment's contents.
    uint64_t end = header.e_shoff + uint64_t(header.e_shnum) * header.e_shentsize;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        const uint64_t at = header.e_phoff + uint64_t(i) * header.e_phentsize;
        if (at + sizeof(Elf64_Phdr) > m_size)
            break;
        Elf64_Phdr ph;
        std::memcpy(&ph, m_base + at, sizeof(ph));
        end = std::max<uint64_t>(end, ph.p_offset + ph.p_filesz);
    }
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        const uint64_t at = header.e_shoff + uint64_t(i) * header.e_shentsize;
        if (at + sizeof(Elf64_Shdr) > m_size)
            break;
        Elf64_Shdr sh;
        std::memcpy(&sh, m_base + at, sizeof(sh));
        if (sh.sh_type != SHT_NOBITS)
            end = std::max<uint64_t>(end, sh.sh_offset + sh.sh_size);
    }
    if (end >= m_size) {
        error = "書庫が付いていません";
        return false;
    }
    m_offset = static_cast<size_t>(end);
    return true;
}

bool Payload::isCabinet() const
{
    return size() >= 4 && std::memcmp(data(), "MSCF", 4) == 0;
}

bool Payload::isLzh() const
{
    return size() >= 7 && data()[2] == '-' && data()[3] == 'l' && data()[6] == '-';
}
