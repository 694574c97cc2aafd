#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace archiver::zip
{

// A file or folder to be stored, its stored name already in the chosen encoding.
struct WriterInput {
    std::string path;       // on disk
    std::string storedName; // bytes as stored; a folder's ends in "/"
    std::string shownName;  // UTF-8, for the report
    bool utf8 = false;      // the name carries the UTF-8 flag
    bool folder = false;
    uint64_t size = 0; // as the file was when chosen
    int64_t modTime = 0;
    uint32_t mode = 0;
};

// How each member came out.
struct WrittenMember {
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    bool deflated = false;
};

// Writes a ZIP archive into an open, empty file: deflated members (stored when deflate would
// not make them smaller), folders as entries, Unix modes and times, ZIP64 where sizes, offsets
// or the count need it. The data is read and deflated on worker threads and written in order.
class ZipWriter
{
public:
    struct Options {
        int level = 6;        // 0 stores every member
        unsigned threads = 0; // 0: as many as the machine has cores, at most two
    };
    // Called between pieces of data with the member being written and the bytes done and to
    // do; false cancels.
    using Progress = std::function<bool(const std::string& member, uint64_t done, uint64_t total)>;

    enum class Outcome { Written, Cancelled, MemberFailed, WriteFailed };

    ZipWriter(int fd, Options options);
    Outcome write(const std::vector<WriterInput>& inputs, const Progress& progress);

    // After a failure: the member that failed (its shown name) and why, or why writing failed.
    const std::string& failedMember() const { return m_failedMember; }
    const std::string& error() const { return m_error; }
    const std::vector<WrittenMember>& members() const { return m_members; }

private:
    int m_fd;
    Options m_options;
    std::string m_failedMember;
    std::string m_error;
    std::vector<WrittenMember> m_members;
};

} // namespace archiver::zip
