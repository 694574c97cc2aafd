#include "app/Navigation.h"

#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/MainWindow.h"
#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/DriveList.h"
#include "desktop/Prompts.h"
#include "fileops/FileCommands.h"
#include "fileops/ShellLaunch.h"
#include "platform/Mci.h"
#include "platform/Shell.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

namespace app
{

namespace
{
// Patterns of the filter list's entries.
const char* const kFilterPatterns[] = {
    "*.*",
    "*.exe",
    "*.txt;*.wri;*.log;*.doc;*.ini;*.bat;*.inf",
    "*.htm;*.html",
    "*.jpg;*.ico;*.bmp;*.gif",
    "*.zip;*.lzh;*.cab",
    "*.jpg;*.ico;*.bmp;*.txt;*.wri;*.log;*.doc;*.ini;*.bat;*.htm;*.html;*.inf;*.lzh;*.zip;*.jtd;"
    "*.cab;*.gif",
    "*.mp3",
    "*.m3u",
};
} // namespace

QStringList droppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

Navigation::Navigation(MainWindow& window, const settings::Settings& settings,
                       platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                       QObject* parent)
    : QObject(parent), m_window(window), m_settings(settings), m_prompts(prompts), m_shell(shell),
      m_mci(mci), m_commands(new fileops::FileCommands(*this, shell, prompts, this))
{

    connect(window.folderTree(), &FolderTree::pathChanged, this, &Navigation::folderChanged);
    connect(window.folderTree(), &FolderTree::currentFolderGone, this,
            [this](const QString& gone, const QString& shown) {
                m_window.panel(3)->setText(QStringLiteral("「") + gone +
                                           QStringLiteral("」がなくなったため、「") + shown +
                                           QStringLiteral("」を表示しています。"));
            });
    connect(window.driveList(), qOverload<int>(&QComboBox::activated), this,
            &Navigation::driveChanged);
    connect(window.driveList(), &platform::DriveList::selectedDriveRemoved, this,
            &Navigation::driveRemoved);
    connect(window.filterList(), qOverload<int>(&QComboBox::activated), this,
            &Navigation::applyFilter);
    connect(window.fileList(), &QAbstractItemView::doubleClicked, this,
            &Navigation::openSelectedFile);
    for (int i = 1; i <= 5; ++i) {
        connect(window.favouriteAction(i), &QAction::triggered, this,
                [this, i] { goToFavourite(i); });
        connect(window.destinationAction(i), &QAction::triggered, this,
                [this, i] { favouriteToDestination(i); });
    }
    QPushButton* favourite = window.favouriteButton();
    connect(favourite, &QPushButton::clicked, this, [this, favourite] {
        m_window.destinationMenu()->popup(favourite->mapToGlobal(QPoint(0, favourite->height())));
    });

    window.folderTree()->viewport()->installEventFilter(this);
    window.folderTree()->installEventFilter(this);
    window.fileList()->viewport()->installEventFilter(this);
    window.fileList()->installEventFilter(this);
    window.destinationBox()->installEventFilter(this);
}

Navigation::~Navigation() = default;

// ---- FileBrowser

QWidget* Navigation::window() const
{
    return &m_window;
}

QString Navigation::currentFolder() const
{
    return m_window.folderTree()->path();
}

bool Navigation::setCurrentFolder(const QString& folder)
{
    return m_window.folderTree()->setPath(folder);
}

QString Navigation::fileListFolder() const
{
    return m_window.fileList()->path();
}

QStringList Navigation::fileListEntries() const
{
    return m_window.fileList()->names();
}

QList<bool> Navigation::fileListSelection() const
{
    return m_window.fileList()->selectionFlags();
}

QString Navigation::selectedFileName() const
{
    return m_window.fileList()->fileName();
}

void Navigation::refreshFileList()
{
    m_window.fileList()->refresh();
}

void Navigation::refreshFolderTree()
{
    m_window.folderTree()->refresh();
}

QString Navigation::destination() const
{
    return m_window.destinationBox()->text();
}

void Navigation::setDestination(const QString& text)
{
    m_window.destinationBox()->setText(text);
}

void Navigation::setAssociationText(const QString& text)
{
    m_window.panel(3)->setText(text);
}

void Navigation::setAssociationFlag(const QString& flag)
{
    m_associationFlag = flag;
}

bool Navigation::recycleOnDelete()
{
    return m_settings.recycle();
}

bool Navigation::noChooserForUnassociated()
{
    return !m_settings.askForApplication();
}

bool Navigation::dragAndDropOff()
{
    return m_settings.fileDragOff();
}

// ---- events

void Navigation::folderChanged(const QString& folder)
{
    // Playback stops on leaving a folder.
    m_mci.send(QStringLiteral("stop Media"));
    m_mci.send(QStringLiteral("close Media"));
    m_window.fileList()->setPath(folder);
    // A folder that cannot be listed is reported, not shown as an empty one.
    if (m_window.fileList()->readFailed()) {
        m_prompts.message(&m_window, QStringLiteral("パスが見つからないか、その他のエラーです。"));
        return;
    }
    platform::DriveList* drives = m_window.driveList();
    drives->setDriveOfPath(folder);
    m_folderOnDrive.insert(drives->selectedMountPoint(), folder);
    if (!platform::setCurrentFolder(folder)) {
        m_prompts.message(&m_window, QStringLiteral("パスが見つからないか、その他のエラーです。"));
        return;
    }
    m_window.showFolderInTitle(folder);
    const preview::MediaWidgets media = m_window.mediaWidgets();
    for (QWidget* widget :
         {static_cast<QWidget*>(m_window.archiveList()), static_cast<QWidget*>(media.status),
          static_cast<QWidget*>(media.stop), static_cast<QWidget*>(media.pause)})
        widget->hide();
    m_window.noticeLabel()->show();
}

void Navigation::driveChanged(int)
{
    platform::DriveList* drives = m_window.driveList();
    const QString mountPoint = drives->selectedMountPoint();
    QString target = m_folderOnDrive.value(mountPoint);
    if (target.isEmpty() || !QFileInfo(target).isDir())
        target = mountPoint;
    if (!QFileInfo(target).isReadable() || !m_window.folderTree()->setPath(target)) {
        m_prompts.message(&m_window, QStringLiteral("デバイスが準備できていません。"));
        drives->setDriveOfPath(currentFolder());
    }
}

void Navigation::driveRemoved()
{
    // The volume was pulled out or unmounted under us: the user is told, and the browser goes
    // to the root, which is always there.
    m_prompts.message(&m_window, QStringLiteral("デバイスが準備できていません。"));
    m_window.folderTree()->setPath(QStringLiteral("/"));
    m_window.driveList()->setDriveOfPath(currentFolder());
}

void Navigation::goToFavourite(int number)
{
    const QString folder = m_window.favouriteFolder(number);
    if (!folder.isEmpty())
        m_window.driveList()->setDriveOfPath(folder);
    if (folder.isEmpty() || !m_window.folderTree()->setPath(folder))
        m_prompts.message(&m_window, QStringLiteral("パスが見つかりません。"));
}

void Navigation::favouriteToDestination(int number)
{
    const QString folder = m_window.favouriteFolder(number);
    setDestination(platform::withSlash(folder));
}

void Navigation::applyFilter(int index)
{
    if (index < 0 || index > 8)
        return;
    m_window.fileList()->setPattern(QString::fromLatin1(kFilterPatterns[index]));
}

void Navigation::openSelectedFile()
{
    const QString name = selectedFileName();
    if (name.isEmpty())
        return;
    const QString folder = platform::withSlash(fileListFolder());
    // The association is looked up now, not taken from an earlier selection, so that the
    // decision is about this file even when the status bar does not show associations; the
    // status bar shows it only when the user has not asked to leave associations out.
    if (!m_settings.showAssociation()) {
        QString program;
        m_associationFlag =
            m_shell.findExecutable(name, folder, program) == platform::Shell::kNoAssociation
                ? QStringLiteral("1")
                : QStringLiteral("0");
    } else {
        fileops::findAssociatedProgram(m_shell, *this, name, folder);
    }
    if (m_associationFlag == QLatin1String("1")) {
        if (!noChooserForUnassociated())
            fileops::chooseApplication(m_shell, folder + name, &m_window);
        return;
    }
    fileops::openWithShell(m_shell, m_prompts, &m_window, folder + name, folder);
}

void Navigation::goBack()
{
    m_window.folderTree()->setPath(m_window.backFolder());
}

void Navigation::refresh()
{
    refreshFolderTree();
    refreshFileList();
}

QStringList Navigation::dragPaths() const
{
    QStringList paths;
    const QString folder = platform::withSlash(fileListFolder());
    const QStringList entries = fileListEntries();
    const QList<bool> selected = fileListSelection();
    for (int i = 0; i < entries.size(); ++i) {
        if (selected.at(i) && QFileInfo::exists(folder + entries.at(i)))
            paths << folder + entries.at(i);
    }
    return paths;
}

void Navigation::startDrag()
{
    const QStringList paths = dragPaths();
    if (paths.isEmpty())
        return;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    auto* data = new QMimeData;
    data->setUrls(urls); // text/uri-list, which every file manager takes
    auto* drag = new QDrag(m_window.fileList());
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

void Navigation::dropFiles(const QStringList& paths)
{
    const QString folder = platform::withSlash(currentFolder());
    QString list;
    int count = 0;
    for (const QString& path : paths) {
        // A file dropped back onto its own folder is already there.
        if (platform::withSlash(QFileInfo(path).absolutePath()) == folder)
            continue;
        list += path + QChar(u'\0');
        ++count;
    }
    if (count == 0)
        return;
    if (count >= 2)
        list += QString(2, QChar(u'\0'));
    // The shell asks before a file of the same name is overwritten.
    platform::Shell::FileOperation copy;
    copy.owner = &m_window;
    copy.operation = platform::Shell::Copy;
    copy.from = list;
    copy.to = folder;
    m_shell.fileOperation(copy);
    refreshFileList();
}

bool Navigation::eventFilter(QObject* watched, QEvent* event)
{
    // The panes are destroyed after the main window's own part (their events still come
    // here then): nothing of the window may be asked once it is no longer a MainWindow.
    if (!qobject_cast<MainWindow*>(static_cast<QObject*>(&m_window)))
        return false;
    if (watched == m_window.folderTree() || watched == m_window.folderTree()->viewport())
        return treeEvent(event);
    if (watched == m_window.fileList() || watched == m_window.fileList()->viewport())
        return fileListEvent(event);
    if (watched == m_window.destinationBox())
        return destinationEvent(event);
    return false;
}

bool Navigation::treeEvent(QEvent* event)
{
    FolderTree* tree = m_window.folderTree();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            m_popupSource = 0;
            m_window.folderMenu()->popup(mouse->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_window.panel(3)->clear();
        m_window.setBackFolder(currentFolder());
        const QString target = tree->pathAt(mouse->position().toPoint());
        if (!target.isEmpty())
            tree->setPath(target);
        return false;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QString target = tree->highlightedPath();
            if (!target.isEmpty())
                tree->setPath(target);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool Navigation::fileListEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            m_commands->deleteFiles();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            openSelectedFile();
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_leftPressed = mouse->button() == Qt::LeftButton;
        m_pressPosition = mouse->position().toPoint();
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_leftPressed || !(mouse->buttons() & Qt::LeftButton) || dragAndDropOff())
            return false;
        if ((mouse->position().toPoint() - m_pressPosition).manhattanLength() <
            QApplication::startDragDistance())
            return false;
        m_leftPressed = false;
        startDrag();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_leftPressed = false;
        if (mouse->button() == Qt::RightButton) {
            m_popupSource = 0;
            m_window.fileMenu()->popup(mouse->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedFiles(drag->mimeData()).isEmpty()) {
            drag->ignore();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        m_window.panel(3)->setText(QStringLiteral("ドロップによりファイルがコピーされました。"));
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (dragAndDropOff() || paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        dropFiles(paths);
        return true;
    }
    default:
        return false;
    }
}

bool Navigation::destinationEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedFiles(drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        // Each dropped path is written in turn, so the last one stays.
        for (const QString& path : paths)
            setDestination(path);
        drop->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

} // namespace app
