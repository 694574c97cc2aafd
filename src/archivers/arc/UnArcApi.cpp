// libunarc32.so: the archives this program reads but never writes (7z, RAR v4 and v5, tar with
// gzip, bzip2, xz or zstd, ISO 9660 images) through libarchive, behind the classic entry points
// with the UnZip command line.

#include "ArcVolume.h"
#include "ArchiverApi.h"
#include "CommandLine.h"
#include "ExtractCommand.h"
#include "LibarchiveEntryPoints.h"
#include "ListingSession.h"
#include "NameChoice.h"
#include "NameCodec.h"
#include "OperandRepair.h"
#include "Report.h"
#include "SevenZipHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace
{

constexpr int kVersion = 100;

bool endsWithNoCase(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size())
        return false;
    return std::equal(tail.begin(), tail.end(), text.end() - static_cast<long>(tail.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// The method column: the format, as far as the file's name tells it.
const char* methodOf(const std::string& path)
{
    static const struct {
        const char* ending;
        const char* method;
    } kMethods[] = {
        {".7z", "7z"},         {".rar", "rar"},    {".iso", "iso9660"},     {".tar", "tar"},
        {".tar.gz", "tar.gz"}, {".tgz", "tar.gz"}, {".tar.bz2", "tar.bz2"}, {".tbz2", "tar.bz2"},
        {".tar.xz", "tar.xz"}, {".txz", "tar.xz"}, {".tar.zst", "tar.zst"},
    };
    for (const auto& m : kMethods) {
        if (endsWithNoCase(path, m.ending))
            return m.method;
    }
    return "archive";
}

// Names the format keeps in Unicode (7z, RAR with its Unicode name, RAR v5, Joliet, pax) come
// from libarchive as UTF-8; names stored as bytes of a legacy encoding (ustar, RAR v4 without a
// Unicode name, plain ISO 9660) are not valid UTF-8 and follow the encoding chosen for the
// archive, CP932 when none is chosen. Every name comes out composed (NFC).
std::string decodeName(const std::string& stored, const std::string& encoding)
{
    if (archiver::isAscii(stored))
        return stored;
    if (archiver::isValidUtf8(stored))
        return archiver::toNfc(stored);
    return archiver::decodeStoredName(stored, encoding.empty() ? "CP932" : encoding);
}

archiver::ListingSession::Filler arcFiller(const char* method)
{
    return [method](const archiver::ArchiveEntry& entry, size_t, ArchiverMemberInfo& info,
                    uint64_t&, std::optional<int64_t>& writeTime) {
        info.osType = ARCHIVER_OS_UNIX;
        // 7z, tar and ISO images hold the time to the second: it is shown as held.
        if (entry.mtimeKnown)
            writeTime = entry.mtime;
        const size_t length = std::min(std::strlen(method), sizeof(info.mode) - 1);
        std::memcpy(info.mode, method, length);
        info.mode[length] = '\0';
        const bool folder = entry.kind == archiver::ArchiveEntry::Kind::Folder;
        info.attribute[0] = folder ? 'd' : 'a';
        info.attribute[1] = '-';
        info.attribute[2] = '-';
        info.attribute[3] = (entry.mode & 0200) == 0 && entry.mode != 0 ? 'r' : 'w';
        info.attribute[4] = '\0';
    };
}

ArchiverHandle openArc(const std::string& path)
{
    // A 7z directory whose counts no file of this size can hold is damaged; libarchive would
    // first ask for the memory they declare.
    if (!archiver::inspectSevenZip(path).plausible)
        return 0;
    const std::string encoding = archiver::chosenNameEncoding(path);
    return archiver::ListingSession::open(
        path, archiver::LibarchiveReader::Format::Various, nullptr, arcFiller(methodOf(path)),
        [encoding](const std::string& stored) { return decodeName(stored, encoding); });
}

// libarchive reads no member of an archive whose headers are encrypted, and says so.
bool headersEncrypted(const std::string& path)
{
    archiver::LibarchiveReader reader;
    reader.setDecodeLegacyNamesAsCp932(false);
    if (!reader.openFile(path, archiver::LibarchiveReader::Format::Various)) {
        return reader.error().find("ncrypt") != std::string::npos;
    }
    archiver::ArchiveEntry entry;
    return reader.next(entry) == archiver::LibarchiveReader::Step::Error &&
           reader.error().find("ncrypt") != std::string::npos;
}

int runCommand(ArchiverWindow owner, const char* commandLine, archiver::Report& report)
{
    const archiver::CommandLine cl = archiver::parseSwitchCommandLine(commandLine);
    const archiver::Operands ops = archiver::repairOperands(cl, ".7z");
    // These archives are read only: what would change one is refused by name.
    for (const char* writing : {"a", "d", "n", "f", "r"}) {
        if (cl.hasSwitch(writing)) {
            report.error("この形式の書庫は読み取り専用です。追加・削除・名前の変更はできません: -" +
                         std::string(writing));
            return ARCHIVER_ERROR_NOT_SUPPORT;
        }
    }
    if (!archiver::onlyKnownSwitches(cl, {"x", "j", "u", "o", "-i", "-exact"}, report))
        return ARCHIVER_ERROR_COMMAND_NAME;
    if (ops.archive.empty()) {
        report.error("書庫が指定されていません。");
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    // A volume needs the rest of its set; nothing of it is written.
    if (archiver::isVolumeOfSet(ops.archive)) {
        report.line("Extracting from archive : " + ops.archive);
        report.error("分割された書庫には対応していません: " + ops.archive);
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
    const archiver::SevenZipDirectory sevenZip = archiver::inspectSevenZip(ops.archive);
    if (!sevenZip.plausible) {
        report.line("Extracting from archive : " + ops.archive);
        report.error("書庫が壊れています: " + ops.archive +
                     " (目録に書かれた数や大きさがこの書庫に収まりません)");
        return ARCHIVER_ERROR_HEADER_BROKEN;
    }
    // An archive whose directory itself is encrypted (7z -mhe, RAR -hp) cannot even be listed;
    // it is refused as encrypted, not reported as damaged. A 7z directory says so itself, which
    // spares reading (and unpacking) it twice.
    const bool directoryEncrypted =
        sevenZip.walked ? sevenZip.encryptedDirectory : headersEncrypted(ops.archive);
    if (directoryEncrypted) {
        report.line("Extracting from archive : " + ops.archive);
        report.error("暗号化された書庫には対応していません: " + ops.archive);
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
    const std::string encoding = archiver::chosenNameEncoding(ops.archive);
    archiver::ExtractRequest request =
        archiver::extractRequest(owner, ops, archiver::LibarchiveReader::Format::Various);
    request.names.clear();
    for (const std::string& name : ops.names)
        request.names.push_back(archiver::toNfc(name));
    request.keepFolders = !cl.hasSwitch("j");
    request.overwrite = cl.hasSwitch("o");
    request.onlyNewer = cl.hasSwitch("u");
    request.progressWindow = !cl.hasSwitch("-i");
    request.storedNames = true;
    request.exactNames = cl.exactNames();
    request.decodeName = [encoding](const std::string& name) { return decodeName(name, encoding); };
    // Encrypted RAR members are refused like any other encrypted member, before a byte of them
    // is written, and not taken for damaged data.
    const std::vector<bool> encrypted = archiver::rarEncryptedMembers(ops.archive);
    if (!encrypted.empty()) {
        request.encryptedAt = [encrypted](size_t position) {
            return position < encrypted.size() && encrypted[position];
        };
    }
    return archiver::runExtract(request, report);
}

} // namespace

extern "C" {

ARCHIVER_DEFINE_ENTRY_POINTS(UnArc, runCommand, openArc, kVersion)

int UnArcSetNameEncoding(const char* archivePath, const char* encoding)
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
