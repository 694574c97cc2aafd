// "u" / "a": adds each file that is missing from the archive or newer than the stored one;
// creates the archive when it does not exist.

#include "UnlhaCommand.h"

#include "ArchiveFile.h"
#include "LzhArchiveWriter.h"
#include "LzhMember.h"
#include "OrderedPacks.h"
#include "ProgressWindow.h"
#include "SafePath.h"
#include "UnlhaSupport.h"
#include "Wildcard.h"

#include <algorithm>
#include <dirent.h>
#include <map>
#include <set>
#include <sys/stat.h>

namespace lzh
{

using unlha::folderOf;
using unlha::lastPart;

namespace
{

// A file to be stored.
struct Candidate {
    std::string source; // path on disk
    std::string stored; // path in the archive
    bool directory = false;
    time_t mtime = 0;
    mode_t mode = 0;
    uint64_t size = 0; // when listed
};

// The names in a folder other than "." and ".." (and hidden ones unless asked), that match
// `pattern` when one is given, in name order. False when the folder cannot be read.
bool folderNames(const std::string& folder, bool hidden, const std::string* pattern,
                 std::vector<std::string>& names)
{
    DIR* d = opendir(folder.c_str());
    if (!d)
        return false;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == ".." || (!hidden && n[0] == '.'))
            continue;
        if (!pattern || archiver::wildcardMatch(*pattern, n))
            names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

// Gathers the files and folders the command names, below the base folder. The archive itself
// (and a temporary beside it) is never its own input; links are not stored.
class Collector final
{
public:
    Collector(archiver::Report& report, const std::string& archive, bool hidden)
        : m_report(report), m_archive(archive), m_hidden(hidden)
    {
        m_archiveExists = stat(archive.c_str(), &m_archiveStat) == 0;
    }

    // Adds what a name on the command line stands for; under --exact (`exact`) "*" and "?"
    // in it are plain characters.
    void name(const std::string& base, const std::string& name, bool exact);
    // How many named files or folders were not there.
    int missing() const { return m_missing; }
    bool archiveExists() const { return m_archiveExists; }
    std::vector<Candidate>& candidates() { return m_candidates; }

private:
    // Adds a file or a folder with everything below it.
    void add(const std::string& source, const std::string& stored, int depth);
    bool isArchive(const struct stat& st) const
    {
        return m_archiveExists && st.st_dev == m_archiveStat.st_dev &&
               st.st_ino == m_archiveStat.st_ino;
    }

