#pragma once

#include "ArchiverApi.h"
#include "CommandLine.h"
#include "Report.h"

#include <string>
#include <vector>

namespace lzh
{

class ArchiveFile;
struct LzhMember;

// One call of Unlha(): parses the command line, runs the command, writes the report.
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

    bool selected(const LzhMember& member) const;
    int readMembers(ArchiveFile& file, std::vector<LzhMember>& members);
    bool ensureDestination(const std::string& dest);

    ArchiverWindow m_owner;
    archiver::CommandLine m_cmd;
    archiver::Report m_report;
};

} // namespace lzh
