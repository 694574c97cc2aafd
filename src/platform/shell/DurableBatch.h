#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <vector>

#include <sys/types.h>

// Files a copy has written under hidden names wait here until a whole batch of them is on the
// disk; only then do they take their final names, in the order they were written. One wait for
// the disk per batch instead of one per file keeps a copy of many small files fast, and still
// no file carries its final name before its bytes are on the disk.
namespace platform::filecopy
{

// A descriptor opened on a volume before the files it watches are written there. syncfs on it
// reports every writing error the volume met since it was opened (Linux 5.8 and later), so
// that a batch of files on a local file system whose syncfs reports nothing needs no further
// look at each file; after an error (maybe in a file that is not ours), that batch and every
// later one that shares this watch ask each of their files.
class VolumeWatch final
{
public:
    // A watch on the volume of the open folder `folder`; null when none can be opened.
    static std::shared_ptr<VolumeWatch> open(int folder);
    ~VolumeWatch();
    VolumeWatch(const VolumeWatch&) = delete;
    VolumeWatch& operator=(const VolumeWatch&) = delete;

    dev_t device() const { return m_device; }

private:
    friend class DurableBatch;
    VolumeWatch(int fd, dev_t device, bool trusted);

    int m_fd;
    dev_t m_device;
    // syncfs on this volume puts every file on the disk and reports its errors.
    bool m_trusted;
    bool m_spoiled = false; // a syncfs on it has reported an error
};

class DurableBatch final
{
public:
    struct Limits {
        qsizetype files = 4000;           // files waiting at most
        qint64 bytes = qint64(512) << 20; // bytes waiting at most
    };
    // Puts the listed files on the disk; on failure sets `failed` to the file that could not
    // be and returns the errno value, else 0.
    using Sync = std::function<int(const QList<QByteArray>& written, QByteArray& failed)>;
    // Runs once everything added before it is on the disk; false stops the batch (the step has
    // told the user why).
    using Step = std::function<bool()>;

    DurableBatch();
    DurableBatch(Limits limits, Sync sync);
    ~DurableBatch();
    DurableBatch(const DurableBatch&) = delete;
    DurableBatch& operator=(const DurableBatch&) = delete;

    // `written` is complete under its hidden name; `then` gives it its name (beside it, in the
    // same folder). `whenNamed`, if given, runs only once that name is on the disk too: a moved
    // file's source goes only when its copy is sure to be found under its name.
    // With a `watch` opened before `written` was begun, the batch's syncfs (on the default sync)
    // goes through it and no file of the batch is opened again when it reports no error.
    void addFile(const QByteArray& written, qint64 bytes, Step then, Step whenNamed = {},
                 std::shared_ptr<VolumeWatch> watch = {});
    // A step with no file of its own (a folder's attributes); `whenNamed` runs after `folder`
    // (the folder an item was made in) is on the disk, when given.
    void addStep(Step then, Step whenNamed = {}, const QByteArray& folder = {});
    bool full() const { return m_files >= m_limits.files || m_bytes >= m_limits.bytes; }
    bool empty() const { return m_waiting.empty(); }

    enum class Outcome { Done, SyncFailed, StepFailed };
    // Puts every waiting file on the disk, then runs the steps in order until one fails.
    // Files whose step did not run are removed. Then, if any step that ran has a `whenNamed`,
    // the folders of those names are put on the disk and the `whenNamed` steps run in order
    // until one fails. After SyncFailed, `error` and `failed` say what could not be put on the
    // disk (if it was a file, nothing took its name; if a folder, no `whenNamed` step ran).
    Outcome flush(int& error, QByteArray& failed);
    // Removes every waiting file; no step runs.
    void discard();

    // Each file opened again and fsync'ed: one wait for the disk, and on most file systems one
    // cache flush of the drive, per file.
    static int syncEach(const QList<QByteArray>& written, QByteArray& failed);
    // The default: on a local file system, one syncfs for all the files that lie on it (it
    // writes them out together, the file system's own records with them, and flushes the
    // drive's cache once), then each file is asked for an error its own writing met; on other
    // file systems (network, FUSE), and to name the file behind an error syncfs reports,
    // syncEach.
    static int syncVolumes(const QList<QByteArray>& written, QByteArray& failed);

private:
    struct Waiting {
        QByteArray written; // empty for a step alone
        Step then;
        Step whenNamed;
        QByteArray folder; // what must be on the disk before whenNamed runs
        std::shared_ptr<VolumeWatch> watch;
    };
    // Puts the written files on the disk: through their watches where they have them, the
    // rest through m_sync.
    int syncWritten(const std::vector<Waiting>& waiting, QByteArray& failed);

    Limits m_limits;
    Sync m_sync;
    bool m_watched; // the default sync: watches are used
    std::vector<Waiting> m_waiting;
    qsizetype m_files = 0;
    qint64 m_bytes = 0;
};

} // namespace platform::filecopy
