#pragma once

#include <QString>

// Shortcuts on the Linux desktop: a shortcut is a freedesktop launcher (a ".desktop" file of
// type Application) that opens its target with the desktop's default application, or runs
// it when the target is an executable program.
namespace platform
{

enum class ShortcutReplace { Never, Existing };

// The launcher file written for a link path: the path with ".desktop" appended unless it
// already ends in it.
QString shortcutFileOf(const QString& link);

// Writes the launcher for link (see shortcutFileOf) to target, starting in workingFolder when
// it is not empty. The title is not written: the launcher's name is the link's file name
// without ".desktop". The file is executable and marked trusted for the desktops that ask for
// that before they start a launcher (a desktop without that mark is no failure). An existing
// file is only replaced when asked to, and then in one step. Returns 0 on failure (a name
// that cannot stand in a launcher, a folder that cannot be written to, an existing file),
// non-zero on success. On failure, reason (when given) receives why, in words for the user.
int CreateShortCut(const QString& link, const QString& target, const QString& title,
                   const QString& workingFolder, ShortcutReplace replace = ShortcutReplace::Never,
                   QString* reason = nullptr);

// The user's desktop folder as the freedesktop user-dirs file names it
// ($XDG_CONFIG_HOME/user-dirs.dirs, key XDG_DESKTOP_DIR), otherwise ~/Desktop; without a
// trailing separator.
QString desktopFolder();

// Makes the folder and every missing folder above it (permissions 0755 less the umask).
// 0 when the folder is there afterwards, else the errno of the step that failed.
int makeFolderPath(const QString& folder);

// The words for the user of an errno value.
QString shortcutErrorText(int error);

// Marks the launcher trusted through GIO's file metadata (GNOME's "metadata::trusted" and
// Xfce's checksum of the file). False when the desktop's metadata store is not there.
bool markLauncherTrusted(const QString& file);

} // namespace platform
