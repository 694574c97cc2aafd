#pragma once

// The entry points that libunzip32.so and libcab32.so share: the command entry point runs
// the library's command under runReported (nothing thrown leaves the library, the report
// goes into the caller's buffer); …OpenArchive, …FindFirst, …FindNext, …CloseArchive,
// …GetVersion and the 64-bit size queries forward to one ListingSession of the libarchive
// engine. Only those two libraries include this.

#include "ArchiverApi.h"
#include "CommandLine.h"
#include "ExtractCommand.h"
#include "ListingSession.h"
#include "OperandRepair.h"
#include "Report.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace archiver
{

// The command line of UnZip and Cab: no command word, switches before the operands,
// switches case-sensitive.
inline CommandLine parseSwitchCommandLine(const char* commandLine)
{
    CommandLine::Options options;
    options.hasCommandWord = false;
    options.caseInsensitive = false;
    options.switchesAnywhere = false;
    return CommandLine::parse(commandLine ? commandLine : "", options);
}

// False, with the error in the report, when the command line has a switch not in `known`.
inline bool onlyKnownSwitches(const CommandLine& cl, std::initializer_list<const char*> known,
                              Report& report)
{
    for (const std::string& s : cl.switches()) {
        if (std::none_of(known.begin(), known.end(), [&](const char* k) { return s == k; })) {
            report.error("知らないスイッチです: -" + s);
            return false;
        }
    }
    return true;
}

// An extraction of the members `ops` names into its base folder (the current folder without
// one); the caller adds the switches of its own library.
inline ExtractRequest extractRequest(ArchiverWindow owner, const Operands& ops,
                                     LibarchiveReader::Format format)
{
    ExtractRequest request;
    request.owner = owner;
    request.archive = ops.archive;
    request.format = format;
    request.destination = ops.baseFolder.empty() ? std::string(".") : ops.baseFolder;
    request.names = ops.names;
    return request;
}

} // namespace archiver

namespace archiver::listing
{

// Opens a listing session through `opener` (which builds it for the library's format); 0
// when the archive cannot be opened. Nothing thrown leaves the library.
template <typename Opener> ArchiverHandle open(const char* archivePath, Opener opener)
{
    if (!archivePath)
        return 0;
    try {
        return opener(std::string(archivePath));
    } catch (...) {
        return 0;
    }
}

// Runs `step` on the session of `archive`: a handle that names no open session is refused,
// and a failure to allocate becomes an error result.
template <typename Step> int onSession(ArchiverHandle archive, Step step)
{
    ListingSession* session = ListingSession::find(archive);
    if (!session)
        return ARCHIVER_ERROR_HARC_ISNOT_OPENED;
    try {
        return step(*session);
    } catch (...) {
        return ARCHIVER_ERROR_ENOUGH_MEMORY;
    }
}

inline int findFirst(ArchiverHandle archive, const char* wildcard, ArchiverMemberInfo* info)
{
    return onSession(archive, [&](ListingSession& s) { return s.findFirst(wildcard, info); });
}

inline int findNext(ArchiverHandle archive, ArchiverMemberInfo* info)
{
    return onSession(archive, [&](ListingSession& s) { return s.findNext(info); });
}

// The 64-bit sizes of the member the last find call returned; -1 without an open session.
inline int originalSize(ArchiverHandle archive, int64_t* size)
{
    ListingSession* session = ListingSession::find(archive);
    return session ? session->originalSize(size) : -1;
}

inline int compressedSize(ArchiverHandle archive, int64_t* size)
{
    ListingSession* session = ListingSession::find(archive);
    return session ? session->compressedSize(size) : -1;
}

inline int writeTime(ArchiverHandle archive, int64_t* seconds)
{
    ListingSession* session = ListingSession::find(archive);
    return session ? session->writeTime(seconds) : -1;
}

} // namespace archiver::listing

// Defines the entry points of library P (inside extern "C"): RUN is the library's command,
// int(ArchiverWindow, const char* commandLine, archiver::Report&); OPENER a function
// std::string -> ArchiverHandle that opens a listing session for the library's format;
// VERSION the number …GetVersion answers.
#define ARCHIVER_DEFINE_ENTRY_POINTS(P, RUN, OPENER, VERSION)                                      \
    int P(ArchiverWindow owner, const char* commandLine, char* output, uint32_t outputSize)        \
    {                                                                                              \
        return archiver::runReported(                                                              \
            [&](archiver::Report& report) { return RUN(owner, commandLine, report); }, output,     \
            outputSize);                                                                           \
    }                                                                                              \
    ArchiverHandle P##OpenArchive(ArchiverWindow, const char* archivePath, uint32_t)               \
    {                                                                                              \
        return archiver::listing::open(archivePath, OPENER);                                       \
    }                                                                                              \
    int P##FindFirst(ArchiverHandle archive, const char* wildcard, ArchiverMemberInfo* info)       \
    {                                                                                              \
        return archiver::listing::findFirst(archive, wildcard, info);                              \
    }                                                                                              \
    int P##FindNext(ArchiverHandle archive, ArchiverMemberInfo* info)                              \
    {                                                                                              \
        return archiver::listing::findNext(archive, info);                                         \
    }                                                                                              \
    int P##CloseArchive(ArchiverHandle archive)                                                    \
    {                                                                                              \
        return archiver::ListingSession::close(archive);                                           \
    }                                                                                              \
    int P##GetVersion(void)                                                                        \
    {                                                                                              \
        return VERSION;                                                                            \
    }                                                                                              \
    int P##GetOriginalSizeEx(ArchiverHandle archive, int64_t* size)                                \
    {                                                                                              \
        return archiver::listing::originalSize(archive, size);                                     \
    }                                                                                              \
    int P##GetCompressedSizeEx(ArchiverHandle archive, int64_t* size)                              \
    {                                                                                              \
        return archiver::listing::compressedSize(archive, size);                                   \
    }                                                                                              \
    int P##GetWriteTime64(ArchiverHandle archive, int64_t* seconds)                                \
    {                                                                                              \
        return archiver::listing::writeTime(archive, seconds);                                     \
    }
