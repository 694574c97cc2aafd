#pragma once

#include "EntryReader.h"
#include "LzhDecoder.h"
#include "LzhMember.h"
#include "RandomAccess.h"

#include <memory>
#include <string>
#include <vector>

namespace lzh
{

// An archive held in memory, such as the one appended to the self-extracting stub.
class MemoryArchive final : public RandomAccess
{
public:
    MemoryArchive(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool readAt(uint64_t offset, uint8_t* buffer, size_t size) override;
    uint64_t size() const override { return m_size; }
    const uint8_t* data() const { return m_data; }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// The members of an LZH archive for the extraction engine, read with the library's own
// header reader and decoder: the same names (CP932, "\" and 0xFF between folders, UTF-16 name
// headers) and the same methods as the library's commands. Every header is read when the
// archive is opened; a damaged one ends the members with an error after those before it.
class LzhEntryReader final : public archiver::EntryReader
{
public:
    explicit LzhEntryReader(const MemoryArchive& archive);
    ~LzhEntryReader() override;
    LzhEntryReader(const LzhEntryReader&) = delete;
    LzhEntryReader& operator=(const LzhEntryReader&) = delete;

    // The archive must end with its end mark (the zero byte after the last member): one that
    // stops right after a member is taken as cut off, not as a shorter archive. For archives
    // known to carry the mark, such as the one appended to the self-extracting stub.
    void setEndMarkRequired(bool required) { m_endMarkRequired = required; }

    // False (error() says why) when not even the first header can be read.
    bool open();

    Step next(archiver::ArchiveEntry& entry) override;
    bool copyData(int fd, const std::function<bool(uint64_t)>& progress) override;
    void skipData() override {}
    const std::string& error() const override { return m_error; }
    bool readFailed() const override { return m_readFailed; }
    bool fatal() const override { return false; }

private:
    void fail(const std::string& reason, bool readFailed);

    MemoryArchive m_archive;
    std::vector<LzhMember> m_members;
    std::string m_damage; // why the walk ended before the end mark, if it did
    size_t m_next = 0;
    const LzhMember* m_current = nullptr;
    std::unique_ptr<LzhDecoder> m_decoder;
    std::string m_error;
    bool m_readFailed = false;
    bool m_endMarkRequired = false;
};

} // namespace lzh
