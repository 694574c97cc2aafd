#include "archive/MemberListing.h"

#include "archive/ArchiveListing.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <atomic>
#include <thread>

namespace archive
{

namespace
{
// The first batch goes to the window after kFirstRows rows or kFirstMilliseconds, so that the
// first rows show at once. Every insertion makes the view lay out all the rows it holds, so
// later batches wait until they are as large as what the list already holds (the layouts of a
// huge archive then cost about twice its rows in all, instead of a layout of the whole list
// every few thousand rows), or until kLaterMilliseconds have gone by on a slow archive.
constexpr qsizetype kFirstRows = 4096;
constexpr qint64 kFirstMilliseconds = 40;
constexpr qint64 kLaterMilliseconds = 300;
} // namespace

struct MemberListing::Job {
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    std::thread thread;
};

// Rows made on the worker; those that never reach the list are deleted with the batch.
struct MemberListing::Batch {
    QList<QTreeWidgetItem*> rows;
    Batch() = default;
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    ~Batch() { qDeleteAll(rows); }
};

MemberListing* MemberListing::of(QTreeWidget* list)
{
    if (auto* listing = list->findChild<MemberListing*>(QString(), Qt::FindDirectChildrenOnly))
        return listing;
    return new MemberListing(list);
}

MemberListing::MemberListing(QTreeWidget* list) : QObject(list), m_list(list)
{
    // A click on a column's header sorts by it, a second click the other way; until then the
    // members stay in the archive's order.
    QHeaderView* header = list->header();
    header->setSectionsClickable(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int column) {
        // Once shown, the header turns its indicator round itself on a click.
        if (!header->isSortIndicatorShown()) {
            header->setSortIndicatorShown(true);
            header->setSortIndicator(column, Qt::AscendingOrder);
        }
        m_list->sortItems(header->sortIndicatorSection(), header->sortIndicatorOrder());
    });
}

void MemberListing::fitColumns()
{
    // Each column as wide as what it holds, the name column no wider than most of the view.
    const int most = std::max(120, m_list->viewport()->width() * 3 / 4);
    for (int column = 0; column < m_list->columnCount(); ++column) {
        m_list->resizeColumnToContents(column);
        if (m_list->columnWidth(column) > most)
            m_list->setColumnWidth(column, most);
    }
}

MemberListing::~MemberListing()
{
    abandon();
    reapStopped(true);
}

void MemberListing::abandon()
{
    ++m_generation;
    m_running = false;
    if (m_current) {
        m_current->stop = true;
        m_stopped.push_back(std::move(m_current));
        m_current.reset();
    }
    reapStopped(false);
}

void MemberListing::reapStopped(bool wait)
{
    for (auto it = m_stopped.begin(); it != m_stopped.end();) {
        if (wait || (*it)->ended.load()) {
            (*it)->thread.join();
            it = m_stopped.erase(it);
        } else {
            ++it;
        }
    }
}

void MemberListing::start(Family family, const QString& archivePath, quintptr ownerWindow,
                          const QString& programFolder)
{
    abandon();
    m_list->clear();
    m_running = true;
    auto job = std::make_shared<Job>();
    const quint64 generation = m_generation;
    job->thread =
        std::thread([this, job, generation, family, archivePath, ownerWindow, programFolder] {
            auto batch = std::make_shared<Batch>();
            QElapsedTimer sinceSent;
            sinceSent.start();
            qsizetype sent = 0;
            readMembers(family, archivePath, ownerWindow, programFolder, [&](QTreeWidgetItem* row) {
                batch->rows.append(row);
                if (job->stop.load())
                    return false;
                const qsizetype rows = batch->rows.size();
                if (rows >= std::max(kFirstRows, sent) ||
                    sinceSent.elapsed() >= (sent == 0 ? kFirstMilliseconds : kLaterMilliseconds)) {
                    sent += rows;
                    QMetaObject::invokeMethod(
                        this, [this, generation, batch] { add(generation, batch, false); },
                        Qt::QueuedConnection);
                    batch = std::make_shared<Batch>();
                    sinceSent.restart();
                }
                return true;
            });
            if (!job->stop.load()) {
                QMetaObject::invokeMethod(
                    this, [this, generation, batch] { add(generation, batch, true); },
                    Qt::QueuedConnection);
            }
            job->ended = true;
        });
    m_current = std::move(job);
}

void MemberListing::add(quint64 generation, const std::shared_ptr<Batch>& batch, bool last)
{
    if (generation != m_generation)
        return; // rows of an abandoned listing
    m_list->addTopLevelItems(batch->rows);
    batch->rows.clear();
    if (!last)
        return;
    m_running = false;
    if (m_current) {
        m_current->stop = true;
        m_stopped.push_back(std::move(m_current));
        m_current.reset();
    }
    reapStopped(false);
    QHeaderView* header = m_list->header();
    if (header->isSortIndicatorShown())
        m_list->sortItems(header->sortIndicatorSection(), header->sortIndicatorOrder());
    fitColumns();
    Q_EMIT finished(m_list->topLevelItemCount());
}

} // namespace archive
