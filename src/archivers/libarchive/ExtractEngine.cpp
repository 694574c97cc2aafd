#include "ExtractEngine.h"

#include "DestinationTree.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace archiver
{

namespace
{

std::string joinParts(const std::vector<std::string>& parts, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count && i < parts.size(); ++i) {
        if (!out.empty())
            out += '/';
        out += parts[i];
    }
    return out;
}

// A relative name made only of "." and empty parts.
bool namesNothing(const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return false;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        if (slash == std::string::npos)
            slash = name.size();
        const std::string part = name.substr(pos, slash - pos);
        if (!part.empty() && part != ".")
            return false;
        pos = slash + 1;
    }
    return true;
}

std::string temporaryName()
{
    static std::atomic<unsigned> counter{0};
    return ".koramo-part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int m_fd;
};

} // namespace

ExtractEngine::ExtractEngine(Settings settings) : m_settings(std::move(settings)) {}

ExtractEngine::~ExtractEngine() = default;

void ExtractEngine::report(Outcome outcome, const std::string& name, const std::string& text)
{
    if (!m_settings.report)
        return;
    if (ParallelCopies::Entry* e = m_copies && !m_finishing ? m_copies->newest() : nullptr) {
        e->calls.push_back([this, outcome, name, text] { m_settings.report(outcome, name, text); });
        return;
    }
    m_settings.report(outcome, name, text);
}

void ExtractEngine::folderMade(const std::string& folder)
{
    if (!m_settings.folderMade)
        return;
    if (ParallelCopies::Entry* e = m_copies && !m_finishing ? m_copies->newest() : nullptr) {
        e->calls.push_back([this, folder] { m_settings.folderMade(folder); });
        return;
    }
    m_settings.folderMade(folder);
}

std::string ExtractEngine::fullPath(const std::string& relative) const
{
    std::string out = m_destination;
    if (!out.empty() && out.back() != '/')
        out += '/';
    return out + relative;
}

ExtractEngine::Result ExtractEngine::run(EntryReader& reader)
{
    Result result;
    DestinationTree tree;
    std::string error;
    if (!tree.open(m_settings.destination, error)) {
        report(Outcome::Failed, m_settings.destination,
               "解凍先のフォルダを開けません (" + error + ")");
        ++result.failed;
        return result;
    }
    m_destination = tree.path();
    if (m_settings.openReader && m_settings.threads > 1)
        m_copies = std::make_unique<ParallelCopies>(m_settings.openReader, m_settings.threads);

    ArchiveEntry entry;
    std::vector<std::string> parts;
    for (size_t position = 0;; ++position) {
        // Side by side, each member is an entry of its own, finished in its turn.
        if (m_copies) {
            if (!settle(false, result))
                break;
            m_copies->open();
        }
        const EntryReader::Step step = reader.next(entry);
        m_position = position;
        m_rawName = entry.name;
        if (step == EntryReader::Step::End)
            break;
        if (step == EntryReader::Step::Error) {
            result.damaged = true;
            result.damage = reader.error();
            break;
        }
        if (m_settings.encryptedAt && m_settings.encryptedAt(position))
            entry.encrypted = true;
        if (m_settings.decodeName)
            entry.name = m_settings.decodeName(entry.name);
        const std::string shown =
            m_settings.displayName ? m_settings.displayName(entry.name) : entry.name;
        if (!admit(reader, entry, shown, parts, result))
            continue;
        if (entry.kind == ArchiveEntry::Kind::Folder) {
            reader.skipData();
            if (m_settings.keepFolders)
                makeFolder(tree, parts, shown, result);
            continue;
        }
        if (!extractFile(reader, tree, entry, parts, shown, result))
            break;
    }
    if (m_copies) {
        settle(true, result);
        m_copies.reset();
    }
    return result;
}

