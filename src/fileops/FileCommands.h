#pragma once

#include "fileops/ClsFileOperation.h"

#include <QObject>
#include <QString>

#include <memory>

class QAction;

namespace platform
{
class Prompts;
class Shell;
} // namespace platform

namespace fileops
{

class FileBrowser;

// The main window's commands on files and folders, and the routines that copy, move and
// delete the selected files of the file list.
class FileCommands final : public QObject
{
    Q_OBJECT
public:
    FileCommands(FileBrowser& browser, platform::Shell& shell, platform::Prompts& prompts,
                 QObject* parent = nullptr);
    ~FileCommands() override;

    // The menu entry "paint", which the image-editor command enables once an editor started.
    void setImageEditorAction(QAction* action) { m_paint = action; }

    // The selected entries of the file list as a shell path list: each full path followed by
    // a NUL, two more NULs when there are two or more. The folder is the file list's, or the
    // current folder for a move. count receives the number of entries.
    QString sourceList(bool currentFolder, int& count) const;

    // The selected files of the file list into the destination box's folder (a box when it
    // is empty), moved there from the current folder, deleted for good, or put in the trash.
    void copySelectedFiles();
    void moveSelectedFiles();
    void deleteSelectedFiles();
    void recycleSelectedFiles();

    // The commands, with the names of the menu entries and buttons they serve.
    void copyFiles();                     // copy2
    void copyToDestination();             // Command2
    void browseDestination();             // Command1
    void useCurrentFolderAsDestination(); // sakicopy
    void moveFiles();                     // idou2, midou
    void deleteFiles();                   // sakujyo, msakujyo
    void deleteFolder();                  // fsakujyo, mfolder
    void copyFolder();                    // fcopy
    void moveFolder();                    // fidou
    void renameFolder();                  // fhenkou
    void copyFullPath();                  // mclip
    void openInTextEditor();              // memo
    void openInImageEditor();             // paint
    void fileProperties();                // puro, fpuro2
    void folderProperties();              // fpuro, fopuro
    void network();                       // net
    void renameFile();                    // henkou
    void newFolder();                     // sinki
    void createShortcut();                // shortcut, pshortcut

    clsFileOperation& programInstance();
    clsFileOperation& windowInstance();

private:
    // The program-wide instance, set to show its dialogs owned by the main window.
    clsFileOperation& readyProgramInstance();
    // Copies or moves the current folder into a folder the user picks.
    void folderToPickedPlace(const QString& prompt, int operation);
    void message(const QString& text);
    quintptr windowHandle() const;

    FileBrowser& m_browser;
    platform::Shell& m_shell;
    platform::Prompts& m_prompts;
    std::unique_ptr<clsFileOperation> m_programInstance;
    std::unique_ptr<clsFileOperation> m_windowInstance;
    QAction* m_paint = nullptr;
};

} // namespace fileops
