#include "ExtractCommand.h"

#include "Dialogs.h"
#include "ExtractEngine.h"
#include "ProgressWindow.h"
#include "ReadAheadReader.h"
#include "Wildcard.h"
#include "WorkerPool.h"

#include <algorithm>
#include <memory>
#include <sys/stat.h>

namespace archiver
{

namespace
{

std::string slashes(std::string text)
{
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

} // namespace

int runExtract(const ExtractRequest& request, Report& report)
{
    report.line("Extracting from archive : " + request.archive);
    struct stat st {
    };
    if (request.archive.empty() || ::stat(request.archive.c_str(), &st) != 0) {
        report.error("書庫が見つかりません: " + request.archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::unique_ptr<EntryReader> formatReader = request.ownReader ? request.ownReader() : nullptr;
    auto libarchive = std::make_unique<LibarchiveReader>();
    // The read-only formats are mostly one compressed stream (a solid 7z, a tar.xz): the
    // members are decoded on a thread of their own while the files of the ones before are
    // written. ZIP and CAB decode only a big member's data ahead.
    const bool decodeAhead = !formatReader && request.format == LibarchiveReader::Format::Various &&
                             WorkerPool::defaultThreads() > 1;
    if (!formatReader) {
        libarchive->setDecodeLegacyNamesAsCp932(!request.storedNames);
        libarchive->setReadAhead(!decodeAhead && WorkerPool::defaultThreads() > 1);
        if (!libarchive->openFile(request.archive, request.format)) {
            report.error("書庫を開けません: " + request.archive + " (" + libarchive->error() + ")");
            return ARCHIVER_ERROR_ARC_FILE_OPEN;
        }
    }
    LibarchiveReader& plain = *libarchive;
    const std::unique_ptr<EntryReader> reader = formatReader ? std::move(formatReader)
                                                : request.wrapReader
                                                    ? request.wrapReader(std::move(libarchive))
                                                    : std::move(libarchive);

    // Which names matched at least one member, so that the report can name the others.
    std::vector<bool> matched(request.names.size(), false);
    std::vector<std::string> patterns;
    for (const std::string& n : request.names)
        patterns.push_back(slashes(n));
    const bool all = request.names.empty() ||
                     (!request.exactNames &&
                      std::all_of(request.names.begin(), request.names.end(),
                                  [](const std::string& n) { return n == "*" || n == "*.*"; }));

    ProgressWindow progress(request.owner, "解凍中", request.progressWindow, true);

    ExtractEngine::Settings settings;
    settings.destination = request.destination;
    settings.keepFolders = request.keepFolders;
    settings.overwriteWithoutAsking = request.overwrite;
    settings.onlyNewer = request.onlyNewer;
    settings.displayName = request.namer;
    settings.decodeName = request.decodeName;
    settings.encryptedAt = request.encryptedAt;
    // Whether the member (by the name shown) was asked for; with `note`, every name it matches
    // is marked as found (only the extraction's thread notes).
    const auto wanted = [&](const std::string& shown, bool note) {
        if (all)
            return true;
        const std::string path = slashes(shown);
        bool any = false;
        for (size_t i = 0; i < patterns.size(); ++i) {
            if (memberMatches(patterns[i], path, false, request.exactNames)) {
                if (!note)
                    return true;
                matched[i] = true;
                any = true;
            }
        }
        return any;
    };
    settings.selected = [&](const std::string& shown) { return wanted(shown, true); };
    settings.askOverwrite = [&](const std::string& path) {
        Asked asked;
        switch (askOverwrite(request.owner, path, asked)) {
        case OverwriteAnswer::Yes:
            return ExtractEngine::Answer::Yes;
        case OverwriteAnswer::YesToAll:
            return ExtractEngine::Answer::YesToAll;
        case OverwriteAnswer::Cancel:
            return ExtractEngine::Answer::Cancel;
        case OverwriteAnswer::No:
            break;
        }
        return asked.shown ? ExtractEngine::Answer::No : ExtractEngine::Answer::NoUnasked;
    };
    settings.progress = [&](const std::string& name, uint64_t done, uint64_t total) {
        progress.setMember(name, done, total);
        return !progress.cancelled();
    };
    settings.report = [&](ExtractEngine::Outcome outcome, const std::string& name,
                          const std::string& text) {
        switch (outcome) {
        case ExtractEngine::Outcome::Extracted:
            report.line("Melted  " + name);
            break;
        case ExtractEngine::Outcome::Skipped:
            report.skipped(name, text);
            break;
        case ExtractEngine::Outcome::Failed:
            report.error("Error  " + name + " : " + text);
            break;
        }
    };
    settings.folderMade = [&](const std::string& folder) { report.line("mkdir  " + folder); };
    // ZIP members are reached through the central directory without decoding the ones before
    // them: they are decoded side by side, each worker with a reader of its own.
    if (request.format == LibarchiveReader::Format::Zip) {
        settings.threads = WorkerPool::defaultThreads();
        settings.openReader = [&request]() -> std::unique_ptr<EntryReader> {
            auto own = std::make_unique<LibarchiveReader>();
            own->setDecodeLegacyNamesAsCp932(!request.storedNames);
            if (!own->openFile(request.archive, request.format))
                return nullptr;
            if (request.wrapReader)
                return request.wrapReader(std::move(own));
            return own;
        };
    }

    std::unique_ptr<ReadAheadReader> ahead;
    if (decodeAhead) {
        // The reading thread skips the data of the members the extraction will not write, as
        // the extraction would, so that picking a few members of an image does not decode all
        // of it. It decides from the same names, without noting which names were found.
        ahead = std::make_unique<ReadAheadReader>(plain, [&](const ArchiveEntry& entry,
                                                             size_t position) {
            if (entry.kind != ArchiveEntry::Kind::File || entry.encrypted ||
                !entry.unsupported.empty() ||
                (request.encryptedAt && request.encryptedAt(position)))
                return false;
            if (all) // no name to decode
                return true;
            std::string shown = request.decodeName ? request.decodeName(entry.name) : entry.name;
            if (request.namer)
                shown = request.namer(shown);
            return wanted(shown, false);
        });
    }
    ExtractEngine engine(settings);
    const ExtractEngine::Result result =
        engine.run(ahead ? static_cast<EntryReader&>(*ahead) : *reader);
    ahead.reset();

    bool missing = false;
    for (size_t i = 0; i < matched.size() && !all; ++i) {
        if (!matched[i]) {
            report.skipped(request.names[i], "書庫にありません");
            missing = true;
        }
    }
    if (result.damaged)
        report.error("書庫が壊れています: " + request.archive + " (" + result.damage + ")");
    if (result.cancelled)
        report.line("中止しました。");
    report.line(std::to_string(result.extracted) + " 個のファイルを解凍しました。(スキップ " +
                std::to_string(result.skipped) + " 個、エラー " + std::to_string(result.failed) +
                " 個)");

    if (result.cancelled)
        return ARCHIVER_ERROR_USER_CANCEL;
    if (result.crcError)
        return ARCHIVER_ERROR_FILE_CRC;
    if (result.damaged)
        return ARCHIVER_ERROR_HEADER_BROKEN;
    if (result.failed > 0)
        return ARCHIVER_ERROR_CANNOT_WRITE;
    if (result.unsafe)
        return ARCHIVER_ERROR_UNSAFE_PATH;
    if (result.unsupported)
        return ARCHIVER_ERROR_NOT_SUPPORT;
    // A member asked for by name that is not there is a failure too, even when others came out.
    if (missing)
        return ARCHIVER_ERROR_NOT_EXIST;
    return ARCHIVER_OK;
}

} // namespace archiver
