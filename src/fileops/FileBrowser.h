#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace fileops
{

// What the file and folder commands need of the browser around them: the main window, the
// current folder, the file list and its selection, the destination box, the status bar and
// the settings they follow.
class FileBrowser
{
public:
    virtual ~FileBrowser() = default;

    virtual QWidget* window() const = 0;
    // The folder tree's path.
    virtual QString currentFolder() const = 0;
    // Makes the folder current; false when it cannot be shown.
    virtual bool setCurrentFolder(const QString& folder) = 0;
    // The file list's folder, its entries in list order and which of them are selected.
    virtual QString fileListFolder() const = 0;
    virtual QStringList fileListEntries() const = 0;
    virtual QList<bool> fileListSelection() const = 0;
    // The name of the file list's current entry.
    virtual QString selectedFileName() const = 0;
    virtual void refreshFileList() = 0;
    virtual void refreshFolderTree() = 0;

    // The copy destination box.
    virtual QString destination() const = 0;
    virtual void setDestination(const QString& text) = 0;

    // Status-bar panel 3 and the association flag ("1": the selected file has none).
    virtual void setAssociationText(const QString& text) = 0;
    virtual void setAssociationFlag(const QString& flag) = 0;
    virtual QString associationFlag() const = 0;

    // Settings: deleted files go to the trash; files without an association are not offered
    // to the "open with" chooser.
    virtual bool recycleOnDelete() = 0;
    virtual bool noChooserForUnassociated() = 0;
};

} // namespace fileops
