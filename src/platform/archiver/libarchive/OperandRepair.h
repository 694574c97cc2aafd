#pragma once

#include <string>
#include <vector>

namespace archiver
{

// Paths that the caller passes without quotes arrive split at their blanks. This puts them
// back together: the archive from the leading operands (the first join that names an
// existing file, or that ends in the expected extension when the archive is to be made),
// then the base folder (operands joined up to the first that ends in "/", when the first
// begins with "/"). The rest stay member names.
struct Operands {
    std::string archive;
    std::string baseFolder;
    std::vector<std::string> names;
};

Operands repairOperands(const std::string& archive, const std::string& baseFolder,
                        const std::vector<std::string>& names, const std::string& extension);

} // namespace archiver
