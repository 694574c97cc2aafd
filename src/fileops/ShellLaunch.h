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

// Opens the file with its application; a failure shows its message box, with the system's
// reason on a second line when it gave one. True when the application was started.
bool openWithShell(platform::Shell& shell, platform::Prompts& prompts, QWidget* owner,
                   const QString& file, const QString& directory);
// The message openWithShell shows for a result below 31 (empty for 31 and above).
QString openErrorText(int result);

// Looks up the file's application: writes it (or "関連づけられていません。") into status panel 3
// and sets the association flag ("1" when there is none, "0" otherwise).
void findAssociatedProgram(platform::Shell& shell, FileBrowser& browser, const QString& file,
                           const QString& directory);

// The chooser of an application to open the file with.
void chooseApplication(platform::Shell& shell, const QString& path, QWidget* owner);

// The properties window of a file or folder.
int showProperties(platform::Shell& shell, const QString& path, QWidget* owner);

} // namespace fileops
