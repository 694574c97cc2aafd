#include "app/FolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>

namespace app {

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent), m_model(new QFileSystemModel(this))
{
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_model->setRootPath(QStringLiteral("/"));
    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    setRootIndex(m_model->index(QStringLiteral("/")));
    setUniformRowHeights(true);
    // Folders are read in the background; once the current folder's parents are read, it is
    // scrolled into view.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
        if (m_path.startsWith(folder))
            showCurrent();
    });
}

void FolderTree::showCurrent()
{
    const QModelIndex index = m_model->index(m_path);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    expand(index);
    setCurrentIndex(index);
    scrollTo(index);
}

bool FolderTree::setPath(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const bool changed = clean != m_path;
    m_path = clean;
    showCurrent();
    if (!changed)
        return true;
    Q_EMIT pathChanged(m_path);
    return true;
}

QString FolderTree::pathAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    return index.isValid() ? m_model->filePath(index) : QString();
}

QString FolderTree::highlightedPath() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? m_model->filePath(index) : QString();
}

void FolderTree::refresh()
{
    // The model watches the folders it has read; a fresh root path makes it re-read them.
    if (!m_path.isEmpty())
        m_model->setRootPath(QStringLiteral("/"));
}

} // namespace app
