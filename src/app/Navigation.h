#pragma once

#include "fileops/FileBrowser.h"

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QString>

class QDropEvent;
class QMimeData;

namespace platform
{
class Mci;
class Prompts;
class Shell;
} // namespace platform
namespace settings
{
class Settings;
}
namespace fileops
{
class FileCommands;
}

namespace app
{

class MainWindow;

// The browser of the main window: the drive list, the folder tree and the file list follow
// each other; favourites, back, the destination row, drag and drop and the popup menus.
class Navigation final : public QObject, public fileops::FileBrowser
{
    Q_OBJECT
public:
    Navigation(MainWindow& window, const settings::Settings& settings, platform::Prompts& prompts,
               platform::Shell& shell, platform::Mci& mci, QObject* parent = nullptr);
    ~Navigation() override;

    fileops::FileCommands& commands() { return *m_commands; }

    // The folder-change procedure, run whenever the folder tree's path changes.
    void folderChanged(const QString& folder);
    // The drive list changed to another drive.
    void driveChanged(int index);
    // The selected drive was unmounted.
    void driveRemoved();
    // Favourite folder n (1..5) as the current folder, or into the destination box.
    void goToFavourite(int number);
    void favouriteToDestination(int number);
    // The filter list's entry by index; outside 0..8 nothing changes.
    void applyFilter(int index);
    // Opens the file list's selected file (double click, Enter).
    void openSelectedFile();
    // Back to the folder in Label17.
    void goBack();
    void refresh();
    // Copies dropped files into the current folder.
    void dropFiles(const QStringList& paths);
    // The full paths of the selected files that exist, as a drag offers them.
    QStringList dragPaths() const;
    // The popup-source marker: 0 after the folder tree's or the file list's popup.
    int popupSource() const { return m_popupSource; }
    void setPopupSource(int marker) { m_popupSource = marker; }

    // FileBrowser
    QWidget* window() const override;
    QString currentFolder() const override;
    bool setCurrentFolder(const QString& folder) override;
    QString fileListFolder() const override;
    QStringList fileListEntries() const override;
    QList<bool> fileListSelection() const override;
    QString selectedFileName() const override;
    void refreshFileList() override;
    void refreshFolderTree() override;
    QString destination() const override;
    void setDestination(const QString& text) override;
    void setAssociationText(const QString& text) override;
    void setAssociationFlag(const QString& flag) override;
    QString associationFlag() const override { return m_associationFlag; }
    bool recycleOnDelete() override;
    bool noChooserForUnassociated() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool dragAndDropOff();
    bool treeEvent(QEvent* event);
    bool fileListEvent(QEvent* event);
    bool destinationEvent(QEvent* event);
    void startDrag();

    MainWindow& m_window;
    const settings::Settings& m_settings;
    platform::Prompts& m_prompts;
    platform::Shell& m_shell;
    platform::Mci& m_mci;
    fileops::FileCommands* m_commands;
    QString m_associationFlag;
    int m_popupSource = 0;
    QPoint m_pressPosition;
    bool m_leftPressed = false;
    // The folder last shown on each drive, so that changing drive returns to it.
    QHash<QString, QString> m_folderOnDrive;
};

// Local file paths of drag data; empty when it holds no files.
QStringList droppedFiles(const QMimeData* data);

} // namespace app
