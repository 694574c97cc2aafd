// "s": a self-extracting archive NAME.run (our stub followed by the archive) written into
// the base folder, or beside the archive without one. An existing NAME.run is replaced only
// after the user said yes (or with -m1); without a display to ask on it is kept.

#include "UnlhaCommand.h"

#include "AtomicFile.h"
#include "Dialogs.h"
#include "ProgramFolder.h"
#include "SafePath.h"
#include "UnlhaSupport.h"

#include <algorithm>
#include <sys/stat.h>

namespace lzh
{

int UnlhaCommand::selfExtracting()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Making self-extracting archive from : " + archive);
    OpenedArchive opened;
    if (const int r = openArchive(opened); r != 0)
        return r;
    if (opened.damaged != 0)
        return opened.damaged;
    const std::string stub = archiver::programFolder() + "/koramo-sfx";
    ArchiveFile stubFile;
    if (!stubFile.open(stub)) {
        m_report.error("自己解凍書庫のスタブプログラムがありません : " + stub);
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
    std::string folder = m_cmd.baseFolder();
    if (folder.empty())
        folder = unlha::folderOf(archive);
    std::string name = unlha::lastPart(archive);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    const std::string target = archiver::joinPath(folder, name + ".run");
    // A file of that name is the user's: it is replaced only when they say so (-m1 says yes).
    if (!archiver::mayReplaceFile(m_owner, target, m_cmd.hasSwitch("m1"), m_report))
        return ARCHIVER_ERROR_ALREADY_EXIST;
    // Written beside it under a temporary name and renamed over it only when complete.
    archiver::AtomicFile out(target);
    std::string reason;
    if (!out.open(reason)) {
        m_report.error(reason + " : " + target);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    std::vector<uint8_t> buffer(1 << 20);
    for (ArchiveFile* part : {&stubFile, &opened.file}) {
        uint64_t offset = 0;
        while (offset < part->size()) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(buffer.size(), part->size() - offset));
            if (!part->readAt(offset, buffer.data(), n) || !out.writeAll(buffer.data(), n)) {
                m_report.error("自己解凍書庫を書き込めません : " + target);
                return ARCHIVER_ERROR_CANNOT_WRITE;
            }
            offset += n;
        }
    }
    // The stub takes an archive without its end mark as cut off: add the mark where the
    // archive lacks it (the walk only stops before the end of the file at the mark).
    const uint64_t end = opened.members.empty() ? 0
                                                : opened.members.back().dataOffset +
                                                      opened.members.back().compressedSize;
    const uint8_t endMark = 0;
    if (end >= opened.file.size() && !out.writeAll(&endMark, 1)) {
        m_report.error("自己解凍書庫を書き込めません : " + target);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    fchmod(out.fd(), 0755 & ~unlha::currentUmask());
    if (!out.commit(reason)) {
        m_report.error(reason + " : " + target);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    m_report.line("Self-extracting archive : " + target);
    return 0;
}

} // namespace lzh
