#pragma once

#include <QString>

namespace fileops
{

// True when the text can be one entry's name inside a folder: not empty, not "." or "..",
// no separator and no control character (NUL, line breaks, tabs). Anything else would name
// another place than the folder's entry, or a name other programs cannot handle.
bool isPlainName(const QString& name);

// The extension the rename dialog keeps: from the last dot of the old name, the dot included;
// ".html" in lower case whatever case the old name had; empty for a name without one (no
// dot, a dot only at the start as in ".profile", or a dot at the end).
QString keptExtension(const QString& oldName);

// Renames the entry at from to to, by their bytes; an existing entry at to is never replaced.
// Returns 0 on success, otherwise the system's error number (EEXIST for an existing name).
int renameWithoutReplacing(const QString& from, const QString& to);

// Makes one folder level. Returns 0 on success, otherwise the system's error number.
int makeFolder(const QString& path);

} // namespace fileops
