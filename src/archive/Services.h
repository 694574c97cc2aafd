#pragma once

#include "archive/ArchiveFormats.h"
#include "archive/WorkArea.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QTreeWidget;
class QWidget;

namespace platform
{
class Prompts;
class Shell;
} // namespace platform
namespace fileops
{
class FileBrowser;
}

namespace archive
{

class ArchiverCall;
class Extraction;
class MemberCommands;

// What archive work needs of the program around it: one set, filled once by the main window's
// archive work and handed to extraction, the member commands, the member list's events and
// compression. Each leaves alone what it does not use; a test fills what its part needs.
struct Services {
    platform::Prompts* prompts = nullptr;
    platform::Shell* shell = nullptr;
    fileops::FileBrowser* browser = nullptr;
    ArchiverCall* archiver = nullptr;
    // The main window: it owns the libraries' own dialogs and the result windows.
    QWidget* mainWindow = nullptr;

    // Extraction. True when the user is to be asked whether to show the extracted files.
    std::function<bool()> askToShowExtracted;
    // The family whose library reads the file at the path: a self-extracting archive listed
    // through its LZH payload is LZH. Without it the file's name decides.
    std::function<std::optional<Family>(const QString& path)> familyOf;

    // The member list, and the extraction that shows the member commands' reports.
    QTreeWidget* list = nullptr;
    Extraction* extraction = nullptr;
    // The member commands: the archive shown, and adding to it.
    MemberCommands* members = nullptr;
    // The popup menu of the list and its LZH-only entries (separator, delete, add).
    QMenu* popup = nullptr;
    QList<QAction*> lzhOnlyEntries;
    // Lists the archive again, as it was listed (the preview of the file list's selection, or
    // the payload of a self-extracting archive).
    std::function<void()> relist;

    // The instance's work folder, ending in its separator (or why there is none), and emptying
    // it. Each extraction for the member list goes into a new folder of its own inside it.
    WorkFolderSource workFolder;
    std::function<void()> deleteWorkFolder;
    // Clears the folder "back" returns to.
    std::function<void()> clearBackFolder;
    // True when file drag and drop is not to be used.
    std::function<bool()> dragAndDropOff;

    // Compression: ZIP member names in CP932 without the UTF-8 flag rather than in UTF-8 with
    // it, and keeping the user's choice.
    std::function<bool()> zipNamesInCp932;
    std::function<void(bool)> keepZipNamesInCp932;
};

} // namespace archive
