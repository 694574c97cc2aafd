#include "SevenZipHeader.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace archiver
{

namespace
{

// Property ids of the 7z directory.
enum : unsigned char {
    kEnd = 0x00,
    kHeader = 0x01,
    kMainStreamsInfo = 0x04,
    kFilesInfo = 0x05,
    kPackInfo = 0x06,
    kUnpackInfo = 0x07,
    kSubStreamsInfo = 0x08,
    kSize = 0x09,
    kCrc = 0x0A,
    kFolder = 0x0B,
    kCodersUnpackSize = 0x0C,
    kNumUnpackStream = 0x0D,
    kEncodedHeader = 0x17,
};

// The directory read here whole; a larger one is left to libarchive.
constexpr uint64_t kLargestDirectory = uint64_t{256} << 20;

// What the walk found: the directory breaks a bound (Absurd), or it does something this walk
// does not follow (Unknown: libarchive decides), or it is still in step (Fine).
enum class Verdict { Fine, Absurd, Unknown };

class Walk
{
public:
    Walk(const std::vector<unsigned char>& bytes, uint64_t fileSize)
        : m_p(bytes.data()), m_end(bytes.data() + bytes.size()), m_fileSize(fileSize)
    {
    }

    // Whether a coder of the directory's own packing is 7z's AES: the directory is encrypted.
    bool encrypted() const { return m_encrypted; }

    Verdict header()
    {
        const int first = byte();
        if (first == kEncodedHeader) {
            m_packedDirectory = true;
            return streams();
        }
        if (first != kHeader)
            return Verdict::Unknown;
        int id = byte();
        if (id == kMainStreamsInfo) {
            if (const Verdict v = streams(); v != Verdict::Fine)
                return v;
            id = byte();
        }
        if (id == kFilesInfo) {
            if (const Verdict v = files(); v != Verdict::Fine)
                return v;
            id = byte();
        }
        return id == kEnd ? Verdict::Fine : Verdict::Unknown;
    }

private:
    uint64_t left() const { return static_cast<uint64_t>(m_end - m_p); }
    bool failed() const { return m_failed; }

    int byte()
    {
        if (m_p == m_end) {
            m_failed = true;
            return -1;
        }
        return *m_p++;
    }

    // The 7z number: the leading one bits of the first byte say how many bytes follow.
    uint64_t number()
    {
        const int first = byte();
        if (first < 0)
            return 0;
        uint64_t value = 0;
        unsigned mask = 0x80;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0)
                return value | (static_cast<uint64_t>(first & (mask - 1)) << (8 * i));
            const int next = byte();
            if (next < 0)
                return 0;
            value |= static_cast<uint64_t>(next) << (8 * i);
            mask >>= 1;
        }
        return value;
    }

    // A count of things of at least one byte each that follow in the directory.
    bool count(uint64_t& n)
    {
        n = number();
        return !m_failed && n <= left();
    }

    bool skip(uint64_t n)
    {
        if (n > left()) {
            m_failed = true;
            return false;
        }
        m_p += n;
        return true;
    }

    // n CRCs, all or those a bit vector marks; the number of them defined goes to defined.
    bool digests(uint64_t n, std::vector<bool>* defined = nullptr)
    {
        if (n > left() * 8)
            return false;
        const int all = byte();
        uint64_t present = n;
        if (defined)
            defined->assign(n, all != 0);
        if (all == 0) {
            present = 0;
            for (uint64_t i = 0; i < n; i += 8) {
                const int bits = byte();
                for (uint64_t j = i; j < n && j < i + 8; ++j) {
                    const bool on = (bits & (0x80 >> (j - i))) != 0;
                    present += on;
                    if (defined)
                        (*defined)[j] = on;
                }
            }
        }
        return !m_failed && present <= left() / 4 && skip(present * 4);
    }

    Verdict packInfo()
    {
        const uint64_t position = number();
        uint64_t streams = 0;
        if (!count(streams) || position > m_fileSize)
            return Verdict::Absurd;
        uint64_t total = position;
        int id = byte();
        if (id == kSize) {
            for (uint64_t i = 0; i < streams; ++i) {
                const uint64_t size = number();
                // Every packed stream lies in the file between its start header and its end.
                if (m_failed || size > m_fileSize || (total += size) > m_fileSize - 32)
                    return Verdict::Absurd;
            }
            id = byte();
        }
        if (id == kCrc) {
            if (!digests(streams))
                return Verdict::Absurd;
            id = byte();
        }
        return id == kEnd ? Verdict::Fine : Verdict::Unknown;
    }

    Verdict folder(uint64_t& outStreams)
    {
        uint64_t coders = 0;
        if (!count(coders))
            return Verdict::Absurd;
        uint64_t inStreams = 0;
        outStreams = 0;
        for (uint64_t i = 0; i < coders; ++i) {
            const int flags = byte();
            static const unsigned char kAes[] = {0x06, 0xF1, 0x07, 0x01};
            const unsigned idSize = static_cast<unsigned>(flags) & 0x0F;
            if (m_packedDirectory && idSize == sizeof kAes && left() >= idSize &&
                std::memcmp(m_p, kAes, sizeof kAes) == 0)
                m_encrypted = true;
            if (flags < 0 || !skip(idSize))
                return Verdict::Absurd;
            if ((flags & 0x80) != 0)
                return Verdict::Unknown;
            uint64_t in = 1, out = 1, properties = 0;
            if ((flags & 0x10) != 0 && (!count(in) || !count(out)))
                return Verdict::Absurd;
            if ((flags & 0x20) != 0 && (!count(properties) || !skip(properties)))
                return Verdict::Absurd;
            inStreams += in;
            outStreams += out;
        }
        // Each stream but the last is bound to another by a pair of numbers; the streams that
        // are not bound are the packed ones, numbered when there are several.
        if (outStreams == 0 || outStreams - 1 > left() / 2 || inStreams + 1 < outStreams)
            return Verdict::Absurd;
        for (uint64_t i = 0; i + 1 < outStreams; ++i) {
            number();
            number();
        }
        const uint64_t packed = inStreams - (outStreams - 1);
        if (packed > 1) {
            if (packed > left())
                return Verdict::Absurd;
            for (uint64_t i = 0; i < packed; ++i)
                number();
        }
        return m_failed ? Verdict::Absurd : Verdict::Fine;
    }

    Verdict unpackInfo(std::vector<bool>& folderCrcs)
    {
        uint64_t folders = 0;
        if (byte() != kFolder)
            return Verdict::Unknown;
        if (!count(folders))
            return Verdict::Absurd;
        if (byte() != 0)
            return Verdict::Unknown; // folders kept elsewhere: libarchive refuses them
        std::vector<uint64_t> outStreams(folders);
        for (uint64_t& out : outStreams) {
            if (const Verdict v = folder(out); v != Verdict::Fine)
                return v;
        }
        if (byte() != kCodersUnpackSize)
            return m_failed ? Verdict::Absurd : Verdict::Unknown;
        for (const uint64_t out : outStreams) {
            if (out > left())
                return Verdict::Absurd;
            for (uint64_t i = 0; i < out; ++i)
                number();
        }
        folderCrcs.assign(folders, false);
        int id = byte();
        if (id == kCrc) {
            if (!digests(folders, &folderCrcs))
                return Verdict::Absurd;
            id = byte();
        }
        if (m_failed)
            return Verdict::Absurd;
        return id == kEnd ? Verdict::Fine : Verdict::Unknown;
    }

    Verdict subStreams(const std::vector<bool>& folderCrcs)
    {
        const uint64_t folders = folderCrcs.size();
        std::vector<uint64_t> perFolder(folders, 1);
        int id = byte();
        if (id == kNumUnpackStream) {
            // Every stream of a folder but its last has its size written: the streams of all
            // folders together are bounded by the bytes left and the number of folders.
            uint64_t total = 0;
            for (uint64_t& n : perFolder) {
                n = number();
                if (m_failed || n > left() + 1 || (total += n) > left() + folders)
                    return Verdict::Absurd;
            }
            id = byte();
        }
        if (id == kSize) {
            for (const uint64_t n : perFolder) {
                for (uint64_t i = 1; i < n; ++i)
                    number();
            }
            id = byte();
        }
        if (id == kCrc) {
            uint64_t unknown = 0;
            for (uint64_t i = 0; i < folders; ++i)
                unknown += perFolder[i] == 1 && folderCrcs[i] ? 0 : perFolder[i];
            if (!digests(unknown))
                return Verdict::Absurd;
            id = byte();
        }
        if (m_failed)
            return Verdict::Absurd;
        return id == kEnd ? Verdict::Fine : Verdict::Unknown;
    }

    Verdict streams()
    {
        std::vector<bool> folderCrcs;
        int id = byte();
        if (id == kPackInfo) {
            if (const Verdict v = packInfo(); v != Verdict::Fine)
                return v;
            id = byte();
        }
        if (id == kUnpackInfo) {
            if (const Verdict v = unpackInfo(folderCrcs); v != Verdict::Fine)
                return v;
            id = byte();
        }
        if (id == kSubStreamsInfo) {
            if (const Verdict v = subStreams(folderCrcs); v != Verdict::Fine)
                return v;
            id = byte();
        }
        if (m_failed)
            return Verdict::Absurd;
        return id == kEnd ? Verdict::Fine : Verdict::Unknown;
    }

    Verdict files()
    {
        uint64_t files = 0;
        if (!count(files))
            return Verdict::Absurd;
        for (;;) {
            const int type = byte();
            if (type == kEnd)
                return Verdict::Fine;
            const uint64_t size = number();
            if (m_failed || !skip(size))
                return Verdict::Absurd;
        }
    }

    const unsigned char* m_p;
    const unsigned char* m_end;
    uint64_t m_fileSize;
    bool m_failed = false;
    bool m_packedDirectory = false;
    bool m_encrypted = false;
};

