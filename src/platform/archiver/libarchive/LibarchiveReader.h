#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct archive;

namespace archiver
{

// One member as libarchive describes it. Names are UTF-8 with "/" between folders (the CAB
// reader turns the stored "\" into "/"; callers that show CAB names turn it back).
struct ArchiveEntry {
    enum class Kind { File, Folder, Link, Other };
    std::string name;
    Kind kind = Kind::File;
    uint64_t size = 0;
    bool sizeKnown = false;
    int64_t mtime = 0; // seconds since the epoch
    bool mtimeKnown = false;
    unsigned mode = 0644; // permission bits as stored
    bool encrypted = false;
};

// Reads ZIP, CAB or LZH archives through libarchive. Every call runs under a UTF-8 locale of
// this thread only, so that names come out as UTF-8 whatever the process locale is, and
// ZIP names without the UTF-8 flag are decoded as CP932.
class LibarchiveReader
{
public:
    enum class Format { Zip, Cab, Lzh };
    enum class Step { Entry, End, Error };

    LibarchiveReader();
    ~LibarchiveReader();
    LibarchiveReader(const LibarchiveReader&) = delete;
    LibarchiveReader& operator=(const LibarchiveReader&) = delete;

    // The CP932 default for names without a UTF-8 mark needs iconv; the self-extracting stub,
    // linked statically, asks for the raw bytes instead and decodes them itself.
    void setDecodeLegacyNamesAsCp932(bool on) { m_cp932 = on; }

    bool openFile(const std::string& path, Format format);
    bool openMemory(const void* data, size_t size, Format format);
    Step next(ArchiveEntry& entry);
    // Copies the data of the entry that next() returned into the file descriptor. progress
    // receives the bytes written so far and returns false to stop. CRC and length errors
    // that libarchive detects end the copy with false.
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress);
    void skipData();
    const std::string& error() const { return m_error; }
    // True when the last failure was a damaged or unreadable archive (not a write error).
    bool readFailed() const { return m_readFailed; }
    // True when libarchive cannot go on to the next member after the failure.
    bool fatal() const { return m_fatal; }

private:
    bool prepare(Format format);
    void setError(const char* fallback);

    struct archive* m_archive = nullptr;
    bool m_cp932 = true;
    bool m_readFailed = false;
    bool m_fatal = false;
    std::string m_error;
};

} // namespace archiver
