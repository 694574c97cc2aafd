#pragma once

#include "platform/shell/FileSearch.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QTreeView;

namespace platform
{
class Prompts;
}

namespace fileops
{

class FoundFilesModel;

// The file-search window (not modal): a start folder, name masks, an optional text the files
// must contain, subfolders or not. The search runs on a thread of its own; what it finds is
// listed as it comes, in batches. Stop ends it at once: the window forgets the search at that
// moment, and the thread winds down on its own. A double click (or Enter) on a found file asks
// for it to be shown in the main window.
class FileSearchWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit FileSearchWindow(platform::Prompts& prompts, QWidget* parent = nullptr);
    ~FileSearchWindow() override;

    void setStartFolder(const QString& folder);
    QString startFolder() const;
    bool isSearching() const { return m_searching; }
    const FoundFilesModel& results() const { return *m_model; }
    // The size of the pieces files are read in when their contents are searched.
    void setChunkBytes(qsizetype bytes) { m_chunkBytes = bytes; }

public Q_SLOTS:
    void startSearch();
    void stopSearch();

Q_SIGNALS:
    // The user chose a found file (full path, as the system names it).
    void fileChosen(const QString& path);
    // The user chose a found link to a folder: the folder is to be opened (its path).
    void folderChosen(const QString& path);
    // The search came to its end or was stopped.
    void searchEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildForm();
    void browse();
    void receive(quint64 generation, const QList<platform::FoundFile>& files,
                 const QString& folder);
    void finish(quint64 generation, const platform::FileSearchSummary& summary);
    void setSearching(bool searching);
    void chooseRow(int row);

    platform::Prompts& m_prompts;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QLineEdit* m_pattern = nullptr;
    QLineEdit* m_text = nullptr;
    QCheckBox* m_subfolders = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QTreeView* m_view = nullptr;
    QLabel* m_status = nullptr;
    FoundFilesModel* m_model = nullptr;

    bool m_searching = false;
    // Batches of an earlier (stopped) search carry an older number and are dropped.
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QList<QPointer<QThread>> m_threads;
    qsizetype m_chunkBytes = 256 * 1024;
};

} // namespace fileops