uint64_t le64(const unsigned char* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

SevenZipDirectory inspectSevenZip(const std::string& path)
{
    SevenZipDirectory out;
    static const unsigned char kMark[] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return out;
    const std::streamoff end = in.tellg();
    if (end < 32)
        return out;
    const uint64_t fileSize = static_cast<uint64_t>(end);
    unsigned char start[32] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(start), sizeof start);
    if (!in || std::memcmp(start, kMark, sizeof kMark) != 0)
        return out;
    out.sevenZip = true;
    // The start header says where the directory lies after it, and how long it is.
    const uint64_t offset = le64(start + 12);
    const uint64_t size = le64(start + 20);
    if (size == 0)
        return out; // an empty archive
    if (offset > fileSize || size > fileSize || 32 + offset + size > fileSize) {
        out.plausible = false;
        return out;
    }
    if (size > kLargestDirectory)
        return out;
    std::vector<unsigned char> directory(size);
    in.seekg(static_cast<std::streamoff>(32 + offset));
    in.read(reinterpret_cast<char*>(directory.data()), static_cast<std::streamsize>(size));
    if (!in) {
        out.plausible = false;
        return out;
    }
    Walk walk(directory, fileSize);
    const Verdict verdict = walk.header();
    out.plausible = verdict != Verdict::Absurd;
    out.walked = verdict == Verdict::Fine;
    out.encryptedDirectory = out.walked && walk.encrypted();
    return out;
}

} // namespace archiver
