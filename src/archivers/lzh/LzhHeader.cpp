#include "LzhHeader.h"

#include "Crc16.h"
#include "DosTime.h"
#include "LittleEndian.h"
#include "NameCodec.h"

#include <cstring>

namespace lzh
{

namespace
{

using archiver::le16;
using archiver::le32;
using archiver::le64;
constexpr int kMaxExtendedHeaders = 256;

void put16(std::vector<uint8_t>& v, uint32_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
void put64(std::vector<uint8_t>& v, uint64_t x)
{
    put32(v, static_cast<uint32_t>(x));
    put32(v, static_cast<uint32_t>(x >> 32));
}

bool isCp932Lead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string utf16ToUtf8(const uint8_t* p, size_t bytes, bool ffffIsSlash)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        uint32_t cp = le16(p + i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes) {
            const uint32_t lo = le16(p + i + 2);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        if (cp == 0)
            break;
        if ((ffffIsSlash && cp == 0xFFFF) || cp == '\\')
            cp = '/';
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFF)
            cp = 0xFFFD;
        archiver::appendUtf8(out, cp);
    }
    return out;
}

void appendUtf16(std::vector<uint8_t>& v, const std::string& utf8, bool slashIsFFFF)
{
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = archiver::nextCodePoint(utf8, i);
        if (slashIsFFFF && cp == '/')
            cp = 0xFFFF;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put16(v, 0xD800 + (cp >> 10));
            put16(v, 0xDC00 + (cp & 0x3FF));
        } else {
            put16(v, cp);
        }
    }
}

// Folder part of an extended header: 0xFF (or "\" / "/") between parts.
std::string folderBytes(const uint8_t* p, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = p[i];
        if (c == 0)
            break;
        out.push_back(c == 0xFF ? '/' : static_cast<char>(c));
    }
    return out;
}
} // namespace

std::string decodeStoredName(const std::string& raw, char osId)
{
    // Names from Unix systems are taken as UTF-8 when they are valid UTF-8; everything else
    // is CP932, the code page of the archives made on Japanese Windows.
    std::string name;
    if (osId == 'U' && archiver::isValidUtf8(raw)) {
        name = raw;
    } else {
        std::string bytes;
        bytes.reserve(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) {
            const uint8_t c = static_cast<uint8_t>(raw[i]);
            if (isCp932Lead(c) && i + 1 < raw.size()) {
                bytes.push_back(raw[i]);
                bytes.push_back(raw[++i]);
            } else if (c == '\\' || c == 0xFF) {
                bytes.push_back('/');
            } else {
                bytes.push_back(raw[i]);
            }
        }
        name = archiver::cp932ToUtf8(bytes);
    }
    return name;
}

namespace
{

// What a member's header says, gathered while the header and its extended headers are read.
struct HeaderFields {
    HeaderFields(LzhMember& member, std::string& why) : m(member), reason(why) {}

    LzhMember& m;
    std::string& reason;
    std::string rawName, rawDir, uName, uDir;
    bool haveUnicodeName = false, haveUnicodeDir = false;
    uint64_t size64Compressed = 0, size64Original = 0;
    bool has64 = false;
    bool hasUnixTime = false;
    bool hasWindowsTime = false;

