#pragma once

#include "ArchiverApi.h"
#include "LibarchiveReader.h"
#include "Report.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archiver
{

// One extraction as the ZIP and CAB command lines ask for it: the archive, where to, which
// members, and how to treat existing files. Writes the report and returns the result code.
struct ExtractRequest {
    ArchiverWindow owner = 0;
    std::string archive;
    LibarchiveReader::Format format = LibarchiveReader::Format::Zip;
    std::string destination;
    std::vector<std::string> names; // empty: every member
    // Every name is a whole member path; "*" and "?" are plain characters ("--exact").
    bool exactNames = false;
    bool keepFolders = true;
    bool overwrite = false;
    bool onlyNewer = false;
    bool progressWindow = true;
    // Stored name as the format shows it ("\" for CAB); identity when empty.
    std::function<std::string(const std::string&)> namer;
    // Rewrites libarchive's name before extraction looks at it; identity when empty.
    std::function<std::string(const std::string&)> decodeName;
    // Whether the member at this position is encrypted, where libarchive does not say so.
    std::function<bool(size_t position)> encryptedAt;
    // libarchive hands names without a UTF-8 mark over as stored, for decodeName to decode.
    bool storedNames = false;
    // A reader of the format's own for the archive, used instead of libarchive's when it gives
    // one (null: libarchive reads it).
    std::function<std::unique_ptr<EntryReader>()> ownReader;
    // Puts a reader of the format's own in front of each of libarchive's (ZIP reads the data of
    // stored and deflated members itself); libarchive's alone when empty.
    std::function<std::unique_ptr<EntryReader>(std::unique_ptr<LibarchiveReader>)> wrapReader;
};

int runExtract(const ExtractRequest& request, Report& report);

} // namespace archiver
