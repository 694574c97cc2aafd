// "n": renames the matching members; each new name is asked for in a dialog, or given with
// -gr<name>. An empty answer leaves the member as it is.

#include "UnlhaCommand.h"

#include "Dialogs.h"
#include "LzhArchiveWriter.h"
#include "SafePath.h"
#include "UnlhaSupport.h"

#include <algorithm>

#include <map>
#include <set>

namespace lzh
{

std::optional<std::string> UnlhaCommand::newNameFor(const LzhMember& m, int& result)
{
    if (const std::optional<std::string> given = m_cmd.switchValue("gr"))
        return given;
    archiver::Asked asked;
    const std::optional<std::string> answer = archiver::askText(
        m_owner, "名前の変更", "新しい名前を入力してください : " + m.name, m.name, asked);
    if (!asked.shown) {
        m_report.skipped(m.name, "新しい名前を尋ねられません (-gr で指定してください)");
        result = result ? result : ARCHIVER_ERROR_USER_SKIP;
        return std::nullopt;
    }
    if (!answer || answer->empty())
        return std::nullopt;
    return answer;
}

int UnlhaCommand::rename()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Renaming in archive : " + archive);
    OpenedArchive opened;
    if (const int r = openIntactArchive(opened); r != 0)
        return r;
    const std::vector<LzhMember>& members = opened.members;
    // Callers put the archive's own file name first among the names, as the classic library
    // expected; it names no member, so it never selects one (a member of that name is renamed
    // only when it is named again).
    std::vector<std::string> wanted = m_cmd.names();
    if (!wanted.empty() && wanted.front() == unlha::lastPart(archive))
        wanted.erase(wanted.begin());
    std::set<std::string> names;
    for (const LzhMember& m : members)
        names.insert(m.name);
    std::map<size_t, std::string> renamed;
    int result = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const LzhMember& m = members[i];
        if (std::none_of(wanted.begin(), wanted.end(),
                         [&](const std::string& n) { return matches(n, m); }))
            continue;
        const std::optional<std::string> newName = newNameFor(m, result);
        if (!newName)
            continue;
        std::string reason;
        std::optional<std::string> clean = archiver::cleanMemberPath(*newName, false, reason);
        if (!clean) {
            m_report.skipped(m.name, reason + " : " + *newName);
            result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
            continue;
        }
        if (*clean == m.name)
            continue;
        if (names.count(*clean)) {
            m_report.skipped(m.name, "同じ名前のファイルが書庫にあります : " + *clean);
            result = result ? result : ARCHIVER_ERROR_SAME_NAME_FILE;
            continue;
        }
        names.erase(m.name);
        names.insert(*clean);
        renamed[i] = *clean;
    }
    if (const int unmatched = reportUnmatched(wanted, members); unmatched != 0 && result == 0)
        result = unmatched;
    if (renamed.empty()) {
        m_report.line("名前を変更したファイルはありません");
        return result;
    }
    const int written = rewriteArchive("名前の変更中", [&](LzhArchiveWriter& writer,
                                                           std::string& reason, const Next& next) {
        for (size_t i = 0; i < members.size(); ++i) {
            if (!next(members[i].name, i, members.size()))
                return false;
            auto it = renamed.find(i);
            const bool ok = it == renamed.end()
                                ? writer.copyMember(opened.file, members[i], reason)
                                : writer.copyRenamed(opened.file, members[i], it->second, reason);
            if (!ok)
                return false;
        }
        return true;
    });
    if (written != 0)
        return written;
    for (const auto& [i, n] : renamed)
        m_report.line("Renamed  " + members[i].name + " -> " + n);
    return result;
}

} // namespace lzh
