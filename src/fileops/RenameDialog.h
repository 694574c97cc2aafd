#pragma once

#include <QDialog>

class QCheckBox;
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

// "ファイル名の変更": renames the file selected in the file list inside the current folder,
// optionally keeping its extension. Opened modally; a failed rename tells the user and ends
// the dialog with Reopen, so that the caller shows it afresh.
class RenameDialog final : public QDialog
{
    Q_OBJECT
public:
    enum Outcome { Cancelled = QDialog::Rejected, Renamed = QDialog::Accepted, Reopen = 2 };

    RenameDialog(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent = nullptr);

    // Shows the dialog until it is cancelled or a rename succeeds.
    static void run(FileBrowser& browser, platform::Prompts& prompts, QWidget* parent);

private:
    void renameFile();
    void failed(int error, const QString& name);

    FileBrowser& m_browser;
    platform::Prompts& m_prompts;
    QString m_oldPath; // the real path, bytes that are not UTF-8 included
    QLabel* m_oldName = nullptr;
    QLineEdit* m_newName = nullptr;
    QCheckBox* m_keepExtension = nullptr;
    QLineEdit* m_work = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace fileops
