#pragma once

#include <QString>
#include <QTreeView>

class QFileSystemWatcher;

namespace app
{

class FolderTreeModel;

// The folder tree: the folders of the file system, with one current folder (its path). Paths
// carry names that are not UTF-8 as their bytes (platform/NativePath.h). When
// the current folder goes away (deleted, moved or renamed, by us or from outside), the tree
// moves to the nearest folder above it that still exists.
class FolderTree final : public QTreeView
{
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);
    ~FolderTree() override;

    QString path() const { return m_path; }
    // Makes the folder current, expanding the tree down to it. Returns false, changing
    // nothing, when the path is not an existing folder.
    bool setPath(const QString& path);
    // The folder of the entry at a point of the viewport, or empty.
    QString pathAt(const QPoint& point) const;
    // The folder of the highlighted entry, or empty.
    QString highlightedPath() const;
    // Reads the folders afresh; a current folder that is gone gives way to its parent.
    void refresh();
    // Moves to the nearest existing parent when the current folder is gone. True when the
    // current folder was still there.
    bool keepToExistingFolder();

Q_SIGNALS:
    void pathChanged(const QString& path);
    // The current folder was gone and the tree moved up to the folder shown.
    void currentFolderGone(const QString& gone, const QString& shown);

protected:
    // The current folder is scrolled into view once the tree has its size.
    void showEvent(QShowEvent* event) override;
    // The user's own scrolling or choosing ends the following of the current folder.
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void makeModel();
    // Expands the tree down to the current folder and scrolls it into view.
    void showCurrent();
    void revealName(const QModelIndex& index);
    void watchCurrent();

    FolderTreeModel* m_model = nullptr;
    QFileSystemWatcher* m_watcher;
    QString m_path;
    // While the folders are read in, the current folder is kept in view as rows come in above
    // it, until the user scrolls or clicks.
    bool m_following = true;
    bool m_followQueued = false;
};

} // namespace app
