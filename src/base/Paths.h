#pragma once

#include <QString>

namespace platform
{

// The program folder: where the program's own parts are (the archiver libraries, the browser
// module, the self-extracting stub), without a trailing separator unless it is the root. It is
// the folder of the running executable, unless that folder holds no archiver library and the
// installed library folder beside it (../lib/koramo) does. Tests point it at a temporary folder.
QString programFolder();
void setProgramFolder(const QString& folder);

// The program folder for an executable in the given folder (see programFolder()).
QString programFolderOf(const QString& executableFolder);

// The folder of the program's documents (the help): PREFIX/share/koramo for a program whose parts
// are installed in PREFIX/lib/koramo, otherwise the program folder itself.
QString dataFolderOf(const QString& programFolder);

// True when exp.ini and the work folder live in the program folder: it is the executable's own
// folder (a build folder, a copy on a stick) and the user may write to it. Otherwise they live
// in the user's configuration and cache folders.
bool keepsFilesBesideProgram();

// The folder of exp.ini: the program folder, or $XDG_CONFIG_HOME/koramo (made, mode 0700).
QString settingsFolder();
// The settings file: the settings folder followed by "/exp.ini".
QString settingsFilePath();

// The folder under which each running instance has its own work folder: "temp" in the program
// folder, or $XDG_CACHE_HOME/koramo/temp (mode 0700). Not made here.
QString workFolderRoot();
// Makes the work-folder root (and, outside the program folder, its parent) when missing.
bool makeWorkFolderRoot();

// The path with one trailing separator appended when it does not already end in one. An empty
// path stays empty (it is no folder, least of all the root).
QString withSlash(const QString& path);

// The part after the last separator.
QString namePart(const QString& path);

// True when the path is a mount point or the root of the file system (a "drive root").
bool isDriveRoot(const QString& path);

} // namespace platform
