#include "app/WorkFolder.h"

#include "platform/FolderDeletion.h"
#include "platform/Paths.h"

#include <QDir>

namespace app
{

QString workFolderPath()
{
    return platform::withSlash(platform::programFolder()) + QStringLiteral("temp/");
}

void prepareWorkFolder()
{
    deleteFolderTree(workFolderPath());
    // Fails harmlessly when the folder could not be removed and is still there.
    QDir().mkdir(platform::withSlash(platform::programFolder()) + QStringLiteral("temp"));
}

void deleteFolderTree(const QString& path)
{
    platform::deleteFolderTree(path);
}

} // namespace app
