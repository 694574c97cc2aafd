#include "ZipWriter.h"

#include "DeflatePipeline.h"
#include "DosTime.h"
#include "ZipRecords.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace archiver::zip
{

namespace
{

constexpr size_t kBufferSize = 4u << 20;

// The archive file, written from start to end through a large buffer; headers written earlier
// can be written again in place, and the end can be cut back to store a member instead.
class Output
{
public:
    explicit Output(int fd) : m_fd(fd) { m_buffer.reserve(kBufferSize); }

    uint64_t offset() const { return m_flushed + m_buffer.size(); }
    int lastError() const { return m_errno; }

    bool write(const void* data, size_t size)
    {
        if (m_buffer.size() + size > kBufferSize && !flush())
            return false;
        if (size >= kBufferSize) {
            if (!writeAll(static_cast<const unsigned char*>(data), size))
                return false;
            m_flushed += size;
            return true;
        }
        const auto* p = static_cast<const unsigned char*>(data);
        m_buffer.insert(m_buffer.end(), p, p + size);
        return true;
    }
    bool write(const std::string& bytes) { return write(bytes.data(), bytes.size()); }

    bool flush()
    {
        if (!writeAll(m_buffer.data(), m_buffer.size()))
            return false;
        m_flushed += m_buffer.size();
        m_buffer.clear();
        return true;
    }

    bool patch(uint64_t at, const std::string& bytes)
    {
        if (at >= m_flushed) {
            std::memcpy(m_buffer.data() + (at - m_flushed), bytes.data(), bytes.size());
            return true;
        }
        if (!flush())
            return false;
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail();
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Drops everything written from `at` on.
    bool rewind(uint64_t at)
    {
        if (at >= m_flushed) {
            m_buffer.resize(at - m_flushed);
            return true;
        }
        m_buffer.clear();
        if (::ftruncate(m_fd, static_cast<off_t>(at)) != 0 ||
            ::lseek(m_fd, static_cast<off_t>(at), SEEK_SET) < 0)
            return fail();
        m_flushed = at;
        return true;
    }

private:
    bool fail()
    {
        m_errno = errno ? errno : EIO;
        return false;
    }
    bool writeAll(const unsigned char* p, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail();
            p += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    int m_fd;
    std::vector<unsigned char> m_buffer;
    uint64_t m_flushed = 0;
    int m_errno = 0;
};

} // namespace

ZipWriter::ZipWriter(int fd, Options options) : m_fd(fd), m_options(options) {}

ZipWriter::Outcome ZipWriter::write(const std::vector<WriterInput>& inputs,
                                    const Progress& progress)
{
    m_members.clear();
    m_failedMember.clear();
    m_error.clear();
    Output out(m_fd);
    std::vector<PieceSource> sources;
    uint64_t total = 0;
    for (const WriterInput& input : inputs) {
        if (!input.folder) {
            sources.push_back({input.path, input.size});
            total += input.size;
        }
    }
    const unsigned threads =
        m_options.threads ? m_options.threads : DeflatePipeline::defaultThreads();
    DeflatePipeline pipeline(std::move(sources), m_options.level, threads);
    size_t pieceIndex = 0;
    uint64_t done = 0;
    std::vector<MemberRecord> records;
    records.reserve(inputs.size());

    const auto writeFailed = [&] {
        m_error = std::strerror(out.lastError());
        return Outcome::WriteFailed;
    };
    const auto memberFailed = [&](const WriterInput& input, std::string why) {
        m_failedMember = input.shownName;
        m_error = std::move(why);
        return Outcome::MemberFailed;
    };

    for (const WriterInput& input : inputs) {
        MemberRecord r;
        r.name = input.storedName;
        r.utf8 = input.utf8;
        r.folder = input.folder;
        r.dosDateTime = toDosDateTime(static_cast<time_t>(input.modTime)).packed();
        r.modTime = input.modTime;
        r.mode = input.mode;
        r.headerOffset = out.offset();
        if (progress && !progress(input.shownName, done, total))
            return Outcome::Cancelled;
        if (input.folder) {
            if (!out.write(localHeader(r)))
                return writeFailed();
            records.push_back(r);
            m_members.push_back({});
            continue;
        }
        r.zip64Local = input.size >= kZip32Limit;
        const bool storeAll = m_options.level == 0 || input.size == 0;
        r.method = storeAll ? kMethodStored : kMethodDeflated;
        if (!out.write(localHeader(r)))
            return writeFailed();
        const uint64_t dataStart = out.offset();
        uint32_t crc = 0;
        uint64_t read = 0;
        uint64_t written = 0;
        for (;;) {
            const std::unique_ptr<PieceResult> piece = pipeline.next();
            if (!piece)
                return memberFailed(input, "内部エラーが発生しました");
            if (!piece->ok)
                return memberFailed(input, piece->error);
            const Piece& where = pipeline.pieces()[pieceIndex++];
            const bool only = where.offset == 0 && where.last;
            const bool raw = storeAll || (only && piece->deflated.size() >= piece->length);
            if (raw) {
                r.method = kMethodStored;
                if (!out.write(piece->input(), piece->length))
                    return writeFailed();
                written += piece->length;
            } else {
                if (!out.write(piece->deflated.data(), piece->deflated.size()))
                    return writeFailed();
                written += piece->deflated.size();
            }
            crc = static_cast<uint32_t>(crc32_combine(crc, piece->crc, piece->length));
            read += piece->length;
            done += piece->length;
            if (progress && !progress(input.shownName, done, total))
                return Outcome::Cancelled;
            if (where.last)
                break;
        }
        if (r.method == kMethodDeflated && written >= read) {
            // Deflate did not make it smaller: the member is stored, read once more.
            if (!out.rewind(dataStart))
                return writeFailed();
            const int fd = ::open(input.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0)
                return memberFailed(input, std::string("ファイルを開けません (") +
                                               std::strerror(errno) + ")");
            std::vector<unsigned char> buffer(DeflatePipeline::kPieceSize);
            uint32_t again = 0;
            uint64_t copied = 0;
            bool ok = true;
            while (ok) {
                const ssize_t n = ::read(fd, buffer.data(), buffer.size());
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    ok = n == 0;
                    break;
                }
                again = static_cast<uint32_t>(crc32_z(again, buffer.data(), size_t(n)));
                copied += static_cast<uint64_t>(n);
                ok = out.write(buffer.data(), size_t(n));
            }
            ::close(fd);
            if (!ok)
                return out.lastError() ? writeFailed()
                                       : memberFailed(input, "ファイルを読めません");
            if (copied != read || again != crc)
                return memberFailed(input, "読み込み中にファイルが変わりました");
            r.method = kMethodStored;
            written = copied;
        }
        r.crc = crc;
        r.size = read;
        r.compressedSize = written;
        if (!out.patch(r.headerOffset, localHeader(r)))
            return writeFailed();
        records.push_back(r);
        m_members.push_back({read, written, r.method == kMethodDeflated});
    }
    pipeline.stop();

    const uint64_t directoryOffset = out.offset();
    for (const MemberRecord& r : records) {
        if (!out.write(centralHeader(r)))
            return writeFailed();
    }
    const uint64_t directorySize = out.offset() - directoryOffset;
    if (!out.write(endRecords(records.size(), directoryOffset, directorySize)) || !out.flush())
        return writeFailed();
    return Outcome::Written;
}

} // namespace archiver::zip
