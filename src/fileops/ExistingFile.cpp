#include "fileops/ExistingFile.h"

#include "base/FileKind.h"

#include <QFile>

namespace fileops
{

std::optional<QString> existingFile(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    QString file = path;
    if (file.size() > 1 && file.endsWith(QLatin1Char('/')))
        file.chop(1);
    // Opened for reading only when it is a regular file: a FIFO would wait for a writer, a
    // device is not a file the commands can work on.
    QFile opened;
    if (!platform::openRegularFile(file, opened))
        return std::nullopt;
    opened.close();
    return file;
}

} // namespace fileops
