#pragma once

#include "EntryReader.h"
#include "ZipCentralDirectory.h"

#include <memory>
#include <string>

namespace archiver
{

// Reads the data of stored and deflated members itself, found through the central directory,
// and leaves everything else to the reader it wraps (libarchive's): the members, their names,
// kinds, modes and times, and the data of members in other methods. A member is read here only
// when the wrapped reader's entry is the directory's member at the same position (same name and
// size) and is not encrypted. Large members are inflated one step ahead on a second thread while
// the calling thread computes the CRC-32 and writes, unless every core is already copying.
class ZipMemberReader final : public EntryReader
{
public:
    // directory must have been read from the archive at path.
    ZipMemberReader(std::unique_ptr<EntryReader> inner,
                    std::shared_ptr<const ZipCentralDirectory> directory, const std::string& path);
    ~ZipMemberReader() override;
    ZipMemberReader(const ZipMemberReader&) = delete;
    ZipMemberReader& operator=(const ZipMemberReader&) = delete;

    Step next(ArchiveEntry& entry) override;
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress) override;
    void skipData() override;
    const std::string& error() const override { return m_own ? m_error : m_inner->error(); }
    bool readFailed() const override { return m_own ? m_readFailed : m_inner->readFailed(); }
    bool fatal() const override { return m_own ? false : m_inner->fatal(); }

    // How many members were read here rather than by the wrapped reader (for tests).
    size_t ownCopies() const { return m_ownCopies; }

private:
    std::unique_ptr<EntryReader> m_inner;
    std::shared_ptr<const ZipCentralDirectory> m_directory;
    int m_fd = -1;
    uint64_t m_size = 0;
    size_t m_next = 0;                                     // position of the entry next() returns
    const ZipCentralDirectory::Member* m_member = nullptr; // the current entry's, when read here
    bool m_own = false;                                    // the last failure is ours
    bool m_readFailed = false;
    std::string m_error;
    size_t m_ownCopies = 0;
};

} // namespace archiver
