// "e" / "x": extraction, flat or with the stored folder tree (-d1).

#include "UnlhaCommand.h"

#include "Dialogs.h"
#include "LzhDecoder.h"
#include "OrderedDecodes.h"
#include "ProgressWindow.h"
#include "SafePath.h"
#include "UnlhaSupport.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lzh
{

using unlha::folderOf;
using unlha::lastPart;

namespace
{

struct ExtractOptions {
    bool withFolders = false;     // -d1
    bool absoluteAllowed = false; // -jf0
    bool yesToAll = false;        // -m1
    bool listPaths = false;       // -l1
};

// The members of one extraction written into the destination, with the report lines and the
// result code they give. Members are prepared one at a time in archive order (folders, the
// question about an existing file) and decoded side by side into temporary files; each takes
// its name, and its lines join the report, in archive order again.
class Extraction final
{
public:
    Extraction(ArchiverWindow owner, archiver::Report& report, ArchiveFile& file,
               std::string destination, const ExtractOptions& options, int result,
               std::function<bool()> cancelled)
        : m_owner(owner), m_final(report), m_dest(std::move(destination)), m_options(options),
          m_yesToAll(options.yesToAll), m_umask(unlha::currentUmask()), m_result(result),
          m_decodes(file, archiver::WorkerPool::defaultThreads(), std::move(cancelled))
    {
    }

    // False when the user cancelled: nothing more is extracted.
    bool member(const LzhMember& m);
    // The progress window was cancelled: the members still decoding are given up.
    void abandon();
    // Folder times last (writing the files into them changed them), then the closing line.
    void finish();
    int result() const { return m_result; }

private:
    enum class Overwrite { Replace, Skip, Cancel };

    void note(int code)
    {
        if (m_entry->code == 0)
            m_entry->code = code;
    }
    void cancel()
    {
        m_report->error("中止しました");
        note(ARCHIVER_ERROR_USER_CANCEL);
        m_cancelled = true;
    }
    bool prepare(const LzhMember& m);
    // Waits for the members that write to path or to a folder it lies in.
    void settlePath(const std::string& path);
    bool settle(bool all, size_t keep = 0);
    void complete(OrderedDecodes::Entry& e, const OrderedDecodes::Outcome& outcome);
    std::optional<std::string> join(const LzhMember& m, const std::string& relative);
    void folder(const LzhMember& m, const std::string& relative);
    bool file(const LzhMember& m, const std::string& relative);
    Overwrite mayOverwrite(const LzhMember& m, const std::string& target,
                           const struct stat& existing);
    void decode(const LzhMember& m, const std::string& target);

    struct FolderTime {
        std::string path;
        time_t mtime;
        bool hasMode;
        mode_t mode;
    };

    ArchiverWindow m_owner;
    archiver::Report& m_final;
    archiver::Report* m_report = nullptr;     // the lines of the member being prepared
    OrderedDecodes::Entry* m_entry = nullptr; // the member being prepared
    std::string m_dest;                       // without a trailing "/"
    ExtractOptions m_options;
    bool m_yesToAll;
    bool m_answeredYesToAll = false;
    bool m_cancelled = false;
    bool m_givenUp = false; // a member was given up by a cancel
    mode_t m_umask;
    int m_result;
    int m_extracted = 0;
    std::vector<FolderTime> m_folders;
    OrderedDecodes m_decodes;
};

bool Extraction::member(const LzhMember& m)
{
    OrderedDecodes::Entry& e = m_decodes.open();
    e.member = &m;
    m_entry = &e;
    m_report = &e.log;
    const bool go = prepare(m);
    m_entry = nullptr;
    m_report = nullptr;
    return settle(false) && go;
}

void Extraction::settlePath(const std::string& path)
{
    // Everything before the member being prepared (the newest entry) is finished first.
    if (m_decodes.pending(path))
        settle(true, 1);
}

bool Extraction::settle(bool all, size_t keep)
{
    const bool go = m_decodes.settle(
        [this](OrderedDecodes::Entry& e, const OrderedDecodes::Outcome& o) { complete(e, o); }, all,
        keep);
    if (!go) {
        m_final.error("中止しました");
        m_result = ARCHIVER_ERROR_USER_CANCEL;
        m_cancelled = true;
    }
    return go && !m_cancelled;
}

void Extraction::abandon()
{
    m_decodes.stop();
    m_decodes.settle(
        [this](OrderedDecodes::Entry& e, const OrderedDecodes::Outcome& o) { complete(e, o); },
        true);
}

bool Extraction::prepare(const LzhMember& m)
{
    if (m.isLink()) {
        m_report->skipped(m.name, "リンクは展開しません");
        note(ARCHIVER_ERROR_UNSAFE_PATH);
        return true;
    }
    if (m.isDirectory() && !m_options.withFolders)
        return true;
    std::string reason;
    std::optional<std::string> clean =
        archiver::cleanMemberPath(m.name, m_options.absoluteAllowed, reason);
    if (!clean) {
        m_report->skipped(m.name.empty() ? std::string("(名前なし)") : m.name, reason);
        note(ARCHIVER_ERROR_UNSAFE_PATH);
        return true;
    }
    const std::string relative = m_options.withFolders ? *clean : lastPart(*clean);
    if (m.isDirectory()) {
        folder(m, relative);
        return true;
    }
    return file(m, relative);
}

// The member's path inside the destination, its missing parents created; nothing when it
// would leave the destination.
std::optional<std::string> Extraction::join(const LzhMember& m, const std::string& relative)
{
    std::string reason;
    std::vector<std::string> created;
    std::optional<std::string> full = archiver::safeJoin(m_dest, relative, true, reason, &created);
    for (const std::string& c : created)
        m_report->line("mkdir  " + c);
    if (!full) {
        m_report->skipped(m.name, reason);
        note(ARCHIVER_ERROR_UNSAFE_PATH);
    }
    return full;
}

void Extraction::folder(const LzhMember& m, const std::string& relative)
{
    settlePath(archiver::joinPath(m_dest, relative));
    const std::optional<std::string> full = join(m, relative);
    if (!full)
        return;
    struct stat dst {
    };
    if (lstat(full->c_str(), &dst) != 0) {
        if (mkdir(full->c_str(), 0777) != 0) {
            m_report->error("フォルダを作成できません : " + *full);
            note(ARCHIVER_ERROR_MAKEDIRECTORY);
            return;
        }
        m_report->line("mkdir  " + *full);
    } else if (!S_ISDIR(dst.st_mode)) {
        m_report->skipped(m.name, "同じ名前のファイルがあるためフォルダを作成できません");
        note(ARCHIVER_ERROR_MAKEDIRECTORY);
        return;
    }
    m_folders.push_back({archiver::joinPath(m_dest, relative), m.mtime, m.hasUnixMode,
                         static_cast<mode_t>(m.unixMode & 0777)});
}

bool Extraction::file(const LzhMember& m, const std::string& relative)
{
    settlePath(archiver::joinPath(m_dest, relative));
    const std::optional<std::string> target = join(m, relative);
    if (!target)
        return true;
    if (!LzhDecoder::supports(m.method)) {
        m_report->error("対応していない圧縮形式です : " + m.name + " (" + m.method + ")");
        note(ARCHIVER_ERROR_METHOD);
        return true;
    }
    struct stat existing {
    };
    if (lstat(target->c_str(), &existing) == 0) {
        switch (mayOverwrite(m, *target, existing)) {
        case Overwrite::Replace:
            break;
        case Overwrite::Skip:
            return true;
        case Overwrite::Cancel:
            return false;
        }
    }
    decode(m, *target);
    return true;
}

Extraction::Overwrite Extraction::mayOverwrite(const LzhMember& m, const std::string& target,
                                               const struct stat& existing)
{
    if (S_ISDIR(existing.st_mode)) {
        m_report->skipped(m.name, "同じ名前のフォルダがあります");
        note(ARCHIVER_ERROR_CANNOT_WRITE);
        return Overwrite::Skip;
    }
    // "Yes to all" in the question replaces every later file, older or not; only -m1 keeps
    // a newer file on disk.
    if (m_answeredYesToAll)
        return Overwrite::Replace;
    if (m_yesToAll) {
        if (m.mtime < existing.st_mtime) {
            m_report->skipped(m.name, "既存のファイルの方が新しいため展開しません");
            return Overwrite::Skip;
        }
        return Overwrite::Replace;
    }
    archiver::Asked asked;
    const archiver::OverwriteAnswer a = archiver::askOverwrite(m_owner, target, asked);
    if (!asked.shown) {
        m_report->skipped(m.name,
                          "既にファイルがあります (上書きの確認ができないため上書きしません)");
        note(ARCHIVER_ERROR_USER_SKIP);
        return Overwrite::Skip;
    }
    switch (a) {
    case archiver::OverwriteAnswer::Cancel:
        cancel();
        return Overwrite::Cancel;
    case archiver::OverwriteAnswer::No:
        m_report->skipped(m.name, "上書きしませんでした");
        return Overwrite::Skip;
    case archiver::OverwriteAnswer::YesToAll:
        m_answeredYesToAll = true;
        break;
    case archiver::OverwriteAnswer::Yes:
        break;
    }
    return Overwrite::Replace;
}

// Decodes into a temporary file beside the target; only a complete, CRC-checked file takes
// the target's name.
void Extraction::decode(const LzhMember& m, const std::string& target)
{
    std::string temp = folderOf(target) + "/." + lastPart(target) + ".partXXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        m_report->error("ファイルを作成できません : " + target);
        note(ARCHIVER_ERROR_FILE_OPEN);
        return;
    }
    m_entry->target = target;
    m_entry->temp = temp;
    m_entry->fd = fd;
    m_decodes.start(*m_entry);
}

// A member's turn in archive order: its prepared lines join the report, and a decoded file
// takes its name when it is complete and its CRC is right.
void Extraction::complete(OrderedDecodes::Entry& e, const OrderedDecodes::Outcome& o)
{
    m_final.append(e.log);
    if (m_result == 0)
        m_result = e.code;
    if (!e.decode)
        return;
    const auto fail = [&](const std::string& text, int code) {
        ::close(e.fd);
        ::unlink(e.temp.c_str());
        if (text.empty())
            return;
        m_final.error(text);
        if (m_result == 0)
            m_result = code;
    };
    const LzhMember& m = *e.member;
    // After a cancel nothing takes its name beyond the first member that was given up, so the
    // files left are the members before the cancel, each complete.
    if (!o.ran || o.stopped)
        m_givenUp = true;
    if (m_givenUp)
        return fail("", 0);
    if (!o.ok)
        return fail("展開できません : " + m.name + " (" + o.why + ")", ARCHIVER_ERROR_HUFFMAN_CODE);
    if (o.crc != m.crc)
        return fail("CRC エラー : " + m.name, ARCHIVER_ERROR_FILE_CRC);
    const mode_t mode = (m_options.withFolders && m.hasUnixMode)
                            ? static_cast<mode_t>(m.unixMode & 0777)
                            : static_cast<mode_t>(0666 & ~m_umask);
    fchmod(e.fd, mode);
    struct timespec ts[2];
    ts[0].tv_sec = m.mtime;
    ts[0].tv_nsec = 0;
    ts[1] = ts[0];
    futimens(e.fd, ts);
    ::close(e.fd);
    if (std::rename(e.temp.c_str(), e.target.c_str()) != 0) {
        ::unlink(e.temp.c_str());
        m_final.error("ファイルを書き込めません : " + e.target);
        if (m_result == 0)
            m_result = ARCHIVER_ERROR_CANNOT_WRITE;
        return;
    }
    ++m_extracted;
    m_final.line("Melted  " + m.name + (m_options.listPaths ? " -> " + e.target : std::string()));
}

void Extraction::finish()
{
    settle(true);
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
        if (it->hasMode)
            chmod(it->path.c_str(), it->mode | 0700);
        unlha::setTimes(it->path, it->mtime);
    }
    m_final.line(std::to_string(m_extracted) + " 個のファイルを展開しました" +
                 (m_final.errorCount() || m_final.skippedCount()
                      ? " (エラー " + std::to_string(m_final.errorCount()) + " 件, スキップ " +
                            std::to_string(m_final.skippedCount()) + " 件)"
                      : std::string()));
}

} // namespace

