#pragma once

#include "EntryReader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

struct archive;

namespace archiver
{

// Reads archives through libarchive: ZIP, CAB, or the read-only formats together (7z, RAR v4
// and v5, tar with or without gzip, bzip2, xz or zstd, ISO 9660 images). Every call runs under a
// UTF-8 locale of this thread only, so that names come out as UTF-8 whatever the process locale is,
// and ZIP names without the UTF-8 flag are decoded as CP932.
class LibarchiveReader final : public EntryReader
{
public:
    enum class Format { Zip, Cab, Various };

    LibarchiveReader();
    ~LibarchiveReader() override;
    LibarchiveReader(const LibarchiveReader&) = delete;
    LibarchiveReader& operator=(const LibarchiveReader&) = delete;

    // The CP932 default for names without a UTF-8 mark needs iconv; the self-extracting stub,
    // linked statically, asks for the raw bytes instead and decodes them itself.
    void setDecodeLegacyNamesAsCp932(bool on) { m_cp932 = on; }
    // Members of kReadAheadFrom bytes or more (or of unknown size) are decoded on a thread of
    // their own while copyData writes; the stub keeps to one thread.
    void setReadAhead(bool on) { m_readAhead = on; }
    static constexpr uint64_t kReadAheadFrom = 256 * 1024;

    bool openFile(const std::string& path, Format format);
    bool openMemory(const void* data, size_t size, Format format);
    Step next(ArchiveEntry& entry) override;
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress) override;
    void skipData() override;
    // Hands the data of the entry that next() returned to the sink block by block, as
    // libarchive decodes it (offset: where the block goes in the file; sparse files leave
    // gaps). True at the member's proper end; false for damage (with the error) or when the
    // sink returned false.
    using BlockSink = std::function<bool(const char* data, size_t size, int64_t offset)>;
    bool readBlocks(const BlockSink& sink);
    // Writes a block at its offset into fd, which holds `written` bytes so far; a jump in the
    // offset leaves a gap (sparse regions). False with the reason; `damaged` tells a damaged
    // block (a negative offset) from a failed write.
    static bool writeBlockAt(int fd, const char* data, size_t size, int64_t offset,
                             uint64_t& written, std::string& error, bool& damaged);
    const std::string& error() const override { return m_error; }
    bool readFailed() const override { return m_readFailed; }
    bool fatal() const override { return m_fatal; }

private:
    bool prepare(Format format);
    void setError(const char* fallback);
    bool writeBlock(int fd, const char* data, size_t size, int64_t offset, uint64_t& written);
    // The end of a member's data: true for its proper end, false (with the error) otherwise.
    bool endOfData(int r);

    struct archive* m_archive = nullptr;
    bool m_cp932 = true;
    bool m_readAhead = false;
    bool m_sizeKnown = false;
    uint64_t m_size = 0;
    bool m_readFailed = false;
    bool m_fatal = false;
    std::string m_error;
    std::unordered_set<std::string> m_seenPaths; // ISO 9660 images only
};

} // namespace archiver
