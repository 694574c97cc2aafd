// The C entry points of libunlha32.so.

#include "ArchiveFile.h"
#include "ArchiverApi.h"
#include "LzhHeader.h"
#include "UnlhaCommand.h"
#include "Wildcard.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace
{

constexpr int kVersion = 100; // コラモ's LZH library 1.00

// An archive opened for the find calls.
struct Finder {
    lzh::ArchiveFile file;
    std::string pattern = "*";
    uint64_t offset = 0;
    bool ended = false;
    int error = 0;
    bool haveMember = false;
    lzh::LzhMember last;
};

std::mutex g_mutex;
std::set<Finder*> g_open;

Finder* lookup(ArchiverHandle handle)
{
    Finder* f = reinterpret_cast<Finder*>(handle);
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_open.count(f) ? f : nullptr;
}

void copyTruncated(char* dst, size_t capacity, const std::string& src)
{
    size_t n = std::min(src.size(), capacity - 1);
    while (n > 0 && n < src.size() && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(dst, src.data(), n);
    std::memset(dst + n, 0, capacity - n);
}

uint32_t osType(char id)
{
    switch (id) {
    case 'M':
        return ARCHIVER_OS_MSDOS;
    case 'U':
        return ARCHIVER_OS_UNIX;
    case 'm':
        return ARCHIVER_OS_MAC;
    case '2':
        return ARCHIVER_OS_OS2;
    case 'H':
        return ARCHIVER_OS_HUMAN;
    case 'W':
        return ARCHIVER_OS_NT;
    case 'w':
        return ARCHIVER_OS_WIN95;
    case 'J':
        return ARCHIVER_OS_JAVA;
    case 0:
        return ARCHIVER_OS_MSDOS;
    default:
        return ARCHIVER_OS_OTHER;
    }
}

void fill(const lzh::LzhMember& m, ArchiverMemberInfo* info)
{
    std::memset(info, 0, sizeof *info);
    info->originalSize = static_cast<uint32_t>(m.originalSize);
    info->compressedSize = static_cast<uint32_t>(m.compressedSize);
    info->crc = m.crc;
    info->flag = 0;
    info->osType = osType(m.osId);
    info->ratio = static_cast<uint16_t>(
        m.originalSize == 0 ? 0
                            : std::min<uint64_t>(1000, m.compressedSize * 1000 / m.originalSize));
    info->dosDate = m.dosDate;
    info->dosTime = m.dosTime;
    copyTruncated(info->fileName, sizeof info->fileName, m.name);
    char attr[5] = {'-', '-', '-', 'w', 0};
    if (m.isDirectory())
        attr[0] = 'd';
    else if (m.attribute & 0x20)
        attr[0] = 'a';
    if (m.attribute & 0x04)
        attr[1] = 's';
    if (m.attribute & 0x02)
        attr[2] = 'h';
    if (m.attribute & 0x01)
        attr[3] = 'r';
    copyTruncated(info->attribute, sizeof info->attribute, attr);
    copyTruncated(info->mode, sizeof info->mode, m.method);
}

int findNext(Finder& f, ArchiverMemberInfo* info)
{
    if (f.error)
        return f.error;
    while (!f.ended) {
        lzh::LzhMember m;
        std::string reason;
        const lzh::HeaderStatus st = lzh::readHeader(f.file, f.offset, m, reason);
        if (st == lzh::HeaderStatus::End) {
            f.ended = true;
            break;
        }
        if (st == lzh::HeaderStatus::Error) {
            f.error = ARCHIVER_ERROR_HEADER_BROKEN;
            return f.error;
        }
        f.offset = m.dataOffset + m.compressedSize;
        if (archiver::memberMatches(f.pattern, m.name)) {
            if (info)
                fill(m, info);
            f.last = std::move(m);
            f.haveMember = true;
            return 0;
        }
    }
    f.haveMember = false;
    return ARCHIVER_FIND_END;
}

} // namespace

extern "C" {

int Unlha(ArchiverWindow owner, const char* commandLine, char* output, uint32_t outputSize)
{
    if (!commandLine) {
        archiver::Report r;
        r.error("コマンドが指定されていません");
        r.writeTo(output, outputSize);
        return ARCHIVER_ERROR_COMMAND_NAME;
    }
    try {
        lzh::UnlhaCommand command(owner, commandLine);
        const int result = command.run();
        command.report().writeTo(output, outputSize);
        return result;
    } catch (const std::bad_alloc&) {
        archiver::Report r;
        r.error("メモリが足りません");
        r.writeTo(output, outputSize);
        return ARCHIVER_ERROR_ENOUGH_MEMORY;
    } catch (...) {
        archiver::Report r;
        r.error("内部エラーが発生しました");
        r.writeTo(output, outputSize);
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
}

ArchiverHandle UnlhaOpenArchive(ArchiverWindow, const char* archivePath, uint32_t)
{
    if (!archivePath)
        return 0;
    auto f = std::make_unique<Finder>();
    if (!f->file.open(archivePath))
        return 0;
    // Only something that starts like an LZH archive is opened.
    lzh::LzhMember m;
    std::string reason;
    if (lzh::readHeader(f->file, 0, m, reason) == lzh::HeaderStatus::Error)
        return 0;
    if (f->file.size() == 0)
        return 0;
    std::lock_guard<std::mutex> lock(g_mutex);
    Finder* raw = f.release();
    g_open.insert(raw);
    return reinterpret_cast<ArchiverHandle>(raw);
}

int UnlhaFindFirst(ArchiverHandle archive, const char* wildcard, ArchiverMemberInfo* info)
{
    Finder* f = lookup(archive);
    if (!f)
        return ARCHIVER_ERROR_HARC_ISNOT_OPENED;
    f->pattern = (wildcard && *wildcard) ? wildcard : "*";
    f->offset = 0;
    f->ended = false;
    f->error = 0;
    return findNext(*f, info);
}

int UnlhaFindNext(ArchiverHandle archive, ArchiverMemberInfo* info)
{
    Finder* f = lookup(archive);
    if (!f)
        return ARCHIVER_ERROR_HARC_ISNOT_OPENED;
    return findNext(*f, info);
}

int UnlhaCloseArchive(ArchiverHandle archive)
{
    Finder* f = reinterpret_cast<Finder*>(archive);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_open.erase(f))
            return ARCHIVER_ERROR_HARC_ISNOT_OPENED;
    }
    delete f;
    return 0;
}

int UnlhaGetVersion(void)
{
    return kVersion;
}

int UnlhaGetOriginalSizeEx(ArchiverHandle archive, int64_t* size)
{
    Finder* f = lookup(archive);
    if (!f || !f->haveMember || !size)
        return -1;
    *size = static_cast<int64_t>(f->last.originalSize);
    return 0;
}

int UnlhaGetWriteTime64(ArchiverHandle archive, int64_t* seconds)
{
    Finder* f = lookup(archive);
    if (!f || !f->haveMember || !seconds || !f->last.hasFullTime)
        return -1;
    *seconds = static_cast<int64_t>(f->last.mtime);
    return 0;
}

int UnlhaGetCompressedSizeEx(ArchiverHandle archive, int64_t* size)
{
    Finder* f = lookup(archive);
    if (!f || !f->haveMember || !size)
        return -1;
    *size = static_cast<int64_t>(f->last.compressedSize);
    return 0;
}

} // extern "C"
