#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

namespace archive
{

// The name of the compression dialog's staging folder inside the instance's work folder. It is
// a folder of its own, so that emptying it never touches what extraction keeps in the work
// folder, and emptying the work folder for extraction can leave it alone.
inline constexpr char16_t kStagingFolderName[] = u"compress";

// The staging folder (with a trailing separator) inside the given work folder.
QString stagingFolderIn(const QString& workFolder);

// Deletes the folder with everything below it (links are removed, never followed); true when
// nothing of it is left.
bool removeTree(const QString& path);

// Empties the staging folder and makes it again; false when something could not be deleted.
bool emptyStagingFolder(const QString& staging);

// One dropped file or folder to be copied into the staging folder under `name`.
struct StagingItem {
    QString source;
    QString name;
};

// What became of one item.
struct StagingOutcome {
    bool copied = false;
    // Why the copy failed (empty when it worked or was cancelled).
    QString error;
    // Links, devices and the like inside a copied folder that were left out.
    QStringList leftOut;
};

// Copies dropped files and folders into the staging folder: each item first under a temporary
// name beside its place, renamed into place (over an earlier copy of the same name) only when
// it is complete, so a failed or cancelled copy never leaves half a file and never loses the
// copy it was to replace. Folders are copied with their whole tree; times and permissions are
// kept. Links and special files inside a folder are left out and named in the outcome; a
// dropped link is followed. Runs on any thread; progress and cancel are atomics the caller
// watches and sets.
class StagingCopy final
{
public:
    StagingCopy(QString staging, QList<StagingItem> items);

    // Adds up the bytes to copy, then copies the items in order; stops after the item during
    // which cancel was set.
    void run();

    std::atomic<qint64> total{0};
    std::atomic<qint64> done{0};
    std::atomic<bool> cancel{false};

    const QList<StagingOutcome>& outcomes() const { return m_outcomes; }
    bool cancelled() const { return m_cancelled; }

private:
    bool copyItem(const StagingItem& item, StagingOutcome& outcome);
    // Below the dropped item names are taken byte for byte as they are on disk (they need not
    // be valid in the locale's encoding).
    bool copyFile(const QByteArray& from, const QByteArray& to, QString& error);
    bool copyFolder(const QByteArray& from, const QByteArray& to, int depth,
                    StagingOutcome& outcome);
    qint64 sizeOf(const QByteArray& path, int depth) const;

    QString m_staging;
    QList<StagingItem> m_items;
    QList<StagingOutcome> m_outcomes;
    bool m_cancelled = false;
};

} // namespace archive
