// libcab32.so: cabinets behind the classic Cab entry points. Extracting stored and MSZIP
// cabinets through our own reader (CabFolderReader), listing them and extracting the others
// (LZX, Quantum) through libarchive; writing MSZIP through libgcab.

#include "ArchiverApi.h"
#include "AtomicFile.h"
#include "CabDirectory.h"
#include "CabFolderReader.h"
#include "CabWriter.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "ExtractCommand.h"
#include "LibarchiveEntryPoints.h"
#include "ListingSession.h"
#include "OperandRepair.h"
#include "ProgramFolder.h"
#include "ProgressWindow.h"
#include "Report.h"
#include "SafePath.h"
#include "SelfExtractingWriter.h"
#include "Wildcard.h"
#include "WorkerPool.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace
{

constexpr int kVersion = 100;

std::string backslashes(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

archiver::ListingSession::Filler cabFiller(const std::string& path)
{
    auto directory = std::make_shared<archiver::CabDirectory>();
    const bool ok = directory->read(path);
    return [directory, ok](const archiver::ArchiveEntry& entry, size_t index,
                           ArchiverMemberInfo& info, uint64_t&, std::optional<int64_t>&) {
        uint16_t attributes = 0x20;
        const char* method = "unknown";
        if (ok && index < directory->members().size() &&
            directory->members()[index].size == entry.size) {
            attributes = directory->members()[index].attributes;
            method =
                archiver::CabDirectory::compressionText(directory->members()[index].compression);
        }
        info.osType = ARCHIVER_OS_MSDOS;
        std::snprintf(info.mode, sizeof(info.mode), "%s", method);
        info.attribute[0] = (attributes & 0x20) ? 'a' : '-';
        info.attribute[1] = (attributes & 0x04) ? 's' : '-';
        info.attribute[2] = (attributes & 0x02) ? 'h' : '-';
        info.attribute[3] = (attributes & 0x01) ? 'r' : 'w';
        info.attribute[4] = '\0';
    };
}

ArchiverHandle openCabinet(const std::string& path)
{
    return archiver::ListingSession::open(path, archiver::LibarchiveReader::Format::Cab,
                                          backslashes, cabFiller(path));
}

struct Collected {
    std::vector<archiver::CabWriter::Input> inputs;
    uint64_t total = 0;
};

// Files under the base folder that match, in name order; the cabinet being written (by
// device and inode, or by path when it does not exist yet) is never among them.
void collect(const std::string& folder, const std::string& relative, bool recurse,
             const std::vector<std::string>& patterns, bool exact, const struct stat* self,
             const std::string& selfPath, Collected& out, archiver::Report& report)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        report.error("フォルダを読めません: " + folder);
        return;
    }
    std::vector<std::string> names;
    while (dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = archiver::joinPath(folder, name);
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st {
        };
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (recurse)
                collect(path, rel, recurse, patterns, exact, self, selfPath, out, report);
            continue;
        }
        const bool matches =
            patterns.empty() ||
            std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
                return archiver::memberMatches(p, rel, false, exact);
            });
        if (!matches)
            continue;
        if ((self && st.st_dev == self->st_dev && st.st_ino == self->st_ino) || path == selfPath)
            continue;
        if (!S_ISREG(st.st_mode)) {
            report.skipped(rel, "通常のファイルではないため格納しません");
            continue;
        }
        if (static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFull) {
            report.skipped(rel, "4 GiB 以上のファイルは CAB に格納できません");
            continue;
        }
        out.inputs.push_back({path, backslashes(rel), static_cast<uint64_t>(st.st_size)});
        out.total += static_cast<uint64_t>(st.st_size);
    }
}

// Whether an existing target may be replaced: -o says yes; otherwise the user is asked.
bool mayReplace(ArchiverWindow owner, const std::string& target, bool overwrite,
                archiver::Report& report)
{
    struct stat st {
    };
    if (::stat(target.c_str(), &st) != 0 || overwrite)
        return true;
    archiver::Asked asked;
    const archiver::OverwriteAnswer answer = archiver::askOverwrite(owner, target, asked);
    if (answer == archiver::OverwriteAnswer::Yes || answer == archiver::OverwriteAnswer::YesToAll)
        return true;
    report.error(asked.shown ? "既に存在するため作成しませんでした: " + target
                             : "既に存在し、確認の画面を出せないため作成しませんでした: " + target);
    return false;
}

