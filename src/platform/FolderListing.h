#pragma once

#include <QString>
#include <QStringList>

namespace platform
{

// The names of the files in a folder (not folders; links to files count as files), read with
// the file types the directory itself records, so that a large folder is listed without one
// status call per entry. Dot files are left out. FIFOs, sockets and devices are listed (and
// never opened). Names that are not valid UTF-8 come as their bytes (see NativePath.h). ok, when
// given, tells whether the folder could be read at all (a missing or unreadable folder gives no
// names and false).
QStringList fileNamesIn(const QString& folder, bool* ok = nullptr);

// The names of the folders in a folder (links to folders count as folders), read the same way:
// dot folders are left out, names that are not valid UTF-8 come as their bytes.
QStringList folderNamesIn(const QString& folder, bool* ok = nullptr);

} // namespace platform
