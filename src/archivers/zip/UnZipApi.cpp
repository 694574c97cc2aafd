// libunzip32.so: ZIP archives through libarchive behind the classic UnZip entry points.

#include "ArchiverApi.h"
#include "CommandLine.h"
#include "ExtractCommand.h"
#include "LibarchiveEntryPoints.h"
#include "ListingSession.h"
#include "NameCodec.h"
#include "OperandRepair.h"
#include "Report.h"
#include "ZipCentralDirectory.h"
#include "ZipCreate.h"
#include "ZipListing.h"
#include "ZipMemberReader.h"
#include "ZipNames.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>

namespace
{

constexpr int kVersion = 100;
// Extraction's switches and "-a"; the other switches of "-a" are in ZipCreate.h.
constexpr const char* kSwitches[] = {"x", "j", "u", "o", "-i", "-exact", "a"};

// Fills what the central directory knows about the member at the same position.
archiver::ListingSession::Filler zipFiller(std::shared_ptr<const archiver::ZipCentralDirectory> cd,
                                           bool ok)
{
    return [cd, ok](const archiver::ArchiveEntry& entry, size_t index, ArchiverMemberInfo& info,
                    uint64_t& compressed, std::optional<int64_t>& writeTime) {
        const bool folder = entry.kind == archiver::ArchiveEntry::Kind::Folder;
        if (ok && index < cd->members().size() && cd->members()[index].size == entry.size) {
            const archiver::ZipCentralDirectory::Member& m = cd->members()[index];
            compressed = m.compressedSize;
            writeTime = m.writeTime;
            archiver::fillFromCentralDirectory(m, folder, entry.mode, info);
            return;
        }
        std::snprintf(info.mode, sizeof(info.mode), "%s", "unknown");
        info.attribute[0] = folder ? 'd' : 'a';
        info.attribute[1] = '-';
        info.attribute[2] = '-';
        info.attribute[3] = (entry.mode & 0200) == 0 ? 'r' : 'w';
        info.attribute[4] = '\0';
    };
}

ArchiverHandle openZip(const std::string& path)
{
    auto cd = std::make_shared<archiver::ZipCentralDirectory>();
    const bool ok = cd->read(path);
    auto names = std::make_shared<archiver::ZipNames>(*cd, archiver::chosenNameEncoding(path));
    return archiver::ListingSession::open(
        path, archiver::LibarchiveReader::Format::Zip, nullptr, zipFiller(cd, ok),
        [names](const std::string& stored) { return names->decode(stored); });
}

// The find calls read the central directory alone; an archive without one that can be
// trusted (a truncated one, say) is walked through libarchive instead.
ArchiverHandle openListing(const std::string& path)
{
    if (const ArchiverHandle handle = archiver::ZipListing::open(path))
        return handle;
    return openZip(path);
}

// Runs `step` on the directory listing of `handle`, or `otherwise` when the handle is not one.
template <typename Step, typename Otherwise>
int onListing(ArchiverHandle handle, Step step, Otherwise otherwise)
{
    archiver::ZipListing* listing = archiver::ZipListing::find(handle);
    if (!listing)
        return otherwise();
    try {
        return step(*listing);
    } catch (...) {
        return ARCHIVER_ERROR_ENOUGH_MEMORY;
    }
}

int runCommand(ArchiverWindow owner, const char* commandLine, archiver::Report& report)
{
    const archiver::CommandLine cl = archiver::parseSwitchCommandLine(commandLine);
    const archiver::Operands ops = archiver::repairOperands(cl, ".zip");
    for (const std::string& s : cl.switches()) {
        const auto known = [&s](const char* k) { return s == k; };
        if (std::none_of(std::begin(kSwitches), std::end(kSwitches), known) &&
            std::none_of(std::begin(archiver::zip::kCreateSwitches),
                         std::end(archiver::zip::kCreateSwitches), known)) {
            report.error("知らないスイッチです: -" + s);
            return ARCHIVER_ERROR_COMMAND_NAME;
        }
    }
    if (ops.archive.empty()) {
        report.error("書庫が指定されていません。");
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    // "-a" makes a new archive; its switches mean nothing to extraction and the other way
    // round.
    if (cl.hasSwitch("a")) {
        if (cl.hasSwitch("x") || cl.hasSwitch("j") || cl.hasSwitch("u")) {
            report.error("-a は -x、-j、-u と一緒に指定できません。");
            return ARCHIVER_ERROR_COMMAND_NAME;
        }
        return archiver::zip::createArchive(owner, cl, ops, report);
    }
    for (const char* s : archiver::zip::kCreateSwitches) {
        if (cl.hasSwitch(s)) {
            report.error(std::string("-") + s + " は -a (書庫の作成) と一緒に指定してください。");
            return ARCHIVER_ERROR_COMMAND_NAME;
        }
    }
    // Names are decoded here, as the listing decodes them, and follow the encoding the user
    // chose for this archive; the names asked for are composed like the decoded ones.
    auto directory = std::make_shared<archiver::ZipCentralDirectory>();
    const bool trusted = directory->read(ops.archive);
    auto names =
        std::make_shared<archiver::ZipNames>(*directory, archiver::chosenNameEncoding(ops.archive));
    // Extraction is the only command; "-x" names it, as it always did.
    archiver::ExtractRequest request =
        archiver::extractRequest(owner, ops, archiver::LibarchiveReader::Format::Zip);
    request.names.clear();
    for (const std::string& name : ops.names)
        request.names.push_back(archiver::toNfc(name));
    request.keepFolders = !cl.hasSwitch("j");
    request.overwrite = cl.hasSwitch("o");
    request.onlyNewer = cl.hasSwitch("u");
    request.progressWindow = !cl.hasSwitch("-i");
    request.storedNames = true;
    request.exactNames = cl.exactNames();
    // Tools on Windows that ignore the format's rule write "\" between folders; such a name
    // means the same folders there, so it does here (a "..\" part is then refused too).
    request.decodeName = [names](const std::string& name) {
        std::string out = names->decode(name);
        std::replace(out.begin(), out.end(), '\\', '/');
        return out;
    };
    // The data of stored and deflated members is read through the central directory; without
    // one that can be trusted, libarchive reads everything.
    if (trusted) {
        request.wrapReader = [directory,
                              path = ops.archive](std::unique_ptr<archiver::LibarchiveReader> inner)
            -> std::unique_ptr<archiver::EntryReader> {
            return std::make_unique<archiver::ZipMemberReader>(std::move(inner), directory, path);
        };
    }
    return archiver::runExtract(request, report);
}

} // namespace

extern "C" {

int UnZip(ArchiverWindow owner, const char* commandLine, char* output, uint32_t outputSize)
{
    return archiver::runReported(
        [&](archiver::Report& report) { return runCommand(owner, commandLine, report); }, output,
        outputSize);
}

ArchiverHandle UnZipOpenArchive(ArchiverWindow, const char* archivePath, uint32_t)
{
    return archiver::listing::open(archivePath, openListing);
}

int UnZipFindFirst(ArchiverHandle archive, const char* wildcard, ArchiverMemberInfo* info)
{
    return onListing(
        archive, [&](archiver::ZipListing& l) { return l.findFirst(wildcard, info); },
        [&] { return archiver::listing::findFirst(archive, wildcard, info); });
}

int UnZipFindNext(ArchiverHandle archive, ArchiverMemberInfo* info)
{
    return onListing(
        archive, [&](archiver::ZipListing& l) { return l.findNext(info); },
        [&] { return archiver::listing::findNext(archive, info); });
}

int UnZipCloseArchive(ArchiverHandle archive)
{
    if (archiver::ZipListing::close(archive))
        return ARCHIVER_OK;
    return archiver::ListingSession::close(archive);
}

int UnZipGetVersion(void)
{
    return kVersion;
}

int UnZipGetOriginalSizeEx(ArchiverHandle archive, int64_t* size)
{
    if (archiver::ZipListing* l = archiver::ZipListing::find(archive))
        return l->originalSize(size);
    return archiver::listing::originalSize(archive, size);
}

int UnZipGetCompressedSizeEx(ArchiverHandle archive, int64_t* size)
{
    if (archiver::ZipListing* l = archiver::ZipListing::find(archive))
        return l->compressedSize(size);
    return archiver::listing::compressedSize(archive, size);
}

int UnZipGetWriteTime64(ArchiverHandle archive, int64_t* seconds)
{
    if (archiver::ZipListing* l = archiver::ZipListing::find(archive))
        return l->writeTime(seconds);
    return archiver::listing::writeTime(archive, seconds);
}

int UnZipSetNameEncoding(const char* archivePath, const char* encoding)
{
    if (!archivePath || !*archivePath)
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    try {
        return archiver::chooseNameEncoding(archivePath, encoding ? encoding : "")
                   ? ARCHIVER_OK
                   : ARCHIVER_ERROR_NOT_SUPPORT;
    } catch (...) {
        return ARCHIVER_ERROR_ENOUGH_MEMORY;
    }
}

} // extern "C"