    // One extended header: type, data, size of the next one. whole and posInWhole locate it
    // inside a level-2 header, whose CRC it may hold.
    bool parseExtended(const uint8_t* p, size_t size, std::vector<uint8_t>* whole,
                       size_t posInWhole);
    HeaderStatus readLevel01(RandomAccess& file, uint64_t offset, uint64_t fileSize,
                             const uint8_t* base);
    HeaderStatus readLevel2(RandomAccess& file, uint64_t offset, uint64_t fileSize,
                            const uint8_t* base);
    // The stored path: folder header + name header (level 2 and extended level 1), or the
    // name field.
    std::string path() const;
};

bool HeaderFields::parseExtended(const uint8_t* p, size_t size, std::vector<uint8_t>* whole,
                                 size_t posInWhole)
{
    if (size < 3)
        return false;
    const uint8_t type = p[0];
    const uint8_t* d = p + 1;
    const size_t n = size - 3;
    switch (type) {
    case 0x00:
        if (whole && n >= 2) {
            const uint16_t stored = le16(d);
            std::vector<uint8_t> copy = *whole;
            copy[posInWhole + 1] = 0;
            copy[posInWhole + 2] = 0;
            if (crc16(0, copy.data(), copy.size()) != stored) {
                reason = "ヘッダの CRC が違います";
                return false;
            }
        }
        break;
    case 0x01:
        rawName.assign(reinterpret_cast<const char*>(d), n);
        break;
    case 0x02:
        rawDir = folderBytes(d, n);
        break;
    case 0x40:
        if (n >= 2)
            m.attribute = static_cast<uint8_t>(le16(d));
        break;
    case 0x41:
        if (n >= 16 && !hasUnixTime) {
            const uint64_t ft = le64(d + 8);
            if (ft >= 116444736000000000ull) {
                m.mtime = static_cast<time_t>((ft - 116444736000000000ull) / 10000000ull);
                hasWindowsTime = true;
            }
        }
        break;
    case 0x42:
        if (n >= 16) {
            size64Compressed = le64(d);
            size64Original = le64(d + 8);
            has64 = true;
        }
        break;
    case 0x44:
        uName = utf16ToUtf8(d, n, false);
        haveUnicodeName = true;
        break;
    case 0x45:
        uDir = utf16ToUtf8(d, n, true);
        haveUnicodeDir = true;
        break;
    case 0x50:
        if (n >= 2) {
            m.unixMode = le16(d);
            m.hasUnixMode = true;
        }
        break;
    case 0x54:
        if (n >= 4) {
            m.mtime = static_cast<time_t>(le32(d));
            hasUnixTime = true;
        }
        break;
    default:
        break;
    }
    return true;
}

HeaderStatus HeaderFields::readLevel01(RandomAccess& file, uint64_t offset, uint64_t fileSize,
                                       const uint8_t* base)
{
    std::vector<uint8_t> header;
    uint64_t extTotal = 0;
    const size_t total = size_t(base[0]) + 2;
    if (total < 24 || offset + total > fileSize) {
        reason = "ヘッダが壊れています";
        return HeaderStatus::Error;
    }
    header.resize(total);
    if (!file.readAt(offset, header.data(), total)) {
        reason = "ヘッダが途中で切れています";
        return HeaderStatus::Error;
    }
    uint8_t sum = 0;
    for (size_t i = 2; i < total; ++i)
        sum = static_cast<uint8_t>(sum + header[i]);
    if (sum != header[1]) {
        reason = "ヘッダのチェックサムが違います";
        return HeaderStatus::Error;
    }
    const size_t nameLen = header[21];
    if (22 + nameLen + 2 > total) {
        reason = "ヘッダが壊れています";
        return HeaderStatus::Error;
    }
    rawName.assign(reinterpret_cast<const char*>(header.data() + 22), nameLen);
    m.crc = le16(header.data() + 22 + nameLen);
    uint32_t dos = le32(header.data() + 15);
    m.dosTime = static_cast<uint16_t>(dos & 0xFFFF);
    m.dosDate = static_cast<uint16_t>(dos >> 16);
    m.hasDosTime = true;
    m.mtime = archiver::fromDosDateTime(m.dosDate, m.dosTime);
    if (m.mtime == static_cast<time_t>(-1))
        m.mtime = 0;
    m.originalSize = le32(header.data() + 11);
    if (m.level == 0) {
        m.attribute = header[19];
        m.compressedSize = le32(header.data() + 7);
        const size_t ext = 24 + nameLen;
        if (ext < total) {
            m.osId = static_cast<char>(header[ext]);
            if (m.osId == 'U' && total - ext >= 12) {
                m.mtime = static_cast<time_t>(le32(header.data() + ext + 2));
                m.unixMode = le16(header.data() + ext + 6);
                m.hasUnixMode = true;
                hasUnixTime = true;
            }
        } else {
            m.osId = 'M';
        }
        m.headerSize = total;
    } else {
        if (total < 27 + nameLen) {
            reason = "ヘッダが壊れています";
            return HeaderStatus::Error;
        }
        m.osId = static_cast<char>(header[24 + nameLen]);
        const uint64_t skip = le32(header.data() + 7);
        uint64_t next = le16(header.data() + total - 2);
        uint64_t pos = offset + total;
        int count = 0;
        while (next != 0) {
            if (++count > kMaxExtendedHeaders || next < 3 || extTotal + next > skip ||
                pos + next > fileSize) {
                reason = "拡張ヘッダが壊れています";
                return HeaderStatus::Error;
            }
            std::vector<uint8_t> ext(static_cast<size_t>(next));
            if (!file.readAt(pos, ext.data(), ext.size())) {
                reason = "ヘッダが途中で切れています";
                return HeaderStatus::Error;
            }
            if (!parseExtended(ext.data(), ext.size(), nullptr, 0)) {
                if (reason.empty())
                    reason = "拡張ヘッダが壊れています";
                return HeaderStatus::Error;
            }
            extTotal += next;
            pos += next;
            next = le16(ext.data() + ext.size() - 2);
        }
        m.compressedSize = skip - extTotal;
        m.headerSize = total + extTotal;
    }
    return HeaderStatus::Ok;
}

HeaderStatus HeaderFields::readLevel2(RandomAccess& file, uint64_t offset, uint64_t fileSize,
                                      const uint8_t* base)
{
    std::vector<uint8_t> header;
    const size_t total = le16(base);
    if (total < 26 || offset + total > fileSize) {
        reason = "ヘッダが壊れています";
        return HeaderStatus::Error;
    }
    header.resize(total);
    if (!file.readAt(offset, header.data(), total)) {
        reason = "ヘッダが途中で切れています";
        return HeaderStatus::Error;
    }
    m.compressedSize = le32(header.data() + 7);
    m.originalSize = le32(header.data() + 11);
    m.mtime = static_cast<time_t>(le32(header.data() + 15));
    hasUnixTime = true;
    m.crc = le16(header.data() + 21);
    m.osId = static_cast<char>(header[23]);
    size_t next = le16(header.data() + 24);
    size_t pos = 26;
    int count = 0;
    while (next != 0) {
        if (++count > kMaxExtendedHeaders || next < 3 || pos + next > total) {
            reason = "拡張ヘッダが壊れています";
            return HeaderStatus::Error;
        }
        if (!parseExtended(header.data() + pos, next, &header, pos)) {
            if (reason.empty())
                reason = "拡張ヘッダが壊れています";
            return HeaderStatus::Error;
        }
        const size_t here = pos;
        pos += next;
        next = le16(header.data() + here + (pos - here) - 2);
    }
    m.headerSize = total;
    return HeaderStatus::Ok;
}

std::string HeaderFields::path() const
{
    std::string path;
    if (haveUnicodeName || haveUnicodeDir) {
        m.unicodeName = true;
        std::string dir = haveUnicodeDir ? uDir : decodeStoredName(rawDir, m.osId);
        std::string name = haveUnicodeName ? uName : decodeStoredName(rawName, m.osId);
        if (!dir.empty() && dir.back() != '/')
            dir.push_back('/');
        path = dir + name;
    } else {
        std::string dir = rawDir;
        if (!dir.empty() && dir.back() != '/')
            dir.push_back('/');
        path = decodeStoredName(dir + rawName, m.osId);
    }
    return path;
}

} // namespace

