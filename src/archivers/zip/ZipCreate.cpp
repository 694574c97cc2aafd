// "-a": a new ZIP archive from the files under the base folder.

#include "ZipCreate.h"

#include "AtomicFile.h"
#include "Dialogs.h"
#include "NameCodec.h"
#include "ProgressWindow.h"
#include "SafePath.h"
#include "Wildcard.h"
#include "ZipWriter.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace archiver::zip
{

namespace
{

constexpr int kDeepest = 256;

// What the command line asks for.
struct Request {
    std::string target;
    std::string base;
    std::vector<std::string> patterns; // empty: everything
    bool exact = false;
    bool recurse = false;
    bool cp932 = false;
};

struct Found {
    std::string path;
    std::string relative; // below the base folder, "/" between folders, bytes as on disk
    bool folder = false;
    struct stat st {
    };
};

std::string lastPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name as the report shows it: UTF-8, whatever bytes the file system holds.
std::string shown(const std::string& bytes)
{
    return isValidUtf8(bytes) ? bytes : utf8OrCp932ToUtf8(bytes);
}

// Gathers what the names select below the base folder, in name order, folders before what
// they hold. The archive being written is never its own input: not the target (by device and
// inode), nor a temporary left beside it by an earlier run. False when something that had to be
// read could not be (the report says what).
class Collector
{
public:
    Collector(const Request& request, Report& report) : m_request(request), m_report(report)
    {
        m_targetExists = ::stat(request.target.c_str(), &m_target) == 0;
        m_temporaryPrefix = "." + lastPart(request.target) + ".tmp";
    }

    bool collect(const std::string& folder, const std::string& relative, bool selectedAbove,
                 int depth)
    {
        if (depth > kDeepest) {
            m_report.error("フォルダが深すぎるため読めません: " + shown(folder));
            return false;
        }
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            m_report.error("フォルダを読めません: " + shown(folder));
            return false;
        }
        std::vector<std::string> names;
        while (dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        bool ok = true;
        for (const std::string& name : names) {
            Found f;
            f.path = joinPath(folder, name);
            f.relative = relative.empty() ? name : relative + "/" + name;
            if (::lstat(f.path.c_str(), &f.st) != 0)
                continue; // gone since the folder was read
            if (isArchiveBeingWritten(f, name))
                continue;
            const bool selected = selectedAbove || matches(f.relative);
            if (S_ISLNK(f.st.st_mode)) {
                if (selected)
                    m_report.skipped(shown(f.relative), "リンクは格納しません");
                continue;
            }
            if (S_ISDIR(f.st.st_mode)) {
                f.folder = true;
                if (selected)
                    m_found.push_back(f);
                if (m_request.recurse)
                    ok = collect(f.path, f.relative, selected, depth + 1) && ok;
                continue;
            }
            if (!S_ISREG(f.st.st_mode)) {
                if (selected)
                    m_report.skipped(shown(f.relative), "通常のファイルではないため格納しません");
                continue;
            }
            if (selected)
                m_found.push_back(f);
        }
        return ok;
    }

    std::vector<Found>& found() { return m_found; }

private:
    bool matches(const std::string& relative) const
    {
        return m_request.patterns.empty() ||
               std::any_of(m_request.patterns.begin(), m_request.patterns.end(),
                           [&](const std::string& p) {
                               return memberMatches(p, relative, false, m_request.exact);
                           });
    }
    bool isArchiveBeingWritten(const Found& f, const std::string& name) const
    {
        if (m_targetExists && f.st.st_dev == m_target.st_dev && f.st.st_ino == m_target.st_ino)
            return true;
        return f.path == m_request.target || name.rfind(m_temporaryPrefix, 0) == 0;
    }

    const Request& m_request;
    Report& m_report;
    struct stat m_target {
    };
    bool m_targetExists = false;
    std::string m_temporaryPrefix;
    std::vector<Found> m_found;
};

// The stored name of each member in the chosen encoding. A name the encoding cannot hold is
// refused, never written in another form: false, with each such name in the report.
bool storedNames(const Request& request, const std::vector<Found>& found,
                 std::vector<WriterInput>& inputs, Report& report)
{
    bool ok = true;
    for (const Found& f : found) {
        WriterInput in;
        in.path = f.path;
        in.folder = f.folder;
        in.size = f.folder ? 0 : static_cast<uint64_t>(f.st.st_size);
        in.modTime = static_cast<int64_t>(f.st.st_mtime);
        in.mode = static_cast<uint32_t>(f.st.st_mode);
        in.shownName = shown(f.relative) + (f.folder ? "/" : "");
        std::string bytes;
        if (request.cp932) {
            // A name already held in CP932 bytes on disk is stored as it is.
            const bool cp932OnDisk = !isValidUtf8(f.relative) &&
                                     utf8ToCp932(cp932ToUtf8(f.relative), bytes) &&
                                     bytes == f.relative;
            if (!cp932OnDisk && !utf8ToCp932(toNfc(f.relative), bytes)) {
                report.error("「" + in.shownName +
                             "」は Shift_JIS (CP932) で表せない文字を含むため格納できません");
                ok = false;
                continue;
            }
        } else {
            if (!isValidUtf8(f.relative)) {
                report.error("「" + in.shownName +
                             "」は名前が UTF-8 ではないため UTF-8 では格納できません");
                ok = false;
                continue;
            }
            bytes = f.relative;
            in.utf8 = true;
        }
        in.storedName = bytes + (f.folder ? "/" : "");
        if (in.storedName.size() > 0xFFFF) {
            report.error("名前が長すぎるため格納できません: " + in.shownName);
            ok = false;
            continue;
        }
        inputs.push_back(std::move(in));
    }
    return ok;
}

std::string percent(uint64_t part, uint64_t whole)
{
    const uint64_t p = whole == 0 ? 100 : (part * 100 + whole / 2) / whole;
    return std::to_string(p) + "%";
}

int levelOf(const CommandLine& cl)
{
    int level = 6;
    for (int l = 0; l <= 9; ++l) {
        if (cl.hasSwitch(std::to_string(l)))
            level = l;
    }
    return level;
}

} // namespace

int createArchive(ArchiverWindow owner, const CommandLine& cl, const Operands& ops, Report& report)
{
    Request request;
    request.target = ops.archive;
    request.base = ops.baseFolder.empty() ? std::string(".") : ops.baseFolder;
    request.exact = cl.exactNames();
    request.recurse = cl.hasSwitch("r");
    request.cp932 = cl.hasSwitch("cp932");
    report.line("Creating archive : " + shown(request.target));
    if (request.cp932 && cl.hasSwitch("utf8")) {
        report.error("-cp932 と -utf8 は一緒に指定できません。");
        return ARCHIVER_ERROR_COMMAND_NAME;
    }
    for (const std::string& n : ops.names) {
        if (!request.exact && (n == "*" || n == "*.*")) {
            request.patterns.clear();
            break;
        }
        request.patterns.push_back(n);
    }
    struct stat baseStat {
    };
    if (::stat(request.base.c_str(), &baseStat) != 0 || !S_ISDIR(baseStat.st_mode)) {
        report.error("フォルダが見つかりません: " + shown(request.base));
        return ARCHIVER_ERROR_NOT_EXIST;
    }
    const bool targetExisted = ::access(request.target.c_str(), F_OK) == 0;
    const std::string untouched = targetExisted
                                      ? "書庫は元のままです: " + shown(request.target)
                                      : "書庫は作成していません: " + shown(request.target);

    Collector collector(request, report);
    if (!collector.collect(request.base, std::string(), false, 0)) {
        report.error(untouched);
        return ARCHIVER_ERROR_CANNOT_READ;
    }
    if (collector.found().empty()) {
        report.error("圧縮するファイルがありません: " + shown(request.base));
        return ARCHIVER_ERROR_NOT_FILENAME;
    }
    std::vector<WriterInput> inputs;
    if (!storedNames(request, collector.found(), inputs, report)) {
        if (request.cp932)
            report.error("名前の文字コードを UTF-8 にすると格納できます。");
        report.error(untouched);
        return ARCHIVER_ERROR_FILE_STYLE;
    }
    if (!mayReplaceFile(owner, request.target, cl.hasSwitch("o"), report))
        return ARCHIVER_ERROR_ALREADY_EXIST;

    AtomicFile file(request.target);
    std::string reason;
    if (!file.open(reason)) {
        report.error(reason + ": " + shown(request.target));
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    ProgressWindow progress(owner, "圧縮中", !cl.hasSwitch("-i"), true);
    ZipWriter::Options options;
    options.level = levelOf(cl);
    ZipWriter writer(file.fd(), options);
    const ZipWriter::Outcome outcome =
        writer.write(inputs, [&](const std::string& member, uint64_t done, uint64_t total) {
            progress.setMember(member, done, total);
            return !progress.cancelled();
        });
    switch (outcome) {
    case ZipWriter::Outcome::Written:
        break;
    case ZipWriter::Outcome::Cancelled:
        file.discard();
        report.error("中止しました。" + untouched);
        return ARCHIVER_ERROR_USER_CANCEL;
    case ZipWriter::Outcome::MemberFailed:
        file.discard();
        report.error("格納できません: " + writer.failedMember() + " : " + writer.error());
        report.error(untouched);
        return ARCHIVER_ERROR_CANNOT_READ;
    case ZipWriter::Outcome::WriteFailed:
        file.discard();
        report.error("書庫に書き込めません: " + shown(request.target) + " (" + writer.error() +
                     ")");
        report.error(untouched);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    if (!file.commit(reason)) {
        report.error(reason + ": " + shown(request.target));
        report.error(untouched);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }

    uint64_t files = 0, folders = 0, original = 0, compressed = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const WrittenMember& m = writer.members()[i];
        if (inputs[i].folder) {
            ++folders;
            report.line("Frozen  " + inputs[i].shownName);
            continue;
        }
        ++files;
        original += m.size;
        compressed += m.compressedSize;
        report.line("Frozen  " + inputs[i].shownName + " ==> " + percent(m.compressedSize, m.size));
    }
    report.line(std::to_string(files) + " 個のファイルと " + std::to_string(folders) +
                " 個のフォルダを格納しました (" + std::to_string(original) + " バイト → " +
                std::to_string(compressed) + " バイト, " + percent(compressed, original) + ")");
    return ARCHIVER_OK;
}

} // namespace archiver::zip
