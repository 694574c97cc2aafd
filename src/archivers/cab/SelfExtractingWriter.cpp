#include "SelfExtractingWriter.h"

#include "ArchiverApi.h"
#include "AtomicFile.h"
#include "SafePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace archiver
{

namespace
{

bool appendFile(AtomicFile& out, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            ok = false;
            break;
        }
        if (!out.writeAll(buffer.data(), static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

SelfExtractingWriter::SelfExtractingWriter(std::string programFolder)
    : m_programFolder(std::move(programFolder))
{
}

std::string SelfExtractingWriter::stubPath() const
{
    return joinPath(m_programFolder, "koramo-sfx");
}

int SelfExtractingWriter::write(const std::string& archive, LibarchiveReader::Format format,
                                const std::string& folder,
                                const std::function<bool(const std::string&)>& mayReplace,
                                std::string& target, std::string& error)
{
    const std::string stub = stubPath();
    if (::access(stub.c_str(), R_OK) != 0) {
        error = "自己解凍書庫の実行部分が見つかりません: " + stub;
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
    // The whole archive must read cleanly before anything is written.
    {
        LibarchiveReader reader;
        if (!reader.openFile(archive, format)) {
            error = "書庫を開けません: " + archive + " (" + reader.error() + ")";
            return ARCHIVER_ERROR_ARC_FILE_OPEN;
        }
        ArchiveEntry entry;
        int count = 0;
        for (;;) {
            const LibarchiveReader::Step step = reader.next(entry);
            if (step == LibarchiveReader::Step::End)
                break;
            if (step == LibarchiveReader::Step::Error) {
                error = "書庫が壊れています: " + archive + " (" + reader.error() + ")";
                return ARCHIVER_ERROR_HEADER_BROKEN;
            }
            ++count;
        }
        if (count == 0) {
            error = "書庫が空です: " + archive;
            return ARCHIVER_ERROR_NOT_FILENAME;
        }
    }
    struct stat st {
    };
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "保存先のフォルダが見つかりません: " + folder;
        return ARCHIVER_ERROR_NOT_EXIST;
    }
    std::string name = archive.substr(archive.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    target = joinPath(folder, name + ".run");
    if (mayReplace && !mayReplace(target)) {
        error.clear();
        return ARCHIVER_ERROR_ALREADY_EXIST;
    }
    AtomicFile out(target);
    std::string reason;
    if (!out.open(reason)) {
        error = reason + ": " + target;
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    if (!appendFile(out, stub) || !appendFile(out, archive)) {
        error = "書き込めません: " + target;
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    ::fchmod(out.fd(), 0755);
    if (!out.commit(reason)) {
        error = reason + ": " + target;
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    return ARCHIVER_OK;
}

} // namespace archiver
