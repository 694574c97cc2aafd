// The archivers' command-line parser, wildcards and member-path checks on arbitrary text.
#include "CommandLine.h"
#include "SafePath.h"
#include "Wildcard.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    for (int variant = 0; variant < 2; ++variant) {
        archiver::CommandLine::Options o;
        o.hasCommandWord = variant == 0;
        o.caseInsensitive = variant == 0;
        o.switchesAnywhere = variant == 0;
        const archiver::CommandLine cmd = archiver::CommandLine::parse(line, o);
        if (!cmd.baseFolder().empty() && cmd.baseFolder().back() != '/')
            abort();
        (void)cmd.hasSwitch("d1");
        (void)cmd.switchValue("gr");
        (void)cmd.selectsAll();
        for (const std::string& n : cmd.names()) {
            (void)archiver::memberMatches(n, cmd.archive());
            (void)archiver::wildcardMatch(n, line);
            std::string reason;
            const std::optional<std::string> clean =
                archiver::cleanMemberPath(n, variant == 0, reason);
            if (clean) {
                // A clean path never climbs out and is never absolute.
                if (clean->empty() || (*clean)[0] == '/' || *clean == ".." ||
                    clean->rfind("../", 0) == 0 || clean->find("/../") != std::string::npos ||
                    (clean->size() >= 3 && clean->compare(clean->size() - 3, 3, "/..") == 0))
                    abort();
            }
        }
    }
    return 0;
}
