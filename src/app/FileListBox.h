#pragma once

#include "app/FolderNames.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

namespace app
{

class EarlyFolderRead;
class FileListModel;

// The file list: the files of one folder whose names match a pattern, a list of wildcard
// masks separated by ";" ("*.txt;*.log"), compared without regard to case. Several files
// may be selected.
//
// A folder's names are read once and kept; a new pattern picks from them again without reading
// the folder. A folder with few files is listed at once, before setPath() or refresh() returns;
// the rest of a larger one is read and ordered on a worker thread while the window answers, and
// listed() tells when it is shown. Of several readings under way only the last one is shown.
class FileListBox final : public QListView
{
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    ~FileListBox() override;

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }
    void setPath(const QString& path);
    void setPattern(const QString& pattern);
    // Re-reads the folder. Files that are still there stay selected, and the current one stays
    // current.
    void refresh();
    // True when the last reading of the folder failed (missing, or no permission to read).
    bool readFailed() const { return m_readFailed; }
    // True while a reading or a new pattern is still being worked on.
    bool isListing() const { return m_readStop || m_matchStop; }
    // Waits, answering the window meanwhile, until what is being worked on is shown.
    void finishListing();
    // The name of the current entry, or empty.
    QString fileName() const;
    // The names of the selected entries in list order.
    QStringList selectedNames() const;
    // For each entry in list order, whether it is selected.
    QList<bool> selectionFlags() const;
    // The name of every entry in list order.
    QStringList names() const;

    // The entries by row. An entry shows the name as it is, or, for a name that is not valid
    // UTF-8, its CP932 reading behind a mark; the name itself keeps the bytes.
    int count() const;
    QString nameAt(int row) const;
    QString textAt(int row) const;
    // The row of the entry of that name, or -1.
    int rowOf(const QString& name) const;
    // The row of the entry that shows that text, or -1.
    int rowShowing(const QString& text) const;
    int currentRow() const { return currentIndex().row(); }
    // Makes the row current (-1: none), selecting it as a click does.
    void setCurrentRow(int row);
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);

    // The number of files the rest is read on a worker for; at most that many are read at once.
    static constexpr int kListedAtOnce = 25000;

Q_SIGNALS:
    // The current entry changed (not told when a new listing keeps or drops it).
    void currentEntryChanged();
    // A listing is shown: a folder read or the entries of a new pattern.
    void listed();

private:
    struct Channel;
    struct Result;

    // Reads the folder again: at once when it is small, else on a worker.
    void startReading();
    // Shows a reading begun before the list existed, as startReading() shows its own; false
    // when it could not read the folder.
    bool takeEarlyRead(EarlyFolderRead& early, bool sameFolder);
    // Keeps and shows the names of a folder read whole.
    void showRead(std::shared_ptr<const FolderNames> names, bool sameFolder);
    // Makes the list wait for a reading on a worker, which `stop` stops: the result the worker
    // fills and delivers.
    std::shared_ptr<Result> awaitReading(std::shared_ptr<std::atomic<bool>> stop, bool sameFolder);
    // Picks the entries of the pattern from the names kept: at once or on a worker.
    void startMatching();
    void take(const std::shared_ptr<Result>& result);
    // Stops the worker under way, if any.
    void stopReading();
    // Also drops entries already on their way from a worker.
    void stopMatching();
    // Shows the entries; the selected and current names stay selected and current when
    // `keepSelection` is true.
    void showEntries(std::shared_ptr<const FolderNames> names, ShownRows rows, bool keepSelection);
    void restoreSelection(const QStringList& selected, const QString& current);

    FileListModel* m_model = nullptr;
    std::shared_ptr<Channel> m_channel;
    QString m_path;
    QString m_listedPath;
    QString m_pattern = QStringLiteral("*.*");
    bool m_readFailed = false;
    // The names of the folder last read, which a new pattern picks from.
    std::shared_ptr<const FolderNames> m_kept;
    quint64 m_readGeneration = 0;
    quint64 m_matchGeneration = 0;
    // Set while a worker reads or picks; stored true to stop it.
    std::shared_ptr<std::atomic<bool>> m_readStop;
    std::shared_ptr<std::atomic<bool>> m_matchStop;
};

// True when the name matches one of the masks of the pattern. "*.*" matches every name, also
// one without a dot, as on the platform the masks come from.
bool matchesPattern(const QString& name, const QString& pattern);

} // namespace app
