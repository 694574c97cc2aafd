#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace archiver
{

// One member as a reader describes it. Names are UTF-8 with "/" between folders (the CAB
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
    std::string unsupported; // why the data cannot be read here (a method we lack), if so
};

// The members of an archive one after the other, for the extraction engine: libarchive's
// readers (ZIP, CAB) and our own LZH reader.
class EntryReader
{
public:
    enum class Step { Entry, End, Error };

    virtual ~EntryReader() = default;

    virtual Step next(ArchiveEntry& entry) = 0;
    // Copies the data of the entry that next() returned into the file descriptor. progress
    // receives the bytes written so far and returns false to stop. A damaged member (CRC or
    // length) ends the copy with false.
    virtual bool copyData(int fd, const std::function<bool(uint64_t)>& progress) = 0;
    virtual void skipData() = 0;
    virtual const std::string& error() const = 0;
    // True when the last failure was a damaged or unreadable archive (not a write error).
    virtual bool readFailed() const = 0;
    // True when the reader cannot go on to the next member after the failure.
    virtual bool fatal() const = 0;
};

} // namespace archiver
