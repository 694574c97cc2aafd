#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace platform
{
class Prompts;
}

namespace fileops
{

class FileBrowser;

// "ショートカットの作成": a launcher on the desktop (or in a chosen folder) for the file selected
// in the file list. Opened modally; OK closes it once the launcher is written or has failed.
class ShortcutDialog final : public QDialog
{
    Q_OBJECT
public:
    ShortcutDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent = nullptr);

    // The parent folder of a path: everything before its last separator, "/" for a name in
    // the root; a separator at the end is not counted.
    static QString parentFolderName(const QString& path);

private:
    void sameWorkingFolder(bool checked);
    void chooseLocation();
    void chooseTarget();
    void create();
    // True when the location folder is there, or the user had it made; otherwise says why.
    bool haveLocation(const QString& location);

    platform::Prompts& m_prompts;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_target = nullptr;
    QLineEdit* m_workingFolder = nullptr;
    QLabel* m_location = nullptr;
    QCheckBox* m_sameFolder = nullptr;
};

} // namespace fileops
