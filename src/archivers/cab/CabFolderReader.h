#pragma once

#include "CabCabinet.h"
#include "CabFolderStream.h"
#include "EntryReader.h"

#include <memory>
#include <string>
#include <vector>

namespace archiver
{

// The files of a cabinet whose folders are stored or MSZIP-compressed, in the order of its file
// table, cut out of their folders' output. A folder is decoded once from its start however many
// files it holds (with `ahead`, on a thread of its own while the files are written); a file that
// lies before the point reached is read by decoding its folder again. Files that continue from
// or into another cabinet are described as unsupported; a file whose folder does not exist or
// whose bytes lie beyond its folder's output fails as damaged.
class CabFolderReader final : public EntryReader
{
public:
    explicit CabFolderReader(bool ahead) : m_ahead(ahead) {}
    ~CabFolderReader() override;
    CabFolderReader(const CabFolderReader&) = delete;
    CabFolderReader& operator=(const CabFolderReader&) = delete;

    // False when the file cannot be read as a cabinet, or a folder uses a compression this
    // reader does not decode (LZX, Quantum): libarchive reads those.
    bool open(const std::string& path);

    Step next(ArchiveEntry& entry) override;
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress) override;
    void skipData() override {}
    const std::string& error() const override { return m_error; }
    bool readFailed() const override { return m_readFailed; }
    bool fatal() const override { return false; }

    // The name as extraction uses it: UTF-8 when the file says so, CP932 otherwise, with "/"
    // between folders.
    static std::string memberName(const CabCabinet::Member& member);

private:
    bool fail(const std::string& error, bool damaged);
    // The stream of the member's folder, at or before its offset; null when it cannot be had.
    CabFolderStream* streamFor(const CabCabinet::Member& member);

    bool m_ahead;
    int m_fd = -1;
    CabCabinet m_cabinet;
    size_t m_next = 0;
    const CabCabinet::Member* m_current = nullptr;
    std::unique_ptr<CabFolderStream> m_stream;
    size_t m_streamFolder = 0;
    std::vector<bool> m_started; // folders whose reading has begun
    uint64_t m_reread = 0;       // output decoded again for members behind the point reached
    uint64_t m_rereadLimit = 0;
    std::string m_error;
    bool m_readFailed = false;
};

} // namespace archiver
