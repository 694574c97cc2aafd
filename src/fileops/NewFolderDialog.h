#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace platform
{
class Prompts;
}

namespace fileops
{

class FileBrowser;

// "新規フォルダの作成": makes one folder inside the current folder. Opened modally; it stays
// open with the typed name when the folder cannot be made.
class NewFolderDialog final : public QDialog
{
    Q_OBJECT
public:
    NewFolderDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent = nullptr);

private:
    void makeFolder();

    FileBrowser& m_browser;
    platform::Prompts& m_prompts;
    QString m_folder; // the folder with its separator
    QLabel* m_parent = nullptr;
    QLineEdit* m_name = nullptr;
};

} // namespace fileops