bool ExtractEngine::admit(EntryReader& reader, const ArchiveEntry& entry, const std::string& shown,
                          std::vector<std::string>& parts, Result& result)
{
    if (m_settings.selected && !m_settings.selected(shown)) {
        reader.skipData();
        return false;
    }
    if (entry.kind == ArchiveEntry::Kind::Link || entry.kind == ArchiveEntry::Kind::Other) {
        report(Outcome::Skipped, shown, "リンクや特殊ファイルは展開しません");
        result.unsafe = true;
        ++result.skipped;
        reader.skipData();
        return false;
    }
    if (entry.encrypted && entry.kind == ArchiveEntry::Kind::File) {
        report(Outcome::Skipped, shown, "暗号化されたファイルには対応していません");
        result.unsupported = true;
        ++result.skipped;
        reader.skipData();
        return false;
    }
    if (!entry.unsupported.empty() && entry.kind == ArchiveEntry::Kind::File) {
        report(Outcome::Skipped, shown, entry.unsupported);
        result.unsupported = true;
        ++result.skipped;
        reader.skipData();
        return false;
    }
    if (DestinationTree::splitSafe(entry.name, parts))
        return true;
    reader.skipData();
    if (namesNothing(entry.name)) {
        // "./" and the like: the destination itself.
        if (entry.kind != ArchiveEntry::Kind::Folder) {
            report(Outcome::Skipped, shown, "名前のないファイルは展開しません");
            ++result.skipped;
        }
        return false;
    }
    report(Outcome::Skipped, shown, "解凍先の外を指すパスのため展開しません");
    result.unsafe = true;
    ++result.skipped;
    return false;
}

int ExtractEngine::openFolder(DestinationTree& tree, const std::vector<std::string>& parts,
                              const std::string& shown, Result& result)
{
    std::string error;
    std::vector<std::string> created;
    const int fd = tree.openFolder(parts, &created, error);
    for (const std::string& c : created)
        folderMade(fullPath(c));
    if (fd < 0) {
        report(Outcome::Failed, shown,
               "フォルダを作成できません: " + fullPath(joinParts(parts, parts.size())) + " (" +
                   error + ")");
        ++result.failed;
    }
    return fd;
}

void ExtractEngine::makeFolder(DestinationTree& tree, const std::vector<std::string>& parts,
                               const std::string& shown, Result& result)
{
    const int fd = openFolder(tree, parts, shown, result);
    if (fd >= 0)
        ::close(fd);
}

