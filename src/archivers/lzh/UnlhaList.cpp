// "l" / "v": the members as report lines (nothing is written).

#include "UnlhaCommand.h"

#include "UnlhaSupport.h"

#include <cstdio>

namespace lzh
{

int UnlhaCommand::list()
{
    m_report.line("Listing of archive : " + m_cmd.archive());
    OpenedArchive opened;
    if (const int r = openArchive(opened); r != 0)
        return r;
    m_report.line("   Original   Packed  Ratio  Date       Time     Method  Name");
    int count = 0;
    uint64_t original = 0, packed = 0;
    for (const LzhMember& m : opened.members) {
        if (!selected(m))
            continue;
        char line[128];
        std::snprintf(line, sizeof line, "%11llu %8llu %5s  %s  %s  ",
                      static_cast<unsigned long long>(m.originalSize),
                      static_cast<unsigned long long>(m.compressedSize),
                      unlha::percent(m.compressedSize, m.originalSize).c_str(),
                      unlha::formatTime(m.mtime).c_str(), m.method.c_str());
        m_report.line(line + m.name + (m.isLink() ? " -> " + m.linkTarget : std::string()));
        ++count;
        original += m.originalSize;
        packed += m.compressedSize;
    }
    m_report.line(std::to_string(count) + " 個のファイル  " + std::to_string(original) + " → " +
                  std::to_string(packed) + " バイト");
    return opened.damaged;
}

} // namespace lzh
