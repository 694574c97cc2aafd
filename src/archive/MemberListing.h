#pragma once

#include "archive/ArchiveFormats.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTreeWidget;

namespace archive
{

// Lists an archive's members into the report list without holding up the window: a worker
// thread walks the archive through its family's library and the rows are added to the list in
// batches on the window's thread, in the order the library gives them. A newer listing (the
// user picked another file) abandons the one still running; so does emptying the list through
// abandon(). One listing belongs to each list.
class MemberListing final : public QObject
{
    Q_OBJECT
public:
    // The listing of this list, made on first use; it lives as long as the list.
    static MemberListing* of(QTreeWidget* list);
    ~MemberListing() override;

    // Empties the list and starts listing the archive into it through its format's library. An
    // archive that cannot be opened, or a missing library, lists nothing.
    void start(Family family, const QString& archivePath, quintptr ownerWindow,
               const QString& programFolder);
    // Stops the listing that runs; rows already in the list stay.
    void abandon();
    // True from start() until the last row is in the list (or the listing was abandoned).
    bool running() const { return m_running; }

Q_SIGNALS:
    // Every member is in the list.
    void finished(int rows);

private:
    // Columns as wide as their contents once a list is filled.
    void fitColumns();
    struct Job;
    struct Batch;

    explicit MemberListing(QTreeWidget* list);
    void add(quint64 generation, const std::shared_ptr<Batch>& batch, bool last);
    void reapStopped(bool wait);

    QTreeWidget* m_list;
    std::shared_ptr<Job> m_current;
    std::vector<std::shared_ptr<Job>> m_stopped;
    quint64 m_generation = 0;
    bool m_running = false;
};

} // namespace archive
