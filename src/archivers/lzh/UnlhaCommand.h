#pragma once

#include "ArchiveFile.h"
#include "ArchiverApi.h"
#include "CommandLine.h"
#include "LzhMember.h"
#include "Report.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lzh
{

class LzhArchiveWriter;

// An archive opened by the step every command shares.
struct OpenedArchive {
    ArchiveFile file;
    std::vector<LzhMember> members;
    // The code of a damaged header after `members` (already reported), else 0.
    int damaged = 0;
};

// One call of Unlha(): parses the command line, runs the command, writes the report. Each
// command lives in its own unit (UnlhaExtract.cpp, UnlhaUpdate.cpp, UnlhaDelete.cpp,
// UnlhaRename.cpp, UnlhaSelfExtract.cpp, UnlhaList.cpp) around the opening step here.
class UnlhaCommand
{
public:
    UnlhaCommand(ArchiverWindow owner, const std::string& commandLine);
    // The result code (0 on success).
    int run();
    const archiver::Report& report() const { return m_report; }

private:
    int extract();
    int update();
    int remove();
    int rename();
    int selfExtracting();
    int list();

    // The opening step every command shares: opens the archive named on the command line
    // and reads its member headers. Returns 0, or the code of an error already reported
    // when the archive cannot be opened. A damaged header after some members leaves the
    // members before it and its code in `archive`.
    int openArchive(OpenedArchive& archive);
    // The opening step of the commands that rewrite the archive: a damaged archive is
    // refused and left as it is.
    int openIntactArchive(OpenedArchive& archive);
    // The line written when a damaged archive is not rewritten; returns `code`.
    int refuseDamaged(int code);
    int refuseSelfExtracting();
    // Writes the archive anew beside the old one through `write` (which copies, renames or
    // leaves out each member, calling `next` before each; `next` is false once the user has
    // cancelled in the progress window titled `title`) and puts it in place only when complete;
    // on any failure or a cancel the old archive stays as it was. 0, or the error reported.
    using Next = std::function<bool(const std::string& name, size_t index, size_t count)>;
    using Rewrite =
        std::function<bool(LzhArchiveWriter& writer, std::string& reason, const Next& next)>;
    int rewriteArchive(const std::string& title, const Rewrite& write);
    // The new name of a member to rename (from -gr or asked); nothing to leave it as it is.
    std::optional<std::string> newNameFor(const LzhMember& member, int& result);

    // Whether a name on the command line selects the member (exactly under --exact).
    bool matches(const std::string& name, const LzhMember& member) const;
    bool selected(const LzhMember& member) const;
    // A "Skipped" line for each of the names that selects no member; the code for them, or 0.
    int reportUnmatched(const std::vector<std::string>& names,
                        const std::vector<LzhMember>& members);
    int readMembers(ArchiveFile& file, std::vector<LzhMember>& members);
    bool ensureDestination(const std::string& dest);

    ArchiverWindow m_owner;
    archiver::CommandLine m_cmd;
    archiver::Report m_report;
};

} // namespace lzh
