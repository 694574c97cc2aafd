#pragma once

#include <QString>

class QWidget;

namespace platform
{
class Prompts;
class Shell;
} // namespace platform

namespace fileops
{

class FileBrowser;

// The folder picker: the chosen folder, or "" when cancelled. The result is also kept as the
// last picked folder.
QString PickFolder(platform::Prompts& prompts, QWidget* owner, const QString& prompt);
QString lastPickedFolder();
// Extraction into a folder it has just made records that folder as the last picked one.
void setLastPickedFolder(const QString& folder);

// Opens the file with its application; a failure shows its message box, with the system's
// reason on a second line when it gave one. True when the application was started.
bool OpenWithShell(platform::Shell& shell, platform::Prompts& prompts, QWidget* owner,
                   const QString& file, const QString& directory);
// The message OpenWithShell shows for a result below 31 (empty for 31 and above).
QString openErrorText(int result);

// Looks up the file's application: writes it (or "関連づけられていません。") into status panel 3
// and sets the association flag ("1" when there is none, "0" otherwise).
void FindAssociatedProgram(platform::Shell& shell, FileBrowser& browser, const QString& file,
                           const QString& directory);

// The chooser of an application to open the file with.
void OpenAsDialog(platform::Shell& shell, const QString& path, QWidget* owner);

// The properties window of a file or folder.
int ShowProperties(platform::Shell& shell, const QString& path, QWidget* owner);

// The program folder with one trailing separator.
QString ProgramFolderSlash();

// True when the path names a regular file that can be opened for reading (folders, FIFOs,
// sockets and devices give false, and are never opened). A trailing separator is removed
// from the caller's text first.
bool FileExists(QString& path);

// The text between two double quotes.
QString QuoteText(const QString& text);

// The name part of a path (after the last separator), at most 260 characters.
QString FileNamePart(const QString& path);

} // namespace fileops