int createCabinet(ArchiverWindow owner, const archiver::CommandLine& cl,
                  const archiver::Operands& ops, archiver::Report& report)
{
    const std::string& target = ops.archive;
    report.line("Creating archive : " + target);
    if (!mayReplace(owner, target, cl.hasSwitch("o"), report))
        return ARCHIVER_ERROR_ALREADY_EXIST;
    std::string base = ops.baseFolder.empty() ? std::string(".") : ops.baseFolder;
    struct stat baseStat {
    };
    if (::stat(base.c_str(), &baseStat) != 0 || !S_ISDIR(baseStat.st_mode)) {
        report.error("フォルダが見つかりません: " + base);
        return ARCHIVER_ERROR_NOT_EXIST;
    }
    std::vector<std::string> patterns;
    for (const std::string& n : ops.names) {
        if (!cl.exactNames() && (n == "*" || n == "*.*")) {
            patterns.clear();
            break;
        }
        std::string p = n;
        std::replace(p.begin(), p.end(), '\\', '/');
        patterns.push_back(p);
    }
    struct stat self {
    };
    const bool selfExists = ::stat(target.c_str(), &self) == 0;
    Collected collected;
    collect(base, std::string(), cl.hasSwitch("r"), patterns, cl.exactNames(),
            selfExists ? &self : nullptr, target, collected, report);
    if (collected.inputs.empty()) {
        report.error("圧縮するファイルがありません: " + base);
        return ARCHIVER_ERROR_NOT_FILENAME;
    }
    if (collected.inputs.size() > 0xFFFF) {
        report.error("ファイルが多すぎます (一つの CAB に入るのは 65535 個まで)");
        return ARCHIVER_ERROR_TOO_MANY_FILES;
    }

    archiver::AtomicFile file(target);
    std::string reason;
    if (!file.open(reason)) {
        report.error(reason + ": " + target);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    archiver::ProgressWindow progress(owner, "圧縮中", !cl.hasSwitch("i"), true);
    archiver::CabWriter writer;
    std::string error;
    const bool ok = writer.write(
        collected.inputs, file.tempPath(),
        [&](uint64_t done, uint64_t total) {
            progress.setMember(target, done, total);
            return !progress.cancelled();
        },
        error);
    if (!ok) {
        file.discard();
        if (error == "cancelled") {
            report.line("中止しました。");
            return ARCHIVER_ERROR_USER_CANCEL;
        }
        report.error("書庫を作成できません: " + target + " (" + error + ")");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    if (!file.commit(reason)) {
        report.error(reason + ": " + target);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    for (const archiver::CabWriter::Input& input : collected.inputs)
        report.line("Frozen  " + input.name);
    struct stat written {
    };
    ::stat(target.c_str(), &written);
    const uint64_t percent =
        collected.total ? static_cast<uint64_t>(written.st_size) * 100 / collected.total : 0;
    report.line(std::to_string(collected.inputs.size()) + " 個のファイルを圧縮しました。(" +
                std::to_string(collected.total) + " バイト → " + std::to_string(written.st_size) +
                " バイト, " + std::to_string(percent) + "%)");
    return ARCHIVER_OK;
}

int makeSelfExtracting(ArchiverWindow owner, const archiver::Operands& ops, bool overwrite,
                       archiver::Report& report)
{
    report.line("Making self-extracting archive from : " + ops.archive);
    const std::string folder = ops.baseFolder.empty() ? std::string(".") : ops.baseFolder;
    archiver::SelfExtractingWriter writer(archiver::programFolder());
    std::string target;
    std::string error;
    const int result = writer.write(
        ops.archive, archiver::LibarchiveReader::Format::Cab, folder,
        [&](const std::string& path) {
            return archiver::mayReplaceFile(owner, path, overwrite, report);
        },
        target, error);
    if (result != ARCHIVER_OK) {
        if (!error.empty())
            report.error(error);
        return result;
    }
    report.line("Created  " + target);
    return ARCHIVER_OK;
}

int runCommand(ArchiverWindow owner, const char* commandLine, archiver::Report& report)
{
    const archiver::CommandLine cl = archiver::parseSwitchCommandLine(commandLine);
    if (!archiver::onlyKnownSwitches(cl, {"x", "r", "i", "n", "a", "o", "f", "-exact"}, report))
        return ARCHIVER_ERROR_COMMAND_NAME;
    const int commands = int(cl.hasSwitch("x")) + int(cl.hasSwitch("a")) + int(cl.hasSwitch("f"));
    if (commands != 1) {
        report.error("-x、-a、-f のどれか一つを指定してください。");
        return ARCHIVER_ERROR_COMMAND_NAME;
    }
    const archiver::Operands ops = archiver::repairOperands(cl, ".cab");
    if (ops.archive.empty()) {
        report.error("書庫が指定されていません。");
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    if (cl.hasSwitch("a"))
        return createCabinet(owner, cl, ops, report);
    if (cl.hasSwitch("f"))
        return makeSelfExtracting(owner, ops, cl.hasSwitch("o"), report);

    archiver::ExtractRequest request =
        archiver::extractRequest(owner, ops, archiver::LibarchiveReader::Format::Cab);
    request.keepFolders = cl.hasSwitch("r");
    request.overwrite = cl.hasSwitch("o");
    request.onlyNewer = cl.hasSwitch("n");
    request.progressWindow = !cl.hasSwitch("i");
    request.namer = backslashes;
    request.exactNames = cl.exactNames();
    request.ownReader = [archive = ops.archive]() -> std::unique_ptr<archiver::EntryReader> {
        // A folder is decoded ahead of the writing when there is a core for it.
        auto own =
            std::make_unique<archiver::CabFolderReader>(archiver::WorkerPool::defaultThreads() > 1);
        if (!own->open(archive))
            return nullptr;
        return own;
    };
    return archiver::runExtract(request, report);
}

} // namespace

extern "C" {

ARCHIVER_DEFINE_ENTRY_POINTS(Cab, runCommand, openCabinet, kVersion)

} // extern "C"