    archiver::Report& m_report;
    std::string m_archive;
    bool m_hidden;
    struct stat m_archiveStat {
    };
    bool m_archiveExists = false;
    std::vector<Candidate> m_candidates;
    std::set<std::string> m_seen;
    int m_missing = 0;
};

void Collector::add(const std::string& source, const std::string& stored, int depth)
{
    struct stat st {
    };
    if (lstat(source.c_str(), &st) != 0) {
        ++m_missing;
        m_report.skipped(stored, "ファイルが見つかりません");
        return;
    }
    if (S_ISLNK(st.st_mode)) {
        m_report.skipped(stored, "リンクは格納しません");
        return;
    }
    if (isArchive(st) || lastPart(source).rfind("." + lastPart(m_archive) + ".tmp", 0) == 0)
        return;
    if (!m_seen.insert(stored).second)
        return;
    if (S_ISDIR(st.st_mode)) {
        if (depth > 64) {
            m_report.skipped(stored, "フォルダが深すぎます");
            return;
        }
        m_candidates.push_back({source, stored, true, st.st_mtime, st.st_mode});
        std::vector<std::string> names;
        if (!folderNames(source, m_hidden, nullptr, names)) {
            m_report.skipped(stored, "フォルダを読めません");
            return;
        }
        for (const std::string& n : names)
            add(archiver::joinPath(source, n), stored + "/" + n, depth + 1);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_report.skipped(stored, "通常のファイルではありません");
        return;
    }
    m_candidates.push_back(
        {source, stored, false, st.st_mtime, st.st_mode, static_cast<uint64_t>(st.st_size)});
}

void Collector::name(const std::string& base, const std::string& name, bool exact)
{
    std::string folder, pattern, prefix;
    if (!name.empty() && name[0] == '/') {
        folder = folderOf(name);
        pattern = lastPart(name);
    } else if (name.find('/') != std::string::npos) {
        folder = archiver::joinPath(base, folderOf(name));
        prefix = folderOf(name) + "/";
        pattern = lastPart(name);
    } else {
        folder = base;
        pattern = name;
    }
    std::string reason;
    if (!prefix.empty()) {
        std::optional<std::string> cleanPrefix = archiver::cleanMemberPath(prefix, false, reason);
        if (!cleanPrefix) {
            m_report.skipped(name, reason);
            return;
        }
        prefix = *cleanPrefix + "/";
    }
    if (exact || !unlha::hasWildcard(pattern)) {
        if (pattern.empty() || pattern == "." || pattern == "..") {
            m_report.skipped(name, "ファイル名が正しくありません");
            return;
        }
        add(archiver::joinPath(folder, pattern), prefix + pattern, 0);
        return;
    }
    std::vector<std::string> entries;
    if (!folderNames(folder, m_hidden, &pattern, entries)) {
        m_report.error("フォルダを読めません : " + folder);
        return;
    }
    for (const std::string& n : entries)
        add(archiver::joinPath(folder, n), prefix + n, 0);
}

// One step of the new archive: an old member kept as it is, or a file added.
struct Step {
    const LzhMember* keep = nullptr;
    const Candidate* add = nullptr;
};

// Old members stay in place, replaced when the file is newer; new ones follow. `changed` is
// false when nothing would be added or replaced.
std::vector<Step> plan(const std::vector<LzhMember>& members,
                       const std::vector<Candidate>& candidates, bool& changed)
{
    std::map<std::string, size_t> byName;
    for (size_t i = 0; i < candidates.size(); ++i)
        byName[candidates[i].stored] = i;
    std::vector<bool> placed(candidates.size(), false);
    std::vector<Step> steps;
    changed = false;
    for (const LzhMember& m : members) {
        auto it = byName.find(m.name);
        if (it != byName.end() && !placed[it->second]) {
            placed[it->second] = true;
            const Candidate& c = candidates[it->second];
            if (!c.directory && c.mtime > m.mtime) {
                steps.push_back({nullptr, &c});
                changed = true;
                continue;
            }
        }
        steps.push_back({&m, nullptr});
    }
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (!placed[i]) {
            steps.push_back({nullptr, &candidates[i]});
            changed = true;
        }
    }
    return steps;
}

std::string methodOf(const archiver::CommandLine& cmd)
{
    std::string method = "-lh5-";
    if (cmd.hasSwitch("o7"))
        method = "-lh7-";
    else if (cmd.hasSwitch("o6"))
        method = "-lh6-";
    else if (cmd.hasSwitch("z"))
        method = "-lh0-";
    if (cmd.hasSwitch("o2") || cmd.hasSwitch("o5"))
        method = "-lh5-";
    return method;
}

struct WriteOptions {
    std::string method;
    bool keepMode = false;  // -a1
    bool listPaths = false; // -l1
    bool progress = true;   // not -n
    bool progressBar = false;
};

// Writes the new archive beside the old one and puts it in place when complete.
int writeArchive(ArchiverWindow owner, archiver::Report& report, const std::string& archive,
                 ArchiveFile& old, const std::vector<Step>& steps, const WriteOptions& options)
{
    archiver::ProgressWindow progress(owner, "圧縮中", options.progress, options.progressBar);
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    const auto failed = [&](const std::string& what) {
        report.error(reason + " : " + what);
        report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    };
    // Files are compressed ahead on the workers, up to 64 MiB of them at a time, and
    // written in order; a larger file is compressed straight into the archive in its turn.
    OrderedPacks packs(options.method, archiver::WorkerPool::defaultThreads(), 64u << 20);
    std::vector<bool> packed(steps.size(), false);
    size_t ahead = 0;
    const auto startMore = [&] {
        for (; ahead < steps.size(); ++ahead) {
            const Candidate* c = steps[ahead].add;
            if (!c || c->directory || !packs.takes(c->size))
                continue;
            if (!packs.room(c->size))
                break;
            packs.start(c->source, c->size);
            packed[ahead] = true;
        }
    };
    const auto cancelled = [&] { return progress.cancelled(); };
    int frozen = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        startMore();
        const Step& s = steps[i];
        if (s.keep) {
            if (!writer.copyMember(old, *s.keep, reason))
                return failed(archive);
            continue;
        }
        const Candidate& c = *s.add;
        progress.setMember(c.stored, i, steps.size());
        if (progress.cancelled()) {
            report.error("中止しました。書庫は変更されていません");
            return ARCHIVER_ERROR_USER_CANCEL;
        }
        if (c.directory) {
            if (!writer.addFolder(c.stored, c.mtime, options.keepMode,
                                  static_cast<uint16_t>(c.mode), reason))
                return failed(archive);
            continue;
        }
        uint8_t attribute = 0x20;
        if (!(c.mode & S_IWUSR))
            attribute |= 0x01;
        if (lastPart(c.stored)[0] == '.')
            attribute |= 0x02;
        uint64_t original = 0, compressed = 0;
        if (packed[i]) {
            PackedMember member;
            if (!packs.take(member, cancelled)) {
                report.error("中止しました。書庫は変更されていません");
                return ARCHIVER_ERROR_USER_CANCEL;
            }
            reason = member.reason;
            if (!member.ok ||
                !writer.addPacked(member, c.stored, options.keepMode, attribute, reason))
                return failed(c.source);
            original = member.originalSize;
            compressed = member.method == "-lh0-" ? original : member.data.size();
        } else {
            std::string used;
            if (!writer.addFile(c.source, c.stored, options.method, options.keepMode, attribute,
                                original, compressed, used, reason))
                return failed(c.source);
        }
        ++frozen;
        report.line("Frozen  " + c.stored +
                    (options.listPaths ? " <- " + c.source : std::string()) + " ==> " +
                    unlha::percent(compressed, original));
    }
    if (!writer.commit(reason))
        return failed(archive);
    report.line(std::to_string(frozen) + " 個のファイルを格納しました");
    return 0;
}

} // namespace

