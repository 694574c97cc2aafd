// "d": deletes the named members (names are required), after a question unless -jyd.

#include "UnlhaCommand.h"

#include "Dialogs.h"
#include "LzhArchiveWriter.h"

namespace lzh
{

int UnlhaCommand::remove()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Deleting from archive : " + archive);
    if (m_cmd.names().empty()) {
        m_report.error("削除するファイルが指定されていません");
        return ARCHIVER_ERROR_NOT_FILENAME;
    }
    OpenedArchive opened;
    if (const int r = openIntactArchive(opened); r != 0)
        return r;
    const std::vector<LzhMember>& members = opened.members;
    std::vector<bool> drop(members.size(), false);
    int count = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        for (const std::string& n : m_cmd.names()) {
            if (matches(n, members[i])) {
                drop[i] = true;
                ++count;
                break;
            }
        }
    }
    if (count == 0) {
        reportUnmatched(m_cmd.names(), members);
        m_report.error("削除するファイルが書庫にありません");
        return ARCHIVER_ERROR_NOT_EXIST;
    }
    if (!m_cmd.hasSwitch("jyd")) {
        archiver::Asked asked;
        if (!archiver::askYesNo(m_owner, "削除の確認",
                                std::to_string(count) + " 個のファイルを書庫から削除しますか？",
                                asked)) {
            m_report.error(asked.shown ? "削除を取りやめました"
                                       : "削除の確認ができないため削除しません (-jyd で確認なし)");
            return ARCHIVER_ERROR_USER_SKIP;
        }
    }
    const int written = rewriteArchive(
        "削除中", [&](LzhArchiveWriter& writer, std::string& reason, const Next& next) {
            for (size_t i = 0; i < members.size(); ++i) {
                if (!next(members[i].name, i, members.size()))
                    return false;
                if (!drop[i] && !writer.copyMember(opened.file, members[i], reason))
                    return false;
            }
            return true;
        });
    if (written != 0)
        return written;
    for (size_t i = 0; i < members.size(); ++i) {
        if (drop[i])
            m_report.line("Deleted  " + members[i].name);
    }
    // Names that found nothing are failures even when the others were deleted.
    const int unmatched = reportUnmatched(m_cmd.names(), members);
    m_report.line(std::to_string(count) + " 個のファイルを削除しました");
    return unmatched;
}

} // namespace lzh
