#include "UnlhaCommand.h"

#include "ArchiveFile.h"
#include "Dialogs.h"
#include "DosTime.h"
#include "LzhArchiveWriter.h"
#include "LzhDecoder.h"
#include "LzhHeader.h"
#include "ProgramFolder.h"
#include "ProgressWindow.h"
#include "SafePath.h"
#include "Wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace lzh
{

namespace
{
constexpr size_t kMaxMembers = 1000000;

archiver::CommandLine::Options unlhaOptions()
{
    archiver::CommandLine::Options o;
    o.hasCommandWord = true;
    o.caseInsensitive = true;
    o.switchesAnywhere = true;
    return o;
}

class FdSink final : public ByteSink
{
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    bool write(const uint8_t* data, size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
};

std::string lastPart(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool hasWildcard(const std::string& s)
{
    return s.find_first_of("*?") != std::string::npos;
}

std::string percent(uint64_t compressed, uint64_t original)
{
    const uint64_t p = original == 0 ? 100 : (compressed * 100 + original / 2) / original;
    return std::to_string(p) + "%";
}

std::string formatTime(time_t t)
{
    struct tm tmv {
    };
    localtime_r(&t, &tmv);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", tmv.tm_year + 1900,
                  tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    return buf;
}

bool setTimes(const std::string& path, time_t mtime)
{
    struct timespec ts[2];
    ts[0].tv_sec = mtime;
    ts[0].tv_nsec = 0;
    ts[1] = ts[0];
    return utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0;
}

mode_t currentUmask()
{
    const mode_t m = umask(022);
    umask(m);
    return m;
}

// A file to be stored by "u".
struct Candidate {
    std::string source; // path on disk
    std::string stored; // path in the archive
    bool directory = false;
    time_t mtime = 0;
    mode_t mode = 0;
};
} // namespace

UnlhaCommand::UnlhaCommand(ArchiverWindow owner, const std::string& commandLine)
    : m_owner(owner), m_cmd(archiver::CommandLine::parse(commandLine, unlhaOptions()))
{
}

int UnlhaCommand::run()
{
    const std::string& c = m_cmd.command();
    if (c.empty()) {
        m_report.error("コマンドが指定されていません");
        return ARCHIVER_ERROR_COMMAND_NAME;
    }
    if (m_cmd.archive().empty()) {
        m_report.error("書庫ファイルが指定されていません");
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    if (c == "e" || c == "x")
        return extract();
    if (c == "u" || c == "a")
        return update();
    if (c == "d")
        return remove();
    if (c == "n")
        return rename();
    if (c == "s")
        return selfExtracting();
    if (c == "l" || c == "v")
        return list();
    m_report.error("コマンドが正しくありません : " + c);
    return ARCHIVER_ERROR_COMMAND_NAME;
}

bool UnlhaCommand::selected(const LzhMember& member) const
{
    if (m_cmd.selectsAll())
        return true;
    for (const std::string& n : m_cmd.names()) {
        if (archiver::memberMatches(n, member.name))
            return true;
    }
    return false;
}

int UnlhaCommand::readMembers(ArchiveFile& file, std::vector<LzhMember>& members)
{
    uint64_t offset = 0;
    for (;;) {
        LzhMember m;
        std::string reason;
        const HeaderStatus st = readHeader(file, offset, m, reason);
        if (st == HeaderStatus::End)
            return 0;
        if (st == HeaderStatus::Error) {
            m_report.error("書庫が壊れています : " + m_cmd.archive() + " (" + reason + ")");
            return ARCHIVER_ERROR_HEADER_BROKEN;
        }
        if (members.size() >= kMaxMembers) {
            m_report.error("書庫の格納ファイルが多すぎます : " + m_cmd.archive());
            return ARCHIVER_ERROR_TOO_MANY_FILES;
        }
        offset = m.dataOffset + m.compressedSize;
        members.push_back(std::move(m));
    }
}

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
    const std::string& archive = m_cmd.archive();
    m_report.line("Extracting from archive : " + archive);
    ArchiveFile file;
    if (!file.open(archive)) {
        m_report.error("書庫ファイルが見つかりません : " + archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::vector<LzhMember> members;
    const int readResult = readMembers(file, members);
    if (readResult != 0 && members.empty())
        return readResult;
    std::string dest = m_cmd.baseFolder().empty() ? std::string("./") : m_cmd.baseFolder();
    std::string destNoSlash = dest;
    while (destNoSlash.size() > 1 && destNoSlash.back() == '/')
        destNoSlash.pop_back();
    if (!ensureDestination(destNoSlash)) {
        if (m_report.errorCount() == 0)
            m_report.error("展開先がフォルダではありません : " + dest);
        return ARCHIVER_ERROR_MAKEDIRECTORY;
    }
    const bool withFolders = m_cmd.hasSwitch("d1");
    const bool absoluteAllowed = m_cmd.hasSwitch("jf0");
    const bool yesToAll0 = m_cmd.hasSwitch("m1");
    const bool listPaths = m_cmd.hasSwitch("l1");
    archiver::ProgressWindow progress(m_owner, "展開中", !m_cmd.hasSwitch("n"),
                                      m_cmd.hasSwitch("jp1"));
    const mode_t umaskNow = currentUmask();
    bool yesToAll = yesToAll0;
    int result = readResult;
    int extracted = 0;
    struct FolderTime {
        std::string path;
        time_t mtime;
        bool hasMode;
        mode_t mode;
    };
    std::vector<FolderTime> folders;
    LzhDecoder decoder;
    uint64_t done = 0, total = 0;
    for (const LzhMember& m : members)
        total += m.originalSize;

    for (const LzhMember& m : members) {
        if (!selected(m))
            continue;
        progress.setMember(m.name, done, total);
        if (progress.cancelled()) {
            m_report.error("中止しました");
            result = ARCHIVER_ERROR_USER_CANCEL;
            break;
        }
        done += m.originalSize;
        if (m.isLink()) {
            m_report.skipped(m.name, "リンクは展開しません");
            result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
            continue;
        }
        if (m.isDirectory() && !withFolders)
            continue;
        std::string reason;
        std::optional<std::string> clean =
            archiver::cleanMemberPath(m.name, absoluteAllowed, reason);
        if (!clean) {
            m_report.skipped(m.name.empty() ? std::string("(名前なし)") : m.name, reason);
            result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
            continue;
        }
        std::string relative = withFolders ? *clean : lastPart(*clean);
        std::vector<std::string> created;
        if (m.isDirectory()) {
            std::optional<std::string> full =
                archiver::safeJoin(destNoSlash, relative, true, reason, &created);
            for (const std::string& c : created)
                m_report.line("mkdir  " + c);
            if (!full) {
                m_report.skipped(m.name, reason);
                result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
                continue;
            }
            struct stat dst {
            };
            if (lstat(full->c_str(), &dst) != 0) {
                if (mkdir(full->c_str(), 0777) != 0) {
                    m_report.error("フォルダを作成できません : " + *full);
                    result = result ? result : ARCHIVER_ERROR_MAKEDIRECTORY;
                    continue;
                }
                m_report.line("mkdir  " + *full);
            } else if (!S_ISDIR(dst.st_mode)) {
                m_report.skipped(m.name, "同じ名前のファイルがあるためフォルダを作成できません");
                result = result ? result : ARCHIVER_ERROR_MAKEDIRECTORY;
                continue;
            }
            folders.push_back({archiver::joinPath(destNoSlash, relative), m.mtime, m.hasUnixMode,
                               static_cast<mode_t>(m.unixMode & 0777)});
            continue;
        }
        std::optional<std::string> target =
            archiver::safeJoin(destNoSlash, relative, true, reason, &created);
        for (const std::string& c : created)
            m_report.line("mkdir  " + c);
        if (!target) {
            m_report.skipped(m.name, reason);
            result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
            continue;
        }
        if (!LzhDecoder::supports(m.method)) {
            m_report.error("対応していない圧縮形式です : " + m.name + " (" + m.method + ")");
            result = result ? result : ARCHIVER_ERROR_METHOD;
            continue;
        }
        struct stat existing {
        };
        if (lstat(target->c_str(), &existing) == 0) {
            if (S_ISDIR(existing.st_mode)) {
                m_report.skipped(m.name, "同じ名前のフォルダがあります");
                result = result ? result : ARCHIVER_ERROR_CANNOT_WRITE;
                continue;
            }
            if (yesToAll) {
                if (m.mtime < existing.st_mtime) {
                    m_report.skipped(m.name, "既存のファイルの方が新しいため展開しません");
                    continue;
                }
            } else {
                archiver::Asked asked;
                const archiver::OverwriteAnswer a = archiver::askOverwrite(m_owner, *target, asked);
                if (!asked.shown) {
                    m_report.skipped(
                        m.name,
                        "既にファイルがあります (上書きの確認ができないため上書きしません)");
                    result = result ? result : ARCHIVER_ERROR_USER_SKIP;
                    continue;
                }
                if (a == archiver::OverwriteAnswer::Cancel) {
                    m_report.error("中止しました");
                    result = ARCHIVER_ERROR_USER_CANCEL;
                    break;
                }
                if (a == archiver::OverwriteAnswer::No) {
                    m_report.skipped(m.name, "上書きしませんでした");
                    continue;
                }
                if (a == archiver::OverwriteAnswer::YesToAll)
                    yesToAll = true;
            }
        }
        // Decode into a temporary file beside the target; only a complete, CRC-checked
        // file takes the target's name.
        std::string temp = folderOf(*target) + "/." + lastPart(*target) + ".partXXXXXX";
        const int fd = mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            m_report.error("ファイルを作成できません : " + *target);
            result = result ? result : ARCHIVER_ERROR_FILE_OPEN;
            continue;
        }
        FdSink sink(fd);
        ArchiveFile::Range source(file, m.dataOffset, m.compressedSize);
        uint16_t crc = 0;
        std::string why;
        const bool ok =
            decoder.decode(m.method, source, m.compressedSize, m.originalSize, sink, crc, why);
        if (!ok || crc != m.crc) {
            ::close(fd);
            ::unlink(temp.c_str());
            if (ok) {
                m_report.error("CRC エラー : " + m.name);
                result = result ? result : ARCHIVER_ERROR_FILE_CRC;
            } else {
                m_report.error("展開できません : " + m.name + " (" + why + ")");
                result = result ? result : ARCHIVER_ERROR_HUFFMAN_CODE;
            }
            continue;
        }
        const mode_t mode = (withFolders && m.hasUnixMode) ? static_cast<mode_t>(m.unixMode & 0777)
                                                           : static_cast<mode_t>(0666 & ~umaskNow);
        fchmod(fd, mode);
        struct timespec ts[2];
        ts[0].tv_sec = m.mtime;
        ts[0].tv_nsec = 0;
        ts[1] = ts[0];
        futimens(fd, ts);
        ::close(fd);
        if (std::rename(temp.c_str(), target->c_str()) != 0) {
            ::unlink(temp.c_str());
            m_report.error("ファイルを書き込めません : " + *target);
            result = result ? result : ARCHIVER_ERROR_CANNOT_WRITE;
            continue;
        }
        ++extracted;
        m_report.line("Melted  " + m.name + (listPaths ? " -> " + *target : std::string()));
    }
    // Folder times last: writing the files into them changed them.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        if (it->hasMode)
            chmod(it->path.c_str(), it->mode | 0700);
        setTimes(it->path, it->mtime);
    }
    m_report.line(std::to_string(extracted) + " 個のファイルを展開しました" +
                  (m_report.errorCount() || m_report.skippedCount()
                       ? " (エラー " + std::to_string(m_report.errorCount()) + " 件, スキップ " +
                             std::to_string(m_report.skippedCount()) + " 件)"
                       : std::string()));
    return result;
}

int UnlhaCommand::update()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Updating archive : " + archive);
    std::string base = m_cmd.baseFolder().empty() ? std::string("./") : m_cmd.baseFolder();
    const bool hidden = m_cmd.hasSwitch("a1");
    const bool keepMode = m_cmd.hasSwitch("a1");
    const bool listPaths = m_cmd.hasSwitch("l1");
    std::string method = "-lh5-";
    if (m_cmd.hasSwitch("o7"))
        method = "-lh7-";
    else if (m_cmd.hasSwitch("o6"))
        method = "-lh6-";
    else if (m_cmd.hasSwitch("z"))
        method = "-lh0-";
    if (m_cmd.hasSwitch("o2") || m_cmd.hasSwitch("o5"))
        method = "-lh5-";

    // The archive itself (and a temporary beside it) is never its own input.
    struct stat archiveStat {
    };
    const bool archiveExists = stat(archive.c_str(), &archiveStat) == 0;

    std::vector<Candidate> candidates;
    std::set<std::string> seen;
    auto isArchive = [&](const struct stat& st) {
        return archiveExists && st.st_dev == archiveStat.st_dev && st.st_ino == archiveStat.st_ino;
    };
    // Adds a file or a folder with everything below it.
    std::function<void(const std::string&, const std::string&, int)> addPath =
        [&](const std::string& source, const std::string& stored, int depth) {
            struct stat st {
            };
            if (lstat(source.c_str(), &st) != 0) {
                m_report.skipped(stored, "ファイルが見つかりません");
                return;
            }
            if (S_ISLNK(st.st_mode)) {
                m_report.skipped(stored, "リンクは格納しません");
                return;
            }
            if (isArchive(st) || lastPart(source).rfind("." + lastPart(archive) + ".tmp", 0) == 0)
                return;
            if (!seen.insert(stored).second)
                return;
            if (S_ISDIR(st.st_mode)) {
                if (depth > 64) {
                    m_report.skipped(stored, "フォルダが深すぎます");
                    return;
                }
                candidates.push_back({source, stored, true, st.st_mtime, st.st_mode});
                DIR* d = opendir(source.c_str());
                if (!d) {
                    m_report.skipped(stored, "フォルダを読めません");
                    return;
                }
                std::vector<std::string> names;
                while (dirent* e = readdir(d)) {
                    const std::string n = e->d_name;
                    if (n == "." || n == ".." || (!hidden && n[0] == '.'))
                        continue;
                    names.push_back(n);
                }
                closedir(d);
                std::sort(names.begin(), names.end());
                for (const std::string& n : names)
                    addPath(archiver::joinPath(source, n), stored + "/" + n, depth + 1);
                return;
            }
            if (!S_ISREG(st.st_mode)) {
                m_report.skipped(stored, "通常のファイルではありません");
                return;
            }
            candidates.push_back({source, stored, false, st.st_mtime, st.st_mode});
        };

    std::vector<std::string> names = m_cmd.names();
    if (names.empty())
        names.push_back("*.*");
    for (const std::string& name : names) {
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
            std::optional<std::string> cleanPrefix =
                archiver::cleanMemberPath(prefix, false, reason);
            if (!cleanPrefix) {
                m_report.skipped(name, reason);
                continue;
            }
            prefix = *cleanPrefix + "/";
        }
        if (!hasWildcard(pattern)) {
            if (pattern.empty() || pattern == "." || pattern == "..") {
                m_report.skipped(name, "ファイル名が正しくありません");
                continue;
            }
            addPath(archiver::joinPath(folder, pattern), prefix + pattern, 0);
            continue;
        }
        DIR* d = opendir(folder.c_str());
        if (!d) {
            m_report.error("フォルダを読めません : " + folder);
            continue;
        }
        std::vector<std::string> entries;
        while (dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n == "." || n == ".." || (!hidden && n[0] == '.'))
                continue;
            if (archiver::wildcardMatch(pattern, n))
                entries.push_back(n);
        }
        closedir(d);
        std::sort(entries.begin(), entries.end());
        for (const std::string& n : entries)
            addPath(archiver::joinPath(folder, n), prefix + n, 0);
    }

    ArchiveFile old;
    std::vector<LzhMember> members;
    if (archiveExists) {
        if (!old.open(archive)) {
            m_report.error("書庫ファイルを開けません : " + archive);
            return ARCHIVER_ERROR_ARC_FILE_OPEN;
        }
        const int r = readMembers(old, members);
        if (r != 0) {
            m_report.error("壊れた書庫は更新しません。書庫は変更されていません");
            return r;
        }
    }
    std::map<std::string, size_t> byName;
    for (size_t i = 0; i < candidates.size(); ++i)
        byName[candidates[i].stored] = i;
    std::vector<bool> placed(candidates.size(), false);
    // Plan: old members stay in place, replaced when the file is newer; new ones follow.
    struct Step {
        const LzhMember* keep = nullptr;
        const Candidate* add = nullptr;
    };
    std::vector<Step> steps;
    bool changed = false;
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
    if (!changed) {
        if (candidates.empty())
            m_report.error("格納するファイルがありません");
        else
            m_report.line("更新するファイルはありません");
        return candidates.empty() ? ARCHIVER_ERROR_NOT_FILENAME : 0;
    }

    archiver::ProgressWindow progress(m_owner, "圧縮中", !m_cmd.hasSwitch("n"),
                                      m_cmd.hasSwitch("jp1"));
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        m_report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    int frozen = 0;
    int result = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.keep) {
            if (!writer.copyMember(old, *s.keep, reason)) {
                m_report.error(reason + " : " + archive);
                m_report.error("書庫は変更されていません");
                return ARCHIVER_ERROR_CANNOT_WRITE;
            }
            continue;
        }
        const Candidate& c = *s.add;
        progress.setMember(c.stored, i, steps.size());
        if (progress.cancelled()) {
            m_report.error("中止しました。書庫は変更されていません");
            return ARCHIVER_ERROR_USER_CANCEL;
        }
        if (c.directory) {
            if (!writer.addFolder(c.stored, c.mtime, keepMode, static_cast<uint16_t>(c.mode),
                                  reason)) {
                m_report.error(reason + " : " + archive);
                m_report.error("書庫は変更されていません");
                return ARCHIVER_ERROR_CANNOT_WRITE;
            }
            continue;
        }
        uint64_t original = 0, compressed = 0;
        std::string used;
        uint8_t attribute = 0x20;
        if (!(c.mode & S_IWUSR))
            attribute |= 0x01;
        if (lastPart(c.stored)[0] == '.')
            attribute |= 0x02;
        if (!writer.addFile(c.source, c.stored, method, keepMode, attribute, original, compressed,
                            used, reason)) {
            m_report.error(reason + " : " + c.source);
            m_report.error("書庫は変更されていません");
            return ARCHIVER_ERROR_CANNOT_WRITE;
        }
        ++frozen;
        m_report.line("Frozen  " + c.stored + (listPaths ? " <- " + c.source : std::string()) +
                      " ==> " + percent(compressed, original));
    }
    if (!writer.commit(reason)) {
        m_report.error(reason + " : " + archive);
        m_report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    m_report.line(std::to_string(frozen) + " 個のファイルを格納しました");
    return result;
}

