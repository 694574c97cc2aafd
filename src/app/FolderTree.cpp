#include "app/FolderTree.h"

#include "app/FolderTreeModel.h"
#include "base/FileKind.h"
#include "base/NativePath.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QHelpEvent>
#include <QIconEngine>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace app
{

namespace
{

bool isFolder(const QString& path)
{
    return platform::fileKind(path) == platform::FileKind::Folder;
}

// The nearest folder at or above the path that exists; "/" at worst.
QString nearestExisting(const QString& path)
{
    QString folder = QDir::cleanPath(path);
    while (!isFolder(folder)) {
        const QString up = QFileInfo(folder).path();
        if (up == folder)
            return QStringLiteral("/");
        folder = up;
    }
    return folder;
}

// The folder picture, asked of the style when it is first drawn rather than when the tree is
// made (the style's first picture costs start-up an icon-theme look-up).
class LazyFolderIcon final : public QIconEngine
{
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    // Laying the rows out asks for the size only: the picture fills the square it is given.
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }
    QIconEngine* clone() const override { return new LazyFolderIcon; }

private:
    static QIcon icon()
    {
        static const QIcon folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
        return folder;
    }
};

} // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent), m_watcher(new QFileSystemWatcher(this))
{
    header()->hide();
    setUniformRowHeights(true);
    makeModel();
    // The current folder deleted, moved or renamed from outside is noticed at once.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        if (keepToExistingFolder())
            m_model->reread(folder);
    });
}

bool FolderTree::viewportEvent(QEvent* event)
{
    // The whole name of the folder under the mouse, however narrow the tree is.
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && m_model)
            QToolTip::showText(help->globalPos(), index.data(Qt::ToolTipRole).toString(),
                               viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QTreeView::viewportEvent(event);
}

FolderTree::~FolderTree() = default;

void FolderTree::makeModel()
{
    FolderTreeModel* old = m_model;
    QItemSelectionModel* oldSelection = selectionModel();
    static const QIcon folderIcon(new LazyFolderIcon);
    m_model = new FolderTreeModel(folderIcon, this);
    setModel(m_model);
    // A folder deep down keeps its name readable: the column is as wide as the longest name
    // shown and the tree scrolls sideways.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // Folders are read in the background; once the current folder's parents are read, it is
    // scrolled into view.
    // Rows read in (and sorted) above the current folder push it down: it is kept in view in
    // the same turn, before the tree is drawn again.
    // Once per turn of the event loop however many ranges came in: scrolling lays out all rows.
    auto follow = [this] {
        if (m_followQueued)
            return;
        m_followQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_followQueued = false;
                if (m_following && currentIndex().isValid())
                    scrollTo(currentIndex());
            },
            Qt::QueuedConnection);
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, follow);
    // Each folder read on the way down to the current folder lets the tree go one step further;
    // once it is there, it is brought into view again after the rows are laid out.
    connect(m_model, &FolderTreeModel::directoryLoaded, this, [this](const QString& folder) {
        if (!m_path.startsWith(folder))
            return;
        showCurrent();
        QTimer::singleShot(0, this, [this] { showCurrent(); });
    });
    delete oldSelection;
    delete old;
}

void FolderTree::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    showCurrent();
}

void FolderTree::mousePressEvent(QMouseEvent* event)
{
    m_following = false;
    QTreeView::mousePressEvent(event);
}

void FolderTree::wheelEvent(QWheelEvent* event)
{
    m_following = false;
    QTreeView::wheelEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent* event)
{
    m_following = false;
    QTreeView::keyPressEvent(event);
}

void FolderTree::showCurrent()
{
    const QModelIndex index = m_model->indexOf(m_path);
    if (!index.isValid())
        return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    expand(index);
    setCurrentIndex(index);
    // Before the tree is first shown its rows are not laid out yet: showing it scrolls.
    if (isVisible()) {
        scrollTo(index);
        revealName(index);
    }
}

void FolderTree::revealName(const QModelIndex& index)
{
    // Deep down, the current folder's row starts beyond the pane's right edge: the tree
    // scrolls sideways until its icon and name are in view (as much of the name as fits).
    const QRect row = visualRect(index);
    if (!row.isValid())
        return;
    const int nameEnd = row.left() + iconSize().width() + 8 +
                        fontMetrics().horizontalAdvance(index.data().toString());
    const int width = viewport()->width();
    if (row.left() >= 0 && nameEnd <= width)
        return;
    QScrollBar* bar = horizontalScrollBar();
    const int fromLeft = bar->value() + row.left() - indentation();
    const int toShowEnd = bar->value() + nameEnd - width;
    bar->setValue(std::max(0, std::min(fromLeft, std::max(toShowEnd, bar->value()))));
}

void FolderTree::watchCurrent()
{
    const QStringList watched = m_watcher->directories();
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    // A folder that went between the test for it and the watch is handled once we are back in
    // the event loop.
    if (m_path.isEmpty())
        return;
    if (!m_watcher->addPath(m_path))
        QMetaObject::invokeMethod(
            this, [this] { keepToExistingFolder(); }, Qt::QueuedConnection);
    // A rename shows in the parent folder, not always in the folder itself.
    const QString parent = QFileInfo(m_path).path();
    if (parent != m_path)
        m_watcher->addPath(parent);
}

bool FolderTree::setPath(const QString& path)
{
    if (path.isEmpty() || !isFolder(path))
        return false;
    const QString clean = QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
    const bool changed = clean != m_path;
    m_path = clean;
    m_following = true;
    watchCurrent();
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

bool FolderTree::keepToExistingFolder()
{
    if (m_path.isEmpty() || isFolder(m_path))
        return true;
    const QString gone = m_path;
    // The parent may go too while we move; the loop ends on a folder that is there.
    QString shown = nearestExisting(gone);
    while (!setPath(shown))
        shown = nearestExisting(QFileInfo(shown).path());
    Q_EMIT currentFolderGone(gone, m_path);
    return false;
}

void FolderTree::refresh()
{
    // The model keeps what it has read and a root path it already has is no reason to read
    // again, so a refresh reads into a new model.
    makeModel();
    if (keepToExistingFolder())
        showCurrent();
}

} // namespace app
