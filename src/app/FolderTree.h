#pragma once

#include <QString>
#include <QTreeView>

class QFileSystemModel;

namespace app {

// The folder tree: the folders of the file system, with one current folder (its path).
class FolderTree final : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Makes the folder current, expanding the tree down to it. Returns false, changing
    // nothing, when the path is not an existing folder.
    bool setPath(const QString& path);
    // The folder of the entry at a point of the viewport, or empty.
    QString pathAt(const QPoint& point) const;
    // The folder of the highlighted entry, or empty.
    QString highlightedPath() const;
    // Re-reads the folders below the current one.
    void refresh();

Q_SIGNALS:
    void pathChanged(const QString& path);

private:
    // Expands the tree down to the current folder and scrolls it into view.
    void showCurrent();

    QFileSystemModel* m_model;
    QString m_path;
};

} // namespace app
