#pragma once

#include "app/FileListBox.h"
#include "base/NativePath.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

// Folders of many files for the file list's tests, and the rows the list should show for them.
namespace listtest
{

// Makes an empty file under the raw name `name` (any bytes but '/' and NUL); false if it exists
// or cannot be made.
inline bool touch(const QByteArray& folder, const QByteArray& name)
{
    const QByteArray path = folder + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// The names the list shows for these names under the mask, in its order: case-insensitive,
// ties broken by the exact text.
inline QStringList reference(const QStringList& names, const QString& pattern)
{
    QStringList shown;
    for (const QString& name : names) {
        if (app::matchesPattern(name, pattern))
            shown << name;
    }
    std::sort(shown.begin(), shown.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return shown;
}

// The same for files made under these raw names.
inline QStringList reference(const QList<QByteArray>& names, const QString& pattern)
{
    QStringList shown;
    for (const QByteArray& bytes : names)
        shown << platform::fromNativePath(bytes);
    return reference(shown, pattern);
}

} // namespace listtest