ExtractEngine::Existing ExtractEngine::checkExisting(int folderFd, const std::string& fileName,
                                                     const ArchiveEntry& entry,
                                                     const std::string& shown,
                                                     const std::string& target, Result& result)
{
    struct stat st {
    };
    if (::fstatat(folderFd, fileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Existing::New;
    if (S_ISDIR(st.st_mode)) {
        report(Outcome::Failed, shown, "同じ名前のフォルダがあるため書き込めません: " + target);
        ++result.failed;
        return Existing::Skip;
    }
    if (m_settings.onlyNewer && entry.mtimeKnown && st.st_mtime >= entry.mtime) {
        report(Outcome::Skipped, shown, "既存のファイルの方が新しいか同じ日時です");
        ++result.skipped;
        return Existing::Skip;
    }
    if (m_settings.overwriteWithoutAsking || m_yesToAll)
        return Existing::Write;
    const Answer answer = m_settings.askOverwrite ? m_settings.askOverwrite(target) : Answer::No;
    if (answer == Answer::Cancel) {
        result.cancelled = true;
        return Existing::Cancel;
    }
    if (answer == Answer::No || answer == Answer::NoUnasked) {
        report(Outcome::Skipped, shown,
               answer == Answer::No
                   ? "既存のファイルを上書きしませんでした"
                   : "既存のファイルがあり、確認の画面を出せないため上書きしませんでした");
        ++result.skipped;
        return Existing::Skip;
    }
    if (answer == Answer::YesToAll)
        m_yesToAll = true;
    return Existing::Write;
}

bool ExtractEngine::extractFile(EntryReader& reader, DestinationTree& tree,
                                const ArchiveEntry& entry, const std::vector<std::string>& parts,
                                const std::string& shown, Result& result)
{
    const std::string fileName = parts.back();
    std::vector<std::string> folderParts;
    if (m_settings.keepFolders)
        folderParts.assign(parts.begin(), parts.end() - 1);
    const std::string target =
        fullPath(m_settings.keepFolders ? joinParts(parts, parts.size()) : fileName);
    // A member side by side waits for the earlier ones that write where it goes.
    if (m_copies && m_copies->pending(target) && !settle(true, result, 1))
        return false;
    const int folderFd = openFolder(tree, folderParts, shown, result);
    if (folderFd < 0) {
        reader.skipData();
        return true;
    }
    FdCloser closeFolder(folderFd);

    const Existing existing = checkExisting(folderFd, fileName, entry, shown, target, result);
    switch (existing) {
    case Existing::Cancel:
        return false;
    case Existing::Skip:
        reader.skipData();
        return true;
    case Existing::New:
    case Existing::Write:
        break;
    }

    if (m_copies) {
        reader.skipData();
        return startCopy(folderFd, fileName, entry, shown, target, result);
    }
    std::string error;
    const Write written =
        writeMember(reader, folderFd, fileName, entry, shown, existing == Existing::Write, error);
    if (written == Write::Cancelled) {
        result.cancelled = true;
        return false;
    }
    reportWritten(written, shown, target, error, result);
    if (written == Write::CrcError && reader.fatal()) {
        // After a damaged data block the reader cannot be trusted to find the next header.
        result.damaged = true;
        result.damage = error;
        return false;
    }
    return true;
}

ExtractEngine::Write ExtractEngine::writeMember(EntryReader& reader, int folderFd,
                                                const std::string& fileName,
                                                const ArchiveEntry& entry, const std::string& shown,
                                                bool replacing, std::string& error)
{
    // A file that replaces another is written to a temporary file beside it and renamed over it
    // only once it is complete and its CRC has been checked, so the old file survives a failed
    // extraction. A new file is written under its own name, made exclusively, and removed again
    // when anything goes wrong: a damaged member never leaves a file that looks complete.
    std::string temp;
    int fd = -1;
    if (!replacing) {
        fd = ::openat(folderFd, fileName.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            temp = fileName;
        else if (errno != EEXIST) {
            error = std::strerror(errno);
            return Write::Failed;
        }
    }
    // Something appeared under the name since it was looked at: it is replaced as any other.
    if (fd < 0 && (fd = openTemporary(folderFd, temp, error)) < 0)
        return Write::Failed;
    uint64_t lastReported = 0;
    const uint64_t total = entry.sizeKnown ? entry.size : 0;
    if (m_settings.progress && !m_settings.progress(shown, 0, total)) {
        ::close(fd);
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Write::Cancelled;
    }
    const bool ok = reader.copyData(fd, [&](uint64_t done) {
        if (!m_settings.progress || done - lastReported < (1u << 20))
            return true;
        lastReported = done;
        return m_settings.progress(shown, done, total);
    });
    auto discard = [&] {
        ::close(fd);
        ::unlinkat(folderFd, temp.c_str(), 0);
    };
    if (!ok) {
        error = reader.error();
        discard();
        if (error == "cancelled")
            return Write::Cancelled;
        return reader.readFailed() ? Write::CrcError : Write::Failed;
    }
    return finishFile(fd, folderFd, temp, fileName, entry, error);
}

int ExtractEngine::openTemporary(int folderFd, std::string& temp, std::string& error)
{
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = temporaryName();
        fd = ::openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        error = std::strerror(errno);
    return fd;
}

ExtractEngine::Write ExtractEngine::finishFile(int fd, int folderFd, const std::string& temp,
                                               const std::string& fileName,
                                               const ArchiveEntry& entry, std::string& error)
{
    struct stat st {
    };
    if (::fstat(fd, &st) == 0 && entry.sizeKnown &&
        static_cast<uint64_t>(st.st_size) != entry.size) {
        error = "length mismatch";
        ::close(fd);
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Write::CrcError;
    }
    // Formats without Unix permissions come with 0666; the user's umask applies as it does
    // to every file a program creates.
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    unsigned mode = (entry.mode & 0777) & ~static_cast<unsigned>(mask);
    if ((mode & 0600) != 0600)
        mode |= 0600;
    ::fchmod(fd, mode);
    if (m_settings.restoreTimes && entry.mtimeKnown) {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(entry.mtime);
        times[1].tv_nsec = 0;
        ::futimens(fd, times);
    }
    if (::close(fd) != 0) {
        error = std::strerror(errno);
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Write::Failed;
    }
    if (temp != fileName && ::renameat(folderFd, temp.c_str(), folderFd, fileName.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlinkat(folderFd, temp.c_str(), 0);
        return Write::Failed;
    }
    return Write::Done;
}

bool ExtractEngine::startCopy(int folderFd, const std::string& fileName, const ArchiveEntry& entry,
                              const std::string& shown, const std::string& target, Result& result)
{
    // Side by side every file is written under a temporary name and takes its own only in its
    // turn, complete and checked.
    const uint64_t total = entry.sizeKnown ? entry.size : 0;
    if (m_settings.progress && !m_settings.progress(shown, 0, total)) {
        result.cancelled = true;
        return false;
    }
    ParallelCopies::Entry& e = *m_copies->newest();
    std::string error;
    e.fd = openTemporary(folderFd, e.temp, error);
    if (e.fd >= 0)
        e.folderFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (e.fd < 0 || e.folderFd < 0) {
        if (e.fd >= 0) {
            error = std::strerror(errno);
            ::close(e.fd);
            ::unlinkat(folderFd, e.temp.c_str(), 0);
            e.fd = -1;
        }
        reportWritten(Write::Failed, shown, target, error, result);
        return true;
    }
    e.fileName = fileName;
    e.target = target;
    e.shown = shown;
    e.entry = entry;
    m_copies->start(e, m_position, m_rawName);
    return true;
}

void ExtractEngine::finishCopy(ParallelCopies::Entry& e, const ParallelCopies::Outcome& o,
                               Result& result)
{
    // The entry's turn: what was reported while it was prepared comes first, then its file.
    m_finishing = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_finishing};
    std::vector<std::function<void()>> calls = std::move(e.calls);
    for (const auto& call : calls)
        call();
    if (!e.copy)
        return;
    const auto discard = [&] {
        ::close(e.fd);
        ::unlinkat(e.folderFd, e.temp.c_str(), 0);
    };
    std::string error = o.error;
    Write written;
    // After a cancel nothing takes its name beyond the first member that was given up, so the
    // files left are the members before the cancel, each complete.
    if (!o.ran || o.stopped)
        m_givenUp = true;
    if (m_givenUp) {
        discard();
        written = Write::Cancelled;
    } else if (!o.ok) {
        discard();
        written = o.readFailed ? Write::CrcError : Write::Failed;
    } else {
        written = finishFile(e.fd, e.folderFd, e.temp, e.fileName, e.entry, error);
    }
    ::close(e.folderFd);
    reportWritten(written, e.shown, e.target, error, result);
}

bool ExtractEngine::settle(bool all, Result& result, size_t keep)
{
    const bool go = m_copies->settle(
        [&](ParallelCopies::Entry& e, const ParallelCopies::Outcome& o) {
            finishCopy(e, o, result);
        },
        all,
        [this](const ParallelCopies::Entry& head) {
            return !m_settings.progress || m_settings.progress(head.shown, 0, head.entry.size);
        },
        keep);
    if (!go)
        result.cancelled = true;
    return go && !result.cancelled;
}

void ExtractEngine::reportWritten(Write written, const std::string& shown,
                                  const std::string& target, const std::string& error,
                                  Result& result)
{
    switch (written) {
    case Write::Done:
        report(Outcome::Extracted, shown, target);
        ++result.extracted;
        break;
    case Write::Cancelled:
        result.cancelled = true;
        break;
    case Write::CrcError:
        report(Outcome::Failed, shown,
               "データが壊れています (CRC エラー): " + target + " (" + error + ")");
        result.crcError = true;
        ++result.failed;
        break;
    case Write::Failed:
        report(Outcome::Failed, shown, "ファイルを書き込めません: " + target + " (" + error + ")");
        ++result.failed;
        break;
    }
}

} // namespace archiver
