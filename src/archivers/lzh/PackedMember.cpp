#include "PackedMember.h"

#include "Crc16.h"
#include "LzhEncoder.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lzh
{

MappedFile::~MappedFile()
{
    if (m_data)
        munmap(m_data, m_size);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool MappedFile::open(const std::string& path, struct stat& st)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    m_size = static_cast<size_t>(st.st_size);
    if (m_size == 0)
        return true;
    void* p = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (p == MAP_FAILED)
        return false;
    madvise(p, m_size, MADV_SEQUENTIAL);
    m_data = static_cast<uint8_t*>(p);
    return true;
}

int dictionaryBits(const std::string& method)
{
    if (method == "-lh6-")
        return 15;
    if (method == "-lh7-")
        return 16;
    return 13;
}

PackedMember packFile(const std::string& sourcePath, const std::string& method, LzhEncoder* encoder,
                      const std::atomic<bool>* stop)
{
    PackedMember p;
    p.input = std::make_unique<MappedFile>();
    struct stat st {
    };
    if (!p.input->open(sourcePath, st)) {
        p.reason = "ファイルを開けません";
        return p;
    }
    const MappedFile& in = *p.input;
    p.originalSize = in.size();
    p.mtime = st.st_mtime;
    p.mode = st.st_mode;
    p.method = method;
    p.crc = in.size() ? crc16(0, in.data(), in.size()) : 0;
    bool compressed = false;
    if (method != "-lh0-" && in.size() > 0 && encoder) {
        // Never more than the file itself: the encoder stops at size - 1 bytes.
        p.data.reserve(std::min<size_t>(in.size(), size_t(1) << 20));
        const LzhEncoder::Output sink = [&](const uint8_t* bytes, size_t n) {
            if (stop && stop->load(std::memory_order_relaxed)) {
                p.stopped = true;
                return false;
            }
            p.data.insert(p.data.end(), bytes, bytes + n);
            return true;
        };
        uint64_t written = 0;
        compressed = encoder->encode(in.data(), in.size(), in.size() - 1, sink, written);
        if (p.stopped) {
            p.reason = "中止しました";
            return p;
        }
    }
    if (compressed) {
        p.input.reset();
    } else {
        p.method = "-lh0-";
        std::vector<uint8_t>().swap(p.data);
    }
    p.ok = true;
    return p;
}

} // namespace lzh