int UnlhaCommand::remove()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Deleting from archive : " + archive);
    if (m_cmd.names().empty()) {
        m_report.error("削除するファイルが指定されていません");
        return ARCHIVER_ERROR_NOT_FILENAME;
    }
    ArchiveFile file;
    if (!file.open(archive)) {
        m_report.error("書庫ファイルが見つかりません : " + archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::vector<LzhMember> members;
    if (const int r = readMembers(file, members); r != 0) {
        m_report.error("壊れた書庫は更新しません。書庫は変更されていません");
        return r;
    }
    std::vector<bool> drop(members.size(), false);
    int count = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        for (const std::string& n : m_cmd.names()) {
            if (archiver::memberMatches(n, members[i].name)) {
                drop[i] = true;
                ++count;
                break;
            }
        }
    }
    if (count == 0) {
        m_report.error("削除するファイルが書庫にありません");
        return ARCHIVER_ERROR_NOT_EXIST;
    }
    if (!m_cmd.hasSwitch("jyd")) {
        archiver::Asked asked;
        if (!archiver::askYesNo(m_owner, "削除の確認",
                                std::to_string(count) + " 個のファイルを書庫から削除しますか？",
                                asked)) {
            m_report.error(asked.shown ? "削除を取りやめました"
                                       : "削除の確認ができないため削除しません (-jyd で確認なし)");
            return ARCHIVER_ERROR_USER_SKIP;
        }
    }
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        m_report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    for (size_t i = 0; i < members.size(); ++i) {
        if (drop[i])
            continue;
        if (!writer.copyMember(file, members[i], reason)) {
            m_report.error(reason + " : " + archive);
            m_report.error("書庫は変更されていません");
            return ARCHIVER_ERROR_CANNOT_WRITE;
        }
    }
    if (!writer.commit(reason)) {
        m_report.error(reason + " : " + archive);
        m_report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    for (size_t i = 0; i < members.size(); ++i) {
        if (drop[i])
            m_report.line("Deleted  " + members[i].name);
    }
    m_report.line(std::to_string(count) + " 個のファイルを削除しました");
    return 0;
}

int UnlhaCommand::rename()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Renaming in archive : " + archive);
    ArchiveFile file;
    if (!file.open(archive)) {
        m_report.error("書庫ファイルが見つかりません : " + archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::vector<LzhMember> members;
    if (const int r = readMembers(file, members); r != 0) {
        m_report.error("壊れた書庫は更新しません。書庫は変更されていません");
        return r;
    }
    const std::optional<std::string> given = m_cmd.switchValue("gr");
    std::set<std::string> names;
    for (const LzhMember& m : members)
        names.insert(m.name);
    std::map<size_t, std::string> renamed;
    int result = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const LzhMember& m = members[i];
        if (m_cmd.names().empty() || !selected(m))
            continue;
        std::string newName;
        if (given) {
            newName = *given;
        } else {
            archiver::Asked asked;
            const std::optional<std::string> answer = archiver::askText(
                m_owner, "名前の変更", "新しい名前を入力してください : " + m.name, m.name, asked);
            if (!asked.shown) {
                m_report.skipped(m.name, "新しい名前を尋ねられません (-gr で指定してください)");
                result = result ? result : ARCHIVER_ERROR_USER_SKIP;
                continue;
            }
            if (!answer || answer->empty())
                continue;
            newName = *answer;
        }
        std::string reason;
        std::optional<std::string> clean = archiver::cleanMemberPath(newName, false, reason);
        if (!clean) {
            m_report.skipped(m.name, reason + " : " + newName);
            result = result ? result : ARCHIVER_ERROR_UNSAFE_PATH;
            continue;
        }
        if (*clean == m.name)
            continue;
        if (names.count(*clean)) {
            m_report.skipped(m.name, "同じ名前のファイルが書庫にあります : " + *clean);
            result = result ? result : ARCHIVER_ERROR_SAME_NAME_FILE;
            continue;
        }
        names.erase(m.name);
        names.insert(*clean);
        renamed[i] = *clean;
    }
    if (renamed.empty()) {
        m_report.line("名前を変更したファイルはありません");
        return result;
    }
    LzhArchiveWriter writer(archive);
    std::string reason;
    if (!writer.open(reason)) {
        m_report.error(reason + " : " + archive);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    for (size_t i = 0; i < members.size(); ++i) {
        auto it = renamed.find(i);
        const bool ok = it == renamed.end()
                            ? writer.copyMember(file, members[i], reason)
                            : writer.copyRenamed(file, members[i], it->second, reason);
        if (!ok) {
            m_report.error(reason + " : " + archive);
            m_report.error("書庫は変更されていません");
            return ARCHIVER_ERROR_CANNOT_WRITE;
        }
    }
    if (!writer.commit(reason)) {
        m_report.error(reason + " : " + archive);
        m_report.error("書庫は変更されていません");
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    for (const auto& [i, n] : renamed)
        m_report.line("Renamed  " + members[i].name + " -> " + n);
    return result;
}

int UnlhaCommand::selfExtracting()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Making self-extracting archive from : " + archive);
    ArchiveFile file;
    if (!file.open(archive)) {
        m_report.error("書庫ファイルが見つかりません : " + archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::vector<LzhMember> members;
    if (const int r = readMembers(file, members); r != 0)
        return r;
    const std::string stub = archiver::programFolder() + "/koramo-sfx";
    ArchiveFile stubFile;
    if (!stubFile.open(stub)) {
        m_report.error("自己解凍書庫のスタブプログラムがありません : " + stub);
        return ARCHIVER_ERROR_NOT_SUPPORT;
    }
    std::string folder = m_cmd.baseFolder();
    if (folder.empty())
        folder = folderOf(archive);
    std::string name = lastPart(archive);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    const std::string target = archiver::joinPath(folder, name + ".run");
    archiver::AtomicFile out(target);
    std::string reason;
    if (!out.open(reason)) {
        m_report.error(reason + " : " + target);
        return ARCHIVER_ERROR_TMP_OPEN;
    }
    std::vector<uint8_t> buffer(1 << 20);
    for (ArchiveFile* part : {&stubFile, &file}) {
        uint64_t offset = 0;
        while (offset < part->size()) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(buffer.size(), part->size() - offset));
            if (!part->readAt(offset, buffer.data(), n) || !out.writeAll(buffer.data(), n)) {
                m_report.error("自己解凍書庫を書き込めません : " + target);
                return ARCHIVER_ERROR_CANNOT_WRITE;
            }
            offset += n;
        }
    }
    fchmod(out.fd(), 0755 & ~currentUmask());
    if (!out.commit(reason)) {
        m_report.error(reason + " : " + target);
        return ARCHIVER_ERROR_CANNOT_WRITE;
    }
    m_report.line("Self-extracting archive : " + target);
    return 0;
}

int UnlhaCommand::list()
{
    const std::string& archive = m_cmd.archive();
    m_report.line("Listing of archive : " + archive);
    ArchiveFile file;
    if (!file.open(archive)) {
        m_report.error("書庫ファイルが見つかりません : " + archive);
        return ARCHIVER_ERROR_NOT_FIND_ARC_FILE;
    }
    std::vector<LzhMember> members;
    const int r = readMembers(file, members);
    m_report.line("   Original   Packed  Ratio  Date       Time     Method  Name");
    int count = 0;
    uint64_t original = 0, packed = 0;
    for (const LzhMember& m : members) {
        if (!selected(m))
            continue;
        char line[128];
        std::snprintf(line, sizeof line, "%11llu %8llu %5s  %s  %s  ",
                      static_cast<unsigned long long>(m.originalSize),
                      static_cast<unsigned long long>(m.compressedSize),
                      percent(m.compressedSize, m.originalSize).c_str(),
                      formatTime(m.mtime).c_str(), m.method.c_str());
        m_report.line(line + m.name + (m.isLink() ? " -> " + m.linkTarget : std::string()));
        ++count;
        original += m.originalSize;
        packed += m.compressedSize;
    }
    m_report.line(std::to_string(count) + " 個のファイル  " + std::to_string(original) + " → " +
                  std::to_string(packed) + " バイト");
    return r;
}

} // namespace lzh
