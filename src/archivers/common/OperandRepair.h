#pragma once

#include "CommandLine.h"

#include <string>
#include <vector>

namespace archiver
{

// Paths that the caller passes without quotes arrive split at their blanks. This puts them
// back together: the archive from the leading operands (the first join that names an
// existing file, or that ends in the expected extension when the archive is to be made),
// then the base folder (operands joined up to the first that ends in "/", when the first
// begins with "/"). The rest stay member names. Only unquoted operands are joined: a quoted
// one is whole as it stands, and it is never taken into the archive or the base folder.
struct Operands {
    std::string archive;
    std::string baseFolder;
    std::vector<std::string> names;
};

Operands repairOperands(const CommandLine& commandLine, const std::string& extension);

} // namespace archiver
