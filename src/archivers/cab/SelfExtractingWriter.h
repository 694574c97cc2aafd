#pragma once

#include "LibarchiveReader.h"

#include <functional>
#include <string>

namespace archiver
{

// Writes NAME.run: the stub program koramo-sfx from the program folder followed by the
// archive's bytes, unchanged. The stub finds the archive right after its own ELF image.
class SelfExtractingWriter
{
public:
    explicit SelfExtractingWriter(std::string programFolder);

    // The stub's path.
    std::string stubPath() const;
    // Writes FOLDER/NAME.run for ARCHIVE (NAME: the archive's name without its extension).
    // mayReplace decides about an existing NAME.run. Returns an archiver result code; the
    // written path goes to target, the reason of a failure to error.
    int write(const std::string& archive, LibarchiveReader::Format format,
              const std::string& folder, const std::function<bool(const std::string&)>& mayReplace,
              std::string& target, std::string& error);

private:
    std::string m_programFolder;
};

} // namespace archiver