int UnlhaCommand::update()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Updating archive : " + archive);
    const std::string base = m_cmd.baseFolder().empty() ? std::string("./") : m_cmd.baseFolder();
    Collector collector(m_report, archive, m_cmd.hasSwitch("a1"));
    std::vector<std::string> names = m_cmd.names();
    if (names.empty())
        names.push_back("*.*");
    for (const std::string& name : names)
        collector.name(base, name, m_cmd.exactNames());
    const std::vector<Candidate>& candidates = collector.candidates();

    ArchiveFile old;
    std::vector<LzhMember> members;
    if (collector.archiveExists()) {
        if (!old.open(archive)) {
            m_report.error("書庫ファイルを開けません : " + archive);
            return ARCHIVER_ERROR_ARC_FILE_OPEN;
        }
        if (old.isSelfExtracting())
            return refuseSelfExtracting();
        if (const int r = readMembers(old, members); r != 0)
            return refuseDamaged(r);
    }
    bool changed = false;
    const std::vector<Step> steps = plan(members, candidates, changed);
    // A named file that is not there is a failure, even when the others are stored.
    const int missing = collector.missing() ? ARCHIVER_ERROR_NOT_EXIST : 0;
    if (!changed) {
        if (candidates.empty())
            m_report.error("格納するファイルがありません");
        else
            m_report.line("更新するファイルはありません");
        return candidates.empty() ? (missing ? missing : ARCHIVER_ERROR_NOT_FILENAME) : missing;
    }
    WriteOptions options;
    options.method = methodOf(m_cmd);
    options.keepMode = m_cmd.hasSwitch("a1");
    options.listPaths = m_cmd.hasSwitch("l1");
    options.progress = !m_cmd.hasSwitch("n");
    options.progressBar = m_cmd.hasSwitch("jp1");
    const int written = writeArchive(m_owner, m_report, archive, old, steps, options);
    return written != 0 ? written : missing;
}

} // namespace lzh
