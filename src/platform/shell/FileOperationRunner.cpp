#include "platform/shell/FileOperationRunner.h"

#include "platform/shell/FileCopy.h"
#include "platform/shell/FolderWalk.h"
#include "platform/shell/OperationChecks.h"
#include "platform/shell/PartFiles.h"
#include "platform/shell/RunnerPaths.h"
#include "platform/shell/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QLocale>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace platform
{

using namespace runnerpaths;

namespace
{

using folderwalk::join;

// Files smaller than this are copied on the workers: larger ones are copied on this thread,
// piece by piece with progress and the disk started early, where the wait for the disk rather
// than the work of the processor decides.
constexpr qint64 kOnWorkersBelow = qint64(1) << 20;
// Copies under way ahead of the walk at most: about a batch, so that the workers go on while
// this thread waits for the disk and gives a batch its names.
constexpr size_t kAhead = 4096;
// Folders held open at most by the copies under way and the files waiting for their names (a
// tree of many small folders puts its files on the disk every so many folders), and how deep a
// copy goes with its folders open.
constexpr int kOpenFolders = 400;
constexpr int kOpenDepth = 32;

// Sets the members it is given for the items of one folder and puts them back as they were.
template <typename... Members> class Within
{
public:
    explicit Within(Members&... members) : m_members(members...), m_saved(members...) {}
    ~Within() { m_members = m_saved; }
    Within(const Within&) = delete;
    Within& operator=(const Within&) = delete;

private:
    std::tuple<Members&...> m_members;
    std::tuple<Members...> m_saved;
};

// A free name in `folder` for `name`: "stem<mark>.ext", then "stem<mark> (2).ext", ...
QByteArray freeName(const QByteArray& folder, const QByteArray& name, bool isFolder,
                    const QByteArray& mark, bool tryPlain)
{
    QByteArray stem = name;
    QByteArray suffix;
    const qsizetype dot = name.lastIndexOf('.');
    if (!isFolder && dot > 0) {
        stem = name.left(dot);
        suffix = name.mid(dot);
    }
    if (tryPlain && !exists(join(folder, name)))
        return join(folder, name);
    for (int n = 1;; ++n) {
        QByteArray candidate = stem + mark;
        if (n > 1 || mark.isEmpty())
            candidate += " (" + QByteArray::number(n == 1 ? 2 : n) + ")";
        candidate += suffix;
        if (!exists(join(folder, candidate)))
            return join(folder, candidate);
    }
}

bool sameItem(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `folder` is `parent` itself or lies inside it (both real paths).
bool isInside(const QByteArray& folder, const QByteArray& parent)
{
    char* realFolder = ::realpath(folder.constData(), nullptr);
    char* realParent = ::realpath(parent.constData(), nullptr);
    bool inside = false;
    if (realFolder && realParent) {
        const QByteArray f(realFolder);
        QByteArray p(realParent);
        if (!p.endsWith('/'))
            p += '/';
        inside = f == realParent || f.startsWith(p);
    }
    std::free(realFolder);
    std::free(realParent);
    return inside;
}

QString describe(const struct stat& info)
{
    const QLocale locale(QLocale::Japanese, QLocale::Japan);
    const QDateTime modified = QDateTime::fromSecsSinceEpoch(info.st_mtim.tv_sec);
    return QStringLiteral("%1 バイト、更新日時 %2")
        .arg(locale.toString(qlonglong(info.st_size)),
             modified.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

} // namespace

FileOperationRunner::FileOperationRunner(ShellUi& ui, const Shell::FileOperation& operation)
    : m_ui(ui), m_operation(operation)
{
    m_yesToAll = (operation.flags & Shell::NoConfirmation) != 0;
    m_showProgress = (operation.flags & Shell::Silent) == 0;
}

QString FileOperationRunner::verb() const
{
    switch (m_operation.operation) {
    case Shell::Move:
        return QStringLiteral("移動");
    case Shell::Copy:
        return QStringLiteral("コピー");
    case Shell::Rename:
        return QStringLiteral("名前の変更");
    case Shell::Delete:
        break;
    }
    return (m_operation.flags & Shell::AllowUndo) ? QStringLiteral("ごみ箱への移動")
                                                  : QStringLiteral("削除");
}

int FileOperationRunner::run()
{
    const QStringList sources = splitPathList(m_operation.from);
    if (sources.isEmpty()) {
        m_ui.showError(m_operation.owner,
                       QStringLiteral("%1する項目が指定されていません。").arg(verb()));
        return Shell::kFailed;
    }
    // Every source must be there before anything is touched.
    for (const QString& source : sources) {
        struct stat st;
        const QByteArray path = absolute(source);
        if (::lstat(path.constData(), &st) != 0) {
            fail(verb(), path, filecopy::errorText(errno));
            return Shell::kFailed;
        }
    }
    // The root, mount points and home are never deleted or moved away; checked before any
    // question, so that no answer can let it happen.
    if (m_operation.operation == Shell::Delete || m_operation.operation == Shell::Move) {
        QList<QByteArray> paths;
        for (const QString& source : sources)
            paths.append(absolute(source));
        const QString refusal = opcheck::refusal(paths, m_operation.operation == Shell::Move);
        if (!refusal.isEmpty()) {
            m_ui.showError(m_operation.owner, refusal);
            return Shell::kFailed;
        }
    }
    switch (m_operation.operation) {
    case Shell::Copy:
        return runCopyOrMove(false);
    case Shell::Move:
        return runCopyOrMove(true);
    case Shell::Delete:
        return runDelete();
    case Shell::Rename:
        return runRename();
    }
    return Shell::kFailed;
}

int FileOperationRunner::shellResult(Step step)
{
    switch (step) {
    case Step::Cancelled:
        return Shell::kCancelled;
    case Step::Failed:
        return Shell::kFailed;
    case Step::Done:
    case Step::Skipped:
        break;
    }
    return 0;
}

int FileOperationRunner::endProgress(int result)
{
    if (m_showProgress)
        m_ui.progressEnd();
    return result;
}

bool FileOperationRunner::statSources(QList<QByteArray>& paths, QList<struct stat>& infos,
                                      qint64& total, const Weigh& weigh)
{
    for (const QString& source : splitPathList(m_operation.from)) {
        struct stat st;
        paths.append(absolute(source));
        if (::lstat(paths.last().constData(), &st) != 0) {
            fail(verb(), paths.last(), filecopy::errorText(errno));
            return false;
        }
        infos.append(st);
        total += weigh(paths.last(), st);
    }
    return true;
}

FileOperationRunner::Step FileOperationRunner::fail(const QString& what, const QByteArray& path,
                                                    const QString& reason)
{
    QString verbText = what;
    if (verbText == QStringLiteral("名前の変更"))
        verbText = QStringLiteral("名前を変更");
    else if (verbText == QStringLiteral("ごみ箱への移動"))
        verbText = QStringLiteral("ごみ箱に移動");
    m_ui.showError(m_operation.owner,
                   QStringLiteral("%1できません: %2\n%3").arg(verbText, shown(path), reason));
    return Step::Failed;
}

bool FileOperationRunner::advance(qint64 units, const QByteArray& current)
{
    m_done += units;
    if (!m_showProgress)
        return true;
    return m_ui.progressStep(m_done, shown(current));
}

FileOperationRunner::Collision FileOperationRunner::askCollision(const QByteArray& source,
                                                                 const struct stat& info,
                                                                 const QByteArray& target,
                                                                 const struct stat& existing)
{
    if (m_yesToAll)
        return Collision::Replace;
    QString question;
    if (S_ISDIR(info.st_mode)) {
        question = QStringLiteral("フォルダ %1 には既に「%2」という名前のフォルダがあります。\n\n"
                                  "フォルダの中身を統合しますか？\n"
                                  "（同じ名前のファイルがあれば、そのつど確認します。）")
                       .arg(shown(folderOf(target)), shown(nameOf(target)));
    } else {
        question = QStringLiteral("フォルダ %1 には既に「%2」という名前のファイルがあります。\n\n"
                                  "現在のファイル: %3\n新しいファイル: %4（%5）\n\n"
                                  "現在のファイルを置き換えますか？")
                       .arg(shown(folderOf(target)), shown(nameOf(target)), describe(existing),
                            describe(info), shown(source));
    }
    switch (m_ui.askOverwrite(m_operation.owner, question)) {
    case ShellUi::Overwrite::YesToAll:
        m_yesToAll = true;
        return Collision::Replace;
    case ShellUi::Overwrite::Yes:
        return Collision::Replace;
    case ShellUi::Overwrite::No:
        return Collision::Skip;
    case ShellUi::Overwrite::Cancel:
        break;
    }
    return Collision::Cancel;
}

int FileOperationRunner::runCopyOrMove(bool move)
{
    const QByteArray destination = absolute(m_operation.to);
    if (m_operation.to.isEmpty()) {
        m_ui.showError(m_operation.owner, QStringLiteral("%1先が指定されていません。").arg(verb()));
        return Shell::kFailed;
    }
    struct stat destInfo;
    if (::stat(destination.constData(), &destInfo) != 0) {
        if (!(m_operation.flags & (Shell::NoConfirmMkdir | Shell::NoConfirmation))) {
            const QString question = QStringLiteral("フォルダ %1 はありません。\n作成しますか？")
                                         .arg(shown(destination));
            if (!m_ui.ask(m_operation.owner, ShellUi::Question::CreateFolder, question))
                return Shell::kCancelled;
        }
        if (!makeFolders(destination) || ::stat(destination.constData(), &destInfo) != 0) {
            m_ui.showError(m_operation.owner,
                           QStringLiteral("フォルダを作成できません: %1\n%2")
                               .arg(shown(destination), filecopy::errorText(errno)));
            return Shell::kFailed;
        }
    } else if (!S_ISDIR(destInfo.st_mode)) {
        fail(verb(), destination, QStringLiteral("%1先がフォルダではありません。").arg(verb()));
        return Shell::kFailed;
    } else {
        partfiles::removeLeftovers(destination);
    }
    if (!move) {
        m_targetFolder =
            std::make_shared<folderwalk::FileDescriptor>(folderwalk::openFolder(destination));
        if (m_targetFolder->get() < 0)
            m_targetFolder.reset();
        m_targetDevice = destInfo.st_dev;
    }

    QList<QByteArray> paths;
    QList<struct stat> infos;
    qint64 total = 0;
    if (!statSources(paths, infos, total, [](const QByteArray&, const struct stat&) { return 0; }))
        return Shell::kFailed;

    // The window is up before counting starts; a move within one file system is one rename
    // and counts as one item, with no walk.
    if (m_showProgress)
        m_ui.progressStart(m_operation.owner,
                           move ? QStringLiteral("移動しています...")
                                : QStringLiteral("コピーしています..."),
                           0, !(m_operation.flags & Shell::SimpleProgress));
    const dev_t device = destInfo.st_dev;
    const bool counted =
        countUnits(paths, infos, total, [&](qsizetype i, const std::atomic<bool>& stop) -> qint64 {
            if (move && infos[i].st_dev == device)
                return 1;
            return unitsOf(paths[i], infos[i], true, &stop);
        });
    if (!counted)
        return endProgress(Shell::kCancelled);
    int result = 0;
    for (qsizetype i = 0; i < paths.size() && result == 0; ++i) {
        const QByteArray& source = paths[i];
        const struct stat& info = infos[i];
        if (S_ISDIR(info.st_mode) && isInside(destination, source)) {
            m_ui.showError(
                m_operation.owner,
                QStringLiteral(
                    "%1できません: %2\n%1先のフォルダ %3 は%1元のフォルダの中にあります。")
                    .arg(verb(), shown(source), shown(destination)));
            result = Shell::kFailed;
            break;
        }
        QByteArray target = join(destination, nameOf(source));
        struct stat existing;
        const bool there = ::lstat(target.constData(), &existing) == 0;
        if (there && sameItem(existing, info)) {
            // Onto itself: a copy gets a name of its own, a move has nothing to do.
            if (move) {
                advance(unitsOf(source, info), source);
                continue;
            }
            target = freeName(destination, nameOf(source), S_ISDIR(info.st_mode),
                              QByteArrayLiteral(" - コピー"), false);
        } else if (there && (m_operation.flags & Shell::RenameOnCollision)) {
            target =
                freeName(destination, nameOf(source), S_ISDIR(info.st_mode), QByteArray(), false);
        }
        Step step = move ? moveItem(source, info, target) : copyItem(source, info, target);
        if (step == Step::Done || step == Step::Skipped) {
            const Step taken = takeBackPending(0);
            if (taken != Step::Done)
                step = taken;
        } else {
            dropPending();
        }
        // What was complete takes its name also when the user cancelled or something failed,
        // as each item did before; and before the next item, which may bring the same name.
        const Step settled = settle();
        result = shellResult(step == Step::Done || step == Step::Skipped ? settled : step);
    }
    return endProgress(result);
}

FileOperationRunner::Step FileOperationRunner::copyItem(const QByteArray& source,
                                                        const struct stat& info,
                                                        const QByteArray& target)
{
    struct stat existing;
    const bool there = !m_targetFresh && ::lstat(target.constData(), &existing) == 0;
    if (!S_ISDIR(info.st_mode)) {
        if (!there)
            return copyFileOrLink(source, info, target, false);
        if (S_ISDIR(existing.st_mode))
            return failInOrder(
                verb(), source,
                QStringLiteral("%1 には同じ名前のフォルダがあります。").arg(shown(target)));
        if (sameItem(existing, info))
            return advance(unitsOf(source, info), source) ? Step::Skipped : Step::Cancelled;
        // Every question comes after the copies before it are taken back.
        if (const Step taken = takeBackPending(0); taken != Step::Done)
            return taken;
        switch (askCollision(source, info, target, existing)) {
        case Collision::Replace:
            return copyFileOrLink(source, info, target, true);
        case Collision::Skip:
            return advance(unitsOf(source, info), source) ? Step::Skipped : Step::Cancelled;
        case Collision::Cancel:
            return Step::Cancelled;
        }
    }

    if (there) {
        if (!S_ISDIR(existing.st_mode))
            return failInOrder(
                verb(), source,
                QStringLiteral("%1 には同じ名前のファイルがあります。").arg(shown(target)));
        if (const Step taken = takeBackPending(0); taken != Step::Done)
            return taken;
        switch (askCollision(source, info, target, existing)) {
        case Collision::Replace:
            break;
        case Collision::Skip:
            return advance(unitsOf(source, info), source) ? Step::Skipped : Step::Cancelled;
        case Collision::Cancel:
            return Step::Cancelled;
        }
        partfiles::removeLeftovers(target);
        return copyFolder(source, info, target, false);
    }
    if (::mkdir(target.constData(), 0700) != 0)
        return failInOrder(verb(), target, filecopy::errorText(errno));
    // Made while copies before it are under way: if one of them fails, the folder goes again,
    // as it would not have been made.
    if (!m_pending.empty()) {
        Pending made;
        made.madeFolder = target;
        m_pending.push_back(std::move(made));
    }
    return copyFolder(source, info, target, true);
}

FileOperationRunner::Step FileOperationRunner::copyFolder(const QByteArray& source,
                                                          const struct stat& info,
                                                          const QByteArray& target, bool created)
{
    // Each target folder whose files wait for the batch holds it open: a tree of many folders
    // puts its files on the disk every so many folders.
    if (m_openFolders->load() >= kOpenFolders) {
        if (const Step taken = takeBackPending(0); taken != Step::Done)
            return taken;
        if (const Step settled = settle(); settled != Step::Done)
            return settled;
    }
    const Within within(m_sourceFolder, m_targetFolder, m_targetDevice, m_targetFresh, m_depth);
    ++m_depth;
    // The folder is opened with O_NOFOLLOW: a folder swapped for a link is not entered.
    const int sourceFd = folderwalk::openFolder(source);
    if (sourceFd < 0)
        return failInOrder(verb(), source, filecopy::errorText(errno));
    Folder sourceFolder = holdFolder(sourceFd);
    QList<folderwalk::Entry> entries;
    int error = 0;
    if (!folderwalk::readFolder(sourceFolder->get(), entries, error))
        return failInOrder(verb(), source, filecopy::errorText(error));
    m_targetFresh = created;
    m_sourceFolder.reset();
    m_targetFolder.reset();
    if (m_depth <= kOpenDepth) {
        // Small files inside are copied through the two folders' descriptors.
        Folder targetFolder = holdFolder(folderwalk::openFolder(target));
        struct stat targetInfo {
        };
        if (targetFolder->get() >= 0 && ::fstat(targetFolder->get(), &targetInfo) == 0) {
            m_sourceFolder = std::move(sourceFolder);
            m_targetFolder = std::move(targetFolder);
            m_targetDevice = targetInfo.st_dev;
        }
    }
    sourceFolder.reset();
    for (const folderwalk::Entry& entry : entries) {
        const QByteArray child = join(source, entry.name);
        if (entry.error != 0)
            return failInOrder(verb(), child, filecopy::errorText(entry.error));
        const Step step = copyItem(child, entry.info, join(target, entry.name));
        if (step == Step::Cancelled || step == Step::Failed)
            return step;
    }
    // After the files inside have taken their names, which changes the folder's times.
    if (created) {
        filecopy::DurableBatch::Step attributes = [this, info, target] {
            QString reason;
            if (filecopy::copyFolderAttributes(info, target, reason))
                return true;
            fail(verb(), target, reason);
            return false;
        };
        if (m_pending.empty())
            m_batch.addStep(std::move(attributes));
        else {
            Pending step;
            step.step = std::move(attributes);
            m_pending.push_back(std::move(step));
        }
    }
    return advance(1, source) ? Step::Done : Step::Cancelled;
}

FileOperationRunner::Step FileOperationRunner::copyFileOrLink(const QByteArray& source,
                                                              const struct stat& info,
                                                              const QByteArray& target,
                                                              bool replace, bool moving)
{
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
        return failInOrder(
            verb(), source,
            QStringLiteral("特殊なファイル（デバイス、FIFO、ソケット）は%1できません。")
                .arg(verb()));
    if (!moving && S_ISREG(info.st_mode) && info.st_size < kOnWorkersBelow && m_targetFolder)
        return copyOnWorker(source, info, target, replace);
    if (const Step taken = takeBackPending(0); taken != Step::Done)
        return taken;
    // A file is written beside its final name, hidden, and takes that name only once it is
    // complete and on the disk: a copy cut short (cancelled, killed, the power gone) never
    // leaves a file that looks whole. A link is made in one step and needs no such care.
    QString reason;
    if (S_ISLNK(info.st_mode) && !replace) {
        if (filecopy::copySymlink(source, info, target, reason) != filecopy::Result::Ok)
            return fail(verb(), source, reason);
        if (moving)
            m_batch.addStep([] { return true; }, [this, source] { return removeMoved(source); },
                            folderOf(target));
        if (!advance(1, source))
            return Step::Cancelled;
        return m_batch.full() ? settle() : Step::Done;
    }
    const QByteArray writeTo = partfiles::partName(target);
    std::shared_ptr<filecopy::VolumeWatch> watch = moving ? nullptr : watchForTarget();
    filecopy::Result result;
    if (S_ISLNK(info.st_mode)) {
        result = filecopy::copySymlink(source, info, writeTo, reason);
    } else {
        result = filecopy::copyRegularFile(
            source, info, writeTo, [this, &source](qint64 bytes) { return advance(bytes, source); },
            reason);
    }
    if (result == filecopy::Result::Cancelled)
        return Step::Cancelled;
    if (result == filecopy::Result::Failed)
        return fail(verb(), source, reason);
    // The name is taken once the file is on the disk with the others of its batch, and a new
    // name only while it is free (something may have come there meanwhile). A moved file's
    // source goes only once that name is on the disk as well.
    filecopy::DurableBatch::Step whenNamed;
    if (moving)
        whenNamed = [this, source] { return removeMoved(source); };
    m_batch.addFile(writeTo, S_ISREG(info.st_mode) ? qint64(info.st_size) : 0,
                    nameStep(nullptr, writeTo, target, source, target, replace),
                    std::move(whenNamed), std::move(watch));
    if (!advance(1, source))
        return Step::Cancelled;
    return m_batch.full() ? settle() : Step::Done;
}

filecopy::DurableBatch::Step FileOperationRunner::nameStep(Folder folder, QByteArray part,
                                                           QByteArray name, QByteArray source,
                                                           QByteArray target, bool replace)
{
    return [this, folder = std::move(folder), part = std::move(part), name = std::move(name),
            source = std::move(source), target = std::move(target), replace] {
        const int at = folder ? folder->get() : AT_FDCWD;
        if (filecopy::takeNameAt(at, part, name, replace))
            return true;
        const int error = errno;
        ::unlinkat(at, part.constData(), 0);
        fail(verb(), replace ? target : source, filecopy::errorText(error));
        return false;
    };
}

FileOperationRunner::Folder FileOperationRunner::holdFolder(int fd)
{
    m_openFolders->fetch_add(1);
    // The last holder may be a worker.
    return Folder(new folderwalk::FileDescriptor(fd),
                  [count = m_openFolders](folderwalk::FileDescriptor* folder) {
                      delete folder;
                      count->fetch_sub(1);
                  });
}

std::shared_ptr<filecopy::VolumeWatch> FileOperationRunner::watchForTarget()
{
    if (!m_targetFolder)
        return {};
    for (const std::shared_ptr<filecopy::VolumeWatch>& watch : m_watches) {
        if (watch->device() == m_targetDevice)
            return watch;
    }
    std::shared_ptr<filecopy::VolumeWatch> watch =
        filecopy::VolumeWatch::open(m_targetFolder->get());
    if (watch)
        m_watches.push_back(watch);
    return watch;
}

FileOperationRunner::Step FileOperationRunner::copyOnWorker(const QByteArray& source,
                                                            const struct stat& info,
                                                            const QByteArray& target, bool replace)
{
    if (const Step taken = takeBackPending(kAhead - 1); taken != Step::Done)
        return taken;
    if (!m_workers)
        m_workers = std::make_unique<filecopy::CopyWorkers>(
            filecopy::CopyWorkers::threadsFor(std::thread::hardware_concurrency()));
    auto job = std::make_shared<Job>();
    job->sourceFolder = m_sourceFolder;
    job->sourceName = m_sourceFolder ? nameOf(source) : source;
    job->info = info;
    job->targetFolder = m_targetFolder;
    job->targetName = nameOf(target);
    job->targetDevice = m_targetDevice;
    // The watch is opened before the file is begun, so that it sees every error in its writing.
    m_pending.push_back({job, source, target, replace, watchForTarget(), {}, {}});
    m_workers->add(job);
    return Step::Done;
}

FileOperationRunner::Step FileOperationRunner::takeBackPending(size_t under)
{
    while (!m_pending.empty()) {
        Pending& front = m_pending.front();
        if (front.job) {
            if (m_pending.size() > under)
                m_workers->waitFor(*front.job);
            else if (!m_workers->done(*front.job))
                break;
        }
        Pending pending = std::move(front);
        m_pending.pop_front();
        const Step step = takeBack(pending);
        if (step != Step::Done) {
            dropPending();
            return step;
        }
    }
    return Step::Done;
}

FileOperationRunner::Step FileOperationRunner::takeBack(Pending& pending)
{
    if (pending.step) {
        m_batch.addStep(std::move(pending.step));
        return Step::Done;
    }
    if (!pending.job)
        return Step::Done; // a folder made
    const Job& job = *pending.job;
    if (job.result != filecopy::Result::Ok)
        return fail(verb(), pending.source, job.reason);
    // As on this thread: the bytes, the file into the batch, then the file itself, each a
    // step of the progress where the user may cancel; a cancel at the bytes drops the file.
    const Folder folder = job.targetFolder;
    if (job.copied > 0 && !advance(job.copied, pending.source)) {
        ::unlinkat(folder->get(), job.part.constData(), 0);
        return Step::Cancelled;
    }
    m_batch.addFile(
        join(folderOf(pending.target), job.part), job.info.st_size,
        nameStep(folder, job.part, job.targetName, pending.source, pending.target, pending.replace),
        {}, std::move(pending.watch));
    if (!advance(1, pending.source))
        return Step::Cancelled;
    return m_batch.full() ? settle() : Step::Done;
}

void FileOperationRunner::dropPending()
{
    if (m_pending.empty())
        return;
    if (m_workers)
        m_workers->skipWaiting();
    QList<QByteArray> folders;
    for (const Pending& pending : m_pending) {
        if (pending.job) {
            m_workers->waitFor(*pending.job);
            if (!pending.job->skipped && pending.job->result == filecopy::Result::Ok)
                ::unlinkat(pending.job->targetFolder->get(), pending.job->part.constData(), 0);
        } else if (!pending.madeFolder.isEmpty()) {
            folders.prepend(pending.madeFolder);
        }
    }
    m_pending.clear();
    if (m_workers)
        m_workers->allowAgain();
    // The innermost first; a folder that is not empty stays.
    for (const QByteArray& folder : folders)
        ::rmdir(folder.constData());
}

FileOperationRunner::Step
FileOperationRunner::failInOrder(const QString& what, const QByteArray& path, const QString& reason)
{
    if (const Step taken = takeBackPending(0); taken != Step::Done)
        return taken;
    return fail(what, path, reason);
}

bool FileOperationRunner::removeMoved(const QByteArray& source)
{
    if (::unlink(source.constData()) == 0)
        return true;
    fail(verb(), source,
         QStringLiteral("コピーは完了しましたが、移動元を削除できません。\n") +
             filecopy::errorText(errno));
    return false;
}

FileOperationRunner::Step FileOperationRunner::settle()
{
    // The files written after this batch get watches opened after its syncfs.
    m_watches.clear();
    int error = 0;
    QByteArray failed;
    switch (m_batch.flush(error, failed)) {
    case filecopy::DurableBatch::Outcome::Done:
        return Step::Done;
    case filecopy::DurableBatch::Outcome::StepFailed:
        return Step::Failed;
    case filecopy::DurableBatch::Outcome::SyncFailed:
        break;
    }
    return fail(verb(), failed, filecopy::errorText(error));
}

FileOperationRunner::Step FileOperationRunner::moveItem(const QByteArray& source,
                                                        const struct stat& info,
                                                        const QByteArray& target)
{
    struct stat existing;
    const bool there = ::lstat(target.constData(), &existing) == 0;
    if (there) {
        if (sameItem(existing, info))
            return advance(unitsOf(source, info), source) ? Step::Skipped : Step::Cancelled;
        const bool folder = S_ISDIR(info.st_mode);
        if (folder != S_ISDIR(existing.st_mode))
            return fail(verb(), source,
                        QStringLiteral("%1 には同じ名前の%2があります。")
                            .arg(shown(target),
                                 folder ? QStringLiteral("ファイル") : QStringLiteral("フォルダ")));
        switch (askCollision(source, info, target, existing)) {
        case Collision::Replace:
            break;
        case Collision::Skip:
            return advance(unitsOf(source, info), source) ? Step::Skipped : Step::Cancelled;
        case Collision::Cancel:
            return Step::Cancelled;
        }
        if (folder) {
            partfiles::removeLeftovers(target);
            const Step step = moveChildren(source, target);
            if (step == Step::Cancelled || step == Step::Failed)
                return step;
            // Items the user chose to keep stay in the source folder; files moved across file
            // systems leave it once their copies took their names.
            m_batch.addStep([] { return true; },
                            [this, source] { return removeMovedFolder(source); });
            return advance(1, source) ? Step::Done : Step::Cancelled;
        }
    }
    // Within one file system a rename moves the whole item at once (replacing a file), with
    // no walk through it.
    if (::rename(source.constData(), target.constData()) == 0)
        return advance(1, source) ? Step::Done : Step::Cancelled;
    if (errno != EXDEV)
        return fail(verb(), source, filecopy::errorText(errno));
    return moveAcross(source, info, target, there);
}

FileOperationRunner::Step FileOperationRunner::moveChildren(const QByteArray& source,
                                                            const QByteArray& target)
{
    return eachChild(
        source, verb(),
        [&](const QByteArray& child, const struct stat& childInfo, const QByteArray& name) {
            return moveItem(child, childInfo, join(target, name));
        });
}

FileOperationRunner::Step FileOperationRunner::eachChild(const QByteArray& folder,
                                                         const QString& what, const ChildStep& step)
{
    QList<folderwalk::Entry> entries;
    int error = 0;
    // The folder is opened with O_NOFOLLOW: a folder swapped for a link is not entered.
    if (!folderwalk::readFolder(folder, entries, error))
        return fail(what, folder, filecopy::errorText(error));
    for (const folderwalk::Entry& entry : entries) {
        const QByteArray child = join(folder, entry.name);
        if (entry.error != 0)
            return fail(what, child, filecopy::errorText(entry.error));
        const Step result = step(child, entry.info, entry.name);
        if (result == Step::Cancelled || result == Step::Failed)
            return result;
    }
    return Step::Done;
}

FileOperationRunner::Step FileOperationRunner::moveAcross(const QByteArray& source,
                                                          const struct stat& info,
                                                          const QByteArray& target,
                                                          bool targetExists)
{
    if (S_ISDIR(info.st_mode)) {
        // A volume mounted inside would be emptied onto the other side: refused first.
        const QString mounted = opcheck::mountInsideMove(source);
        if (!mounted.isEmpty()) {
            m_ui.showError(m_operation.owner, mounted);
            return Step::Failed;
        }
        // A folder is rebuilt on the other side item by item; each source item goes only
        // after its copy is complete.
        if (::mkdir(target.constData(), 0700) != 0)
            return fail(verb(), target, filecopy::errorText(errno));
        const Step step = moveChildren(source, target);
        if (step == Step::Cancelled || step == Step::Failed)
            return step;
        m_batch.addStep(
            [this, info, target] {
                QString reason;
                if (filecopy::copyFolderAttributes(info, target, reason))
                    return true;
                fail(verb(), target, reason);
                return false;
            },
            [this, source] { return removeMovedFolder(source); }, folderOf(target));
        return advance(1, source) ? Step::Done : Step::Cancelled;
    }
    return copyFileOrLink(source, info, target, targetExists, true);
}

bool FileOperationRunner::removeMovedFolder(const QByteArray& source)
{
    if (::rmdir(source.constData()) == 0 || errno == ENOTEMPTY || errno == EEXIST)
        return true;
    fail(verb(), source, filecopy::errorText(errno));
    return false;
}

} // namespace platform