bool UnlhaCommand::ensureDestination(const std::string& dest)
{
    struct stat st {
    };
    if (stat(dest.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (!m_cmd.hasSwitch("m1")) {
        archiver::Asked asked;
        if (!archiver::askYesNo(m_owner, "フォルダの作成",
                                "展開先のフォルダがありません。作成しますか？\n" + dest, asked)) {
            m_report.error(asked.shown
                               ? "展開先のフォルダを作成しませんでした : " + dest
                               : "展開先のフォルダがありません (確認できないため作成しません) : " +
                                     dest);
            return false;
        }
    }
    // Create every missing level.
    std::string path;
    size_t i = 0;
    while (i <= dest.size()) {
        size_t j = dest.find('/', i);
        if (j == std::string::npos)
            j = dest.size();
        path = dest.substr(0, j);
        if (!path.empty() && mkdir(path.c_str(), 0777) == 0)
            m_report.line("mkdir  " + path);
        i = j + 1;
    }
    return stat(dest.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int UnlhaCommand::extract()
{
    m_report.line("Extracting from archive : " + m_cmd.archive());
    OpenedArchive opened;
    if (const int r = openArchive(opened); r != 0)
        return r;
    if (opened.damaged != 0 && opened.members.empty())
        return opened.damaged;
    const std::string dest = m_cmd.baseFolder().empty() ? std::string("./") : m_cmd.baseFolder();
    std::string destNoSlash = dest;
    while (destNoSlash.size() > 1 && destNoSlash.back() == '/')
        destNoSlash.pop_back();
    if (!ensureDestination(destNoSlash)) {
        if (m_report.errorCount() == 0)
            m_report.error("展開先がフォルダではありません : " + dest);
        return ARCHIVER_ERROR_MAKEDIRECTORY;
    }
    ExtractOptions options;
    options.withFolders = m_cmd.hasSwitch("d1");
    options.absoluteAllowed = m_cmd.hasSwitch("jf0");
    options.yesToAll = m_cmd.hasSwitch("m1");
    options.listPaths = m_cmd.hasSwitch("l1");
    archiver::ProgressWindow progress(m_owner, "展開中", !m_cmd.hasSwitch("n"),
                                      m_cmd.hasSwitch("jp1"));
    uint64_t done = 0, total = 0;
    std::string shown;
    // Asked while earlier members decode: the window is kept up to date and may be cancelled.
    const auto cancelled = [&] {
        progress.setMember(shown, done, total);
        return progress.cancelled();
    };
    Extraction extraction(m_owner, m_report, opened.file, destNoSlash, options, opened.damaged,
                          cancelled);
    for (const LzhMember& m : opened.members)
        total += m.originalSize;
    for (const LzhMember& m : opened.members) {
        if (!selected(m))
            continue;
        shown = m.name;
        progress.setMember(m.name, done, total);
        if (progress.cancelled()) {
            // The members still decoding are given up; those done before take their names.
            extraction.abandon();
            m_report.error("中止しました");
            extraction.finish();
            return ARCHIVER_ERROR_USER_CANCEL;
        }
        done += m.originalSize;
        if (!extraction.member(m))
            break;
    }
    // A member asked for by name that is not in the archive is a failure as well.
    const int unmatched = m_cmd.selectsAll() ? 0 : reportUnmatched(m_cmd.names(), opened.members);
    extraction.finish();
    return extraction.result() != 0 ? extraction.result() : unmatched;
}

} // namespace lzh