HeaderStatus readHeader(RandomAccess& file, uint64_t offset, LzhMember& m, std::string& reason)
{
    m = LzhMember();
    m.headerOffset = offset;
    const uint64_t fileSize = file.size();
    if (offset >= fileSize)
        return HeaderStatus::End;
    uint8_t first = 0;
    if (!file.readAt(offset, &first, 1))
        return HeaderStatus::End;
    if (first == 0)
        return HeaderStatus::End;
    uint8_t base[26];
    if (offset + 22 > fileSize || !file.readAt(offset, base, 22)) {
        reason = "ヘッダが途中で切れています";
        return HeaderStatus::Error;
    }
    if (base[2] != '-' || base[6] != '-') {
        reason = "LZH のヘッダではありません";
        return HeaderStatus::Error;
    }
    m.method.assign(reinterpret_cast<const char*>(base + 2), 5);
    for (char c : m.method) {
        if (static_cast<uint8_t>(c) < 0x20 || static_cast<uint8_t>(c) >= 0x7F) {
            reason = "LZH のヘッダではありません";
            return HeaderStatus::Error;
        }
    }
    m.level = base[20];
    HeaderFields f(m, reason);
    HeaderStatus status = HeaderStatus::Error;
    if (m.level == 0 || m.level == 1) {
        status = f.readLevel01(file, offset, fileSize, base);
    } else if (m.level == 2) {
        status = f.readLevel2(file, offset, fileSize, base);
    } else {
        reason = "対応していないヘッダレベルです (" + std::to_string(m.level) + ")";
    }
    if (status != HeaderStatus::Ok)
        return status;
    if (f.has64) {
        m.compressedSize = f.size64Compressed;
        m.originalSize = f.size64Original;
    }
    m.dataOffset = offset + m.headerSize;
    if (m.dataOffset > fileSize || m.compressedSize > fileSize - m.dataOffset) {
        reason = "書庫が途中で切れています";
        return HeaderStatus::Error;
    }
    m.hasFullTime = f.hasUnixTime || f.hasWindowsTime;
    if (!m.hasDosTime) {
        const archiver::DosDateTime d = archiver::toDosDateTime(m.mtime);
        m.dosDate = d.date;
        m.dosTime = d.time;
    } else if (f.hasUnixTime) {
        const archiver::DosDateTime d = archiver::toDosDateTime(m.mtime);
        m.dosDate = d.date;
        m.dosTime = d.time;
    }

    std::string path = f.path();
    // Unix archivers store a link as "name|target".
    if (m.method == "-lhd-") {
        const size_t bar = path.find('|');
        if (bar != std::string::npos) {
            m.linkTarget = path.substr(bar + 1);
            path.resize(bar);
            if (m.linkTarget.empty())
                m.linkTarget = "?";
        }
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    m.name = path;
    if (m.name.find('\0') != std::string::npos)
        m.name.resize(m.name.find('\0'));
    return HeaderStatus::Ok;
}

std::vector<uint8_t> buildLevel2Header(const NewHeader& h)
{
    std::string folder, name;
    const size_t slash = h.path.rfind('/');
    if (h.directory) {
        folder = h.path;
    } else if (slash == std::string::npos) {
        name = h.path;
    } else {
        folder = h.path.substr(0, slash);
        name = h.path.substr(slash + 1);
    }
    std::string nameBytes, folderBytesOut;
    const bool asciiOnly = archiver::isAscii(h.path);
    bool cp932 = asciiOnly || (archiver::utf8ToCp932(name, nameBytes) &&
                               archiver::utf8ToCp932(folder, folderBytesOut));
    if (asciiOnly) {
        nameBytes = name;
        folderBytesOut = folder;
    } else if (!cp932) {
        nameBytes = name;
        folderBytesOut = folder;
    }
    std::vector<uint8_t> v;
    v.reserve(64 + h.path.size() * 3);
    put16(v, 0); // total size, set below
    v.insert(v.end(), h.method.begin(), h.method.end());
    const bool large = h.originalSize > 0xFFFFFFFFull || h.compressedSize > 0xFFFFFFFFull;
    put32(v, static_cast<uint32_t>(h.compressedSize));
    put32(v, static_cast<uint32_t>(h.originalSize));
    put32(v, static_cast<uint32_t>(h.mtime < 0 ? 0 : h.mtime));
    v.push_back(0x20);
    v.push_back(2);
    put16(v, h.crc);
    v.push_back('U');
    // Each extended header: its size precedes it (in the previous header's last field).
    std::vector<std::vector<uint8_t>> ext;
    auto add = [&](uint8_t type, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> e;
        e.push_back(type);
        e.insert(e.end(), data.begin(), data.end());
        ext.push_back(std::move(e));
    };
    add(0x00, {0, 0});
    add(0x01, std::vector<uint8_t>(nameBytes.begin(), nameBytes.end()));
    if (!folderBytesOut.empty()) {
        std::vector<uint8_t> d;
        for (char c : folderBytesOut)
            d.push_back(c == '/' ? 0xFF : static_cast<uint8_t>(c));
        d.push_back(0xFF);
        add(0x02, d);
    }
    // A file's plain attribute (archive bit only) is what readers assume without the
    // extended header, and the byte above says it too; small files save its five bytes.
    if (h.directory || h.attribute != 0x20) {
        std::vector<uint8_t> d;
        put16(d, h.directory ? 0x10 : h.attribute);
        add(0x40, d);
    }
    if (large) {
        std::vector<uint8_t> d;
        put64(d, h.compressedSize);
        put64(d, h.originalSize);
        add(0x42, d);
    }
    if (!asciiOnly) {
        std::vector<uint8_t> d;
        appendUtf16(d, name, false);
        add(0x44, d);
        if (!folder.empty()) {
            std::vector<uint8_t> f;
            appendUtf16(f, folder, true);
            put16(f, 0xFFFF);
            add(0x45, f);
        }
    }
    if (h.hasUnixMode) {
        std::vector<uint8_t> d;
        put16(d, h.unixMode);
        add(0x50, d);
    }
    size_t crcPos = 0;
    for (size_t i = 0; i < ext.size(); ++i) {
        put16(v, static_cast<uint32_t>(ext[i].size() + 2));
        if (i == 0)
            crcPos = v.size() + 1;
        v.insert(v.end(), ext[i].begin(), ext[i].end());
    }
    put16(v, 0);
    // Old readers take a first byte of 0 for the end of the archive.
    if ((v.size() & 0xFF) == 0)
        v.push_back(0);
    v[0] = static_cast<uint8_t>(v.size());
    v[1] = static_cast<uint8_t>(v.size() >> 8);
    const uint16_t headerCrc = crc16(0, v.data(), v.size());
    v[crcPos] = static_cast<uint8_t>(headerCrc);
    v[crcPos + 1] = static_cast<uint8_t>(headerCrc >> 8);
    return v;
}

} // namespace lzh
