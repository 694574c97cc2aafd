#include "UnlhaCommand.h"

#include "OperandRepair.h"

#include "LzhArchiveWriter.h"
#include "LzhHeader.h"
#include "LzhMembers.h"
#include "ProgressWindow.h"
#include "Wildcard.h"

#include <algorithm>

namespace lzh
{

namespace
{
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
    // A caller that passes paths without quotes gets them back whole, as from the ZIP and CAB
    // libraries: the archive, then a base folder, joined again at the blanks that split them.
    archiver::Operands operands = archiver::repairOperands(m_cmd, ".lzh");
    m_cmd.setOperands(std::move(operands.archive), std::move(operands.baseFolder),
                      std::move(operands.names));
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

bool UnlhaCommand::matches(const std::string& name, const LzhMember& member) const
{
    return archiver::memberMatches(name, member.name, false, m_cmd.exactNames());
}

bool UnlhaCommand::selected(const LzhMember& member) const
{
    if (m_cmd.selectsAll())
        return true;
    for (const std::string& n : m_cmd.names()) {
        if (matches(n, member))
            return true;
    }
    return false;
}

int UnlhaCommand::reportUnmatched(const std::vector<std::string>& names,
                                  const std::vector<LzhMember>& members)
{
    int missing = 0;
    for (const std::string& n : names) {
        if (std::none_of(members.begin(), members.end(),
                         [&](const LzhMember& m) { return matches(n, m); })) {
            m_report.skipped(n, "書庫にありません");
            ++missing;
        }
    }
    return missing ? ARCHIVER_ERROR_NOT_EXIST : 0;
}

int UnlhaCommand::readMembers(ArchiveFile& file, std::vector<LzhMember>& members)
{
    std::string reason;
    switch (lzh::readMembers(file, members, reason)) {
    case WalkStatus::Complete:
        return 0;
    case WalkStatus::Damaged:
        m_report.error("書庫が壊れています : " + m_cmd.archive() + " (" + reason + ")");
        return ARCHIVER_ERROR_HEADER_BROKEN;
    case WalkStatus::TooMany:
        m_report.error("書庫の格納ファイルが多すぎます : " + m_cmd.archive());
        return ARCHIVER_ERROR_TOO_MANY_FILES;
    }
    return ARCHIVER_ERROR_HEADER_BROKEN;
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
    if (archive.file.isSelfExtracting())
        return refuseSelfExtracting();
    return archive.damaged != 0 ? refuseDamaged(archive.damaged) : 0;
}

int UnlhaCommand::refuseSelfExtracting()
{
    // Rewriting it would drop the program in front of the archive.
    m_report.error("自己解凍書庫は変更できません。書庫は変更されていません : " + m_cmd.archive());
    return ARCHIVER_ERROR_NOT_ARC_FILE;
}

int UnlhaCommand::refuseDamaged(int code)
{
    m_report.error("壊れた書庫は更新しません。書庫は変更されていません");
    return code;
}

int UnlhaCommand::rewriteArchive(const std::string& title, const Rewrite& write)
{
    const std::string& archive = m_cmd.archive();
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        m_report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    archiver::ProgressWindow progress(m_owner, title, !m_cmd.hasSwitch("n"), true);
    bool cancelled = false;
    const Next next = [&](const std::string& name, size_t index, size_t count) {
        progress.setMember(name, index, count);
        cancelled = cancelled || progress.cancelled();
        return !cancelled;
    };
    if (!write(writer, reason, next) || !writer.commit(reason)) {
        if (cancelled) {
            m_report.error("中止しました。書庫は変更されていません");
            return ARCHIVER_ERROR_USER_CANCEL;
        }
        m_report.error(reason + " : " + archive);
        m_report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    return 0;
}

} // namespace lzh
