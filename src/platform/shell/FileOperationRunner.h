#pragma once

#include "platform/Shell.h"
#include "platform/shell/CopyWorkers.h"
#include "platform/shell/DurableBatch.h"
#include "platform/shell/ShellUi.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace platform
{

// Carries out one file-operation record (copy, move, delete, rename of files and whole
// folders) with its questions, progress and messages going through a ShellUi. Runs on the
// calling thread, which is never the windows' thread in the program (LinuxShell gives it a
// worker and a ShellUiRelay); it never waits for events itself.
//
// Nothing is lost: every file is written beside its final name under a hidden name, put on
// the disk and then renamed to its final name (over the old file for a replacement), so
// that no file cut short ever carries the final name; files are put on the disk in batches
// (one wait for the disk per batch), and no file of a batch takes its name before the whole
// batch is there. A move across file systems removes each source only after its copy's name
// is on the disk too; links are copied as links and never followed. Hidden parts that a process
// which has ended left in a target folder are removed when a copy or move into it starts.
//
// The bytes of a copy's small files are copied on worker threads (CopyWorkers) a little ahead
// of this thread, which walks on, asks, shows the progress and takes each copy back in the
// walk's order: a failure in one of them ends the operation as it would have at that file, with
// the files before it named and nothing of the ones after it left.
class FileOperationRunner final
{
public:
    FileOperationRunner(ShellUi& ui, const Shell::FileOperation& operation);
    Q_DISABLE_COPY_MOVE(FileOperationRunner)

    // 0 when all of it succeeded (items the user chose to skip included), Shell::kCancelled
    // when the user cancelled, Shell::kFailed after a failure (already reported).
    int run();

private:
    enum class Step { Done, Skipped, Cancelled, Failed };
    enum class Collision { Replace, Skip, Cancel };

    int runCopyOrMove(bool move);
    int runDelete();
    int runRename();

    Step copyItem(const QByteArray& source, const struct stat& info, const QByteArray& target);
    Step copyFileOrLink(const QByteArray& source, const struct stat& info, const QByteArray& target,
                        bool replace, bool moving = false);
    // Puts the files written so far on the disk and gives them their names (DurableBatch).
    Step settle();

    using Folder = filecopy::CopyWorkers::Folder;
    using Job = filecopy::CopyWorkers::Job;
    // What the walk has handed on and not yet taken back, in the walk's order: a small file's
    // copy under way, a folder's attributes (which go into the batch after the folder's
    // files), or a folder made meanwhile (removed again if what comes before it fails).
    struct Pending {
        std::shared_ptr<Job> job;
        QByteArray source;
        QByteArray target;
        bool replace = false;
        std::shared_ptr<filecopy::VolumeWatch> watch;
        filecopy::DurableBatch::Step step;
        QByteArray madeFolder;
    };
    // Takes back what is finished, in order, and waits until no more than `under` remain;
    // anything but Done after a failure (told) or a cancel, with the rest dropped.
    Step takeBackPending(size_t under);
    Step takeBack(Pending& pending);
    // Drops everything pending: copies are waited for and their parts removed, folders made
    // meanwhile removed when empty.
    void dropPending();
    // fail() once every copy before it is taken back: the first failure in the walk's order
    // is the one told.
    Step failInOrder(const QString& what, const QByteArray& path, const QString& reason);
    // Hands a small file's copy to the workers.
    Step copyOnWorker(const QByteArray& source, const struct stat& info, const QByteArray& target,
                      bool replace);
    // An open folder, counted in m_openFolders while it is held.
    Folder holdFolder(int fd);
    // The batch's step that gives a complete part file its name once it is on the disk: `part`
    // and `name` inside `folder`, or whole paths without one. If the name cannot be taken, the
    // part goes and the failure is reported for `target` (replacing) or `source`.
    filecopy::DurableBatch::Step nameStep(Folder folder, QByteArray part, QByteArray name,
                                          QByteArray source, QByteArray target, bool replace);
    // The watch of the target folder's volume for the files written from now on.
    std::shared_ptr<filecopy::VolumeWatch> watchForTarget();
    Step copyFolder(const QByteArray& source, const struct stat& info, const QByteArray& target,
                    bool created);
    // A moved item's source, removed once its copy has its name; false after a failure (told).
    bool removeMoved(const QByteArray& source);
    bool removeMovedFolder(const QByteArray& source);
    Step moveItem(const QByteArray& source, const struct stat& info, const QByteArray& target);
    Step moveAcross(const QByteArray& source, const struct stat& info, const QByteArray& target,
                    bool targetExists);
    Step moveChildren(const QByteArray& source, const QByteArray& target);
    Step removeTree(const QByteArray& path, const struct stat& info);
    // Runs `step` on each entry of `folder` (listed once, links not followed) until one
    // fails or is cancelled; a folder or entry that cannot be read fails with `what`.
    using ChildStep = std::function<Step(const QByteArray& child, const struct stat& info,
                                         const QByteArray& name)>;
    Step eachChild(const QByteArray& folder, const QString& what, const ChildStep& step);
    Step deleteToTrash(const QByteArray& path, const struct stat& info);

    // The result run() gives for the last step of a whole operation.
    static int shellResult(Step step);
    // Closes the progress display when it was shown; gives `result` back.
    int endProgress(int result);
    // The sources as absolute paths with their lstat, and the progress units they weigh in
    // all; false after a source that is not there (reported).
    using Weigh = std::function<qint64(const QByteArray& path, const struct stat& info)>;
    bool statSources(QList<QByteArray>& paths, QList<struct stat>& infos, qint64& total,
                     const Weigh& weigh);
    // Counts the progress units of the sources on a thread of its own while the progress
    // window keeps answering; false when the user cancelled meanwhile.
    using CountItem = std::function<qint64(qsizetype index, const std::atomic<bool>& stop)>;
    bool countUnits(const QList<QByteArray>& paths, const QList<struct stat>& infos, qint64& total,
                    const CountItem& count);
    Collision askCollision(const QByteArray& source, const struct stat& info,
                           const QByteArray& target, const struct stat& existing);
    bool advance(qint64 units, const QByteArray& current);
    Step fail(const QString& verb, const QByteArray& path, const QString& reason);
    QString verb() const;

    ShellUi& m_ui;
    Shell::FileOperation m_operation;
    bool m_yesToAll = false;
    bool m_showProgress = true;
    qint64 m_done = 0;
    dev_t m_device = 0; // the volume of the tree being deleted
    filecopy::DurableBatch m_batch;

    // The open folders of the items a copy is at: the source's (null: its items are reached
    // by their paths) and the target's (null: small files are copied on this thread), on the
    // volume m_targetDevice; m_targetFresh when this copy made the target folder, so that
    // nothing can be there to collide with but what another process puts there meanwhile
    // (which the no-replace naming still refuses).
    Folder m_sourceFolder;
    Folder m_targetFolder;
    dev_t m_targetDevice = 0;
    bool m_targetFresh = false;
    int m_depth = 0;
    // Folders held open by the copy (the walk, copies under way, files waiting for names).
    std::shared_ptr<std::atomic<int>> m_openFolders = std::make_shared<std::atomic<int>>(0);
    std::unique_ptr<filecopy::CopyWorkers> m_workers;
    std::deque<Pending> m_pending;
    std::vector<std::shared_ptr<filecopy::VolumeWatch>> m_watches;
};

} // namespace platform
