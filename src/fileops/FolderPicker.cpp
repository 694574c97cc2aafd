#include "fileops/FolderPicker.h"

#include "desktop/Prompts.h"

namespace fileops
{

namespace
{
QString& lastPicked()
{
    static QString folder;
    return folder;
}
} // namespace

QString pickFolder(platform::Prompts& prompts, QWidget* owner, const QString& prompt)
{
    QString folder = prompts.pickFolder(owner, prompt);
    folder.remove(QChar(u'\0'));
    lastPicked() = folder;
    return folder;
}

QString lastPickedFolder()
{
    return lastPicked();
}

void setLastPickedFolder(const QString& folder)
{
    lastPicked() = folder;
}

} // namespace fileops
