#include "UnlhaCommand.h"

#include "LzhArchiveWriter.h"
#include "LzhHeader.h"
#include "Wildcard.h"

namespace lzh
{

namespace
{
constexpr size_t kMaxMembers = 1000000;

archiver::CommandLine::Options unlhaOptions()
{
    archiver::CommandLine::Options o;
    o.hasCommandWord = true;
    o.caseInsensitive = true;
    o.switchesAnywhere = true;
    return o;
}
} // namespace

UnlhaCommand::UnlhaCommand(ArchiverWindow owner, const std::string& commandLine)
    : m_owner(owner), m_cmd(archiver::CommandLine::parse(commandLine, unlhaOptions()))
{
}

int UnlhaCommand::run()
{
    const std::string& c = m_cmd.command();
    if (c.empty()) {
        m_report.error("コマンドが指定されていません");
        return ARCHIVER_ERROR_COMMAND_NAME;
    }
    if (m_cmd.archive().empty()) {
        m_report.error("書庫ファイルが指定されていません");
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    if (c == "e" || c == "x")
        return extract();
    if (c == "u" || c == "a")
        return update();
    if (c == "d")
        return remove();
    if (c == "n")
        return rename();
    if (c == "s")
        return selfExtracting();
    if (c == "l" || c == "v")
        return list();
    m_report.error("コマンドが正しくありません : " + c);
    return ARCHIVER_ERROR_COMMAND_NAME;
}

bool UnlhaCommand::selected(const LzhMember& member) const
{
    if (m_cmd.selectsAll())
        return true;
    for (const std::string& n : m_cmd.names()) {
        if (archiver::memberMatches(n, member.name))
            return true;
    }
    return false;
}

int UnlhaCommand::readMembers(ArchiveFile& file, std::vector<LzhMember>& members)
{
    uint64_t offset = 0;
    for (;;) {
        LzhMember m;
        std::string reason;
        const HeaderStatus st = readHeader(file, offset, m, reason);
        if (st == HeaderStatus::End)
            return 0;
        if (st == HeaderStatus::Error) {
            m_report.error("書庫が壊れています : " + m_cmd.archive() + " (" + reason + ")");
            return ARCHIVER_ERROR_HEADER_BROKEN;
        }
        if (members.size() >= kMaxMembers) {
            m_report.error("書庫の格納ファイルが多すぎます : " + m_cmd.archive());
            return ARCHIVER_ERROR_TOO_MANY_FILES;
        }
        offset = m.dataOffset + m.compressedSize;
        members.push_back(std::move(m));
    }
}

int UnlhaCommand::openArchive(OpenedArchive& archive)
{
    archive.damaged = 0;
    if (!archive.file.open(m_cmd.archive())) {
        m_report.error("書庫ファイルが見つかりません : " + m_cmd.archive());
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    archive.damaged = readMembers(archive.file, archive.members);
    return 0;
}

int UnlhaCommand::openIntactArchive(OpenedArchive& archive)
{
    if (const int r = openArchive(archive); r != 0)
        return r;
    return archive.damaged != 0 ? refuseDamaged(archive.damaged) : 0;
}

int UnlhaCommand::refuseDamaged(int code)
{
    m_report.error("壊れた書庫は更新しません。書庫は変更されていません");
    return code;
}

int UnlhaCommand::rewriteArchive(const Rewrite& write)
{
    const std::string& archive = m_cmd.archive();
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        m_report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    if (!write(writer, reason) || !writer.commit(reason)) {
        m_report.error(reason + " : " + archive);
        m_report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    return 0;
}

} // namespace lzh
