#include "fileops/FileCommands.h"

#include "base/NativePath.h"
#include "base/Paths.h"
#include "desktop/Prompts.h"
#include "fileops/FileBrowser.h"
#include "fileops/FolderGuard.h"
#include "fileops/FolderPicker.h"
#include "fileops/NameRules.h"
#include "fileops/NewFolderDialog.h"
#include "fileops/RenameDialog.h"
#include "fileops/ShellLaunch.h"
#include "fileops/ShortcutDialog.h"
#include "platform/Shell.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <cerrno>
#include <cstring>

namespace fileops
{

FileCommands::FileCommands(FileBrowser& browser, platform::Shell& shell, platform::Prompts& prompts,
                           QObject* parent)
    : QObject(parent), m_browser(browser), m_shell(shell), m_prompts(prompts)
{
}

FileCommands::~FileCommands() = default;

clsFileOperation& FileCommands::programInstance()
{
    if (!m_programInstance)
        m_programInstance = std::make_unique<clsFileOperation>(m_shell);
    return *m_programInstance;
}

clsFileOperation& FileCommands::readyProgramInstance()
{
    // Every multi-file routine shows the shell's dialogs, owned by the main window.
    clsFileOperation& operation = programInstance();
    clsFileOperation::Options options = operation.options();
    options.showDialog = true;
    operation.setOptions(options);
    operation.setOwnerWindow(windowHandle());
    return operation;
}

clsFileOperation& FileCommands::windowInstance()
{
    if (!m_windowInstance)
        m_windowInstance = std::make_unique<clsFileOperation>(m_shell);
    return *m_windowInstance;
}

quintptr FileCommands::windowHandle() const
{
    QWidget* window = m_browser.window();
    return window ? static_cast<quintptr>(window->winId()) : 0;
}

void FileCommands::message(const QString& text)
{
    m_prompts.message(m_browser.window(), text);
}

QString FileCommands::sourceList(bool currentFolder, int& count) const
{
    count = 0;
    QString list;
    const QString folder =
        platform::withSlash(currentFolder ? m_browser.currentFolder() : m_browser.fileListFolder());
    const QStringList entries = m_browser.fileListEntries();
    const QList<bool> selected = m_browser.fileListSelection();
    for (int i = 0; i < entries.size() && i < selected.size(); ++i) {
        if (!selected.at(i))
            continue;
        list += folder + entries.at(i) + QChar(u'\0');
        ++count;
    }
    if (count >= 2)
        list += QString(2, QChar(u'\0'));
    return list;
}

void FileCommands::copySelectedFiles()
{
    if (m_browser.destination().isEmpty()) {
        message(QStringLiteral("コピー先を指定してください。"));
        return;
    }
    int count = 0;
    const QString list = sourceList(false, count);
    if (count == 0)
        return;
    readyProgramInstance().mCopy(list, m_browser.destination());
    m_browser.refreshFileList();
}

void FileCommands::moveSelectedFiles()
{
    if (m_browser.destination().isEmpty()) {
        message(QStringLiteral("移動先を指定してください。"));
        return;
    }
    int count = 0;
    const QString list = sourceList(true, count);
    if (count == 0) {
        message(QStringLiteral("エラー発生"));
        return;
    }
    readyProgramInstance().mMove(list, m_browser.destination());
    m_browser.refreshFileList();
}

void FileCommands::deleteSelectedFiles()
{
    int count = 0;
    const QString list = sourceList(false, count);
    if (count == 0) {
        message(QStringLiteral("エラー発生"));
        return;
    }
    readyProgramInstance().mDelete(list);
    m_browser.refreshFileList();
}

void FileCommands::recycleSelectedFiles()
{
    int count = 0;
    const QString list = sourceList(false, count);
    if (count == 0) {
        message(QStringLiteral("エラー発生"));
        return;
    }
    RecycleDelete(m_shell, m_browser.window(), list, false);
    m_browser.refreshFileList();
}

void FileCommands::copyFiles()
{
    if (m_browser.destination().isEmpty()) {
        message(QStringLiteral("コピー先を指定してください。"));
        return;
    }
    copySelectedFiles();
    m_browser.refreshFileList();
}

void FileCommands::copyToDestination()
{
    QString destination = m_browser.destination();
    if (destination.isEmpty())
        return;
    if (!destination.endsWith(QLatin1Char('/'))) {
        destination += QLatin1Char('/');
        m_browser.setDestination(destination);
    }
    if (!QFileInfo(destination).isDir()) {
        const auto answer = m_prompts.message(
            m_browser.window(), QStringLiteral("ディレクトリが存在しません。作成しますか？"),
            QStringLiteral("確認"), platform::Prompts::NoIcon, platform::Prompts::YesNo);
        if (answer != platform::Prompts::Yes)
            return;
        // One level only: a destination whose parent is missing is left to the shell.
        QDir().mkdir(destination);
    }
    copySelectedFiles();
}

void FileCommands::browseDestination()
{
    const QString folder =
        pickFolder(m_prompts, m_browser.window(), QStringLiteral("フォルダを選択してください。"));
    if (!folder.isEmpty())
        m_browser.setDestination(folder);
}

void FileCommands::useCurrentFolderAsDestination()
{
    m_browser.setDestination(m_browser.currentFolder());
}

void FileCommands::moveFiles()
{
    moveSelectedFiles();
}

void FileCommands::deleteFiles()
{
    if (m_browser.recycleOnDelete())
        recycleSelectedFiles();
    else
        deleteSelectedFiles();
}

void FileCommands::deleteFolder()
{
    if (refuseFolder(m_prompts, m_browser.window(), m_browser.currentFolder(),
                     FolderAction::Delete))
        return;
    const QString folder = m_browser.currentFolder() + QChar(u'\0');
    if (m_browser.recycleOnDelete())
        RecycleDelete(m_shell, m_browser.window(), folder, false);
    else
        windowInstance().mDelete(folder);
    m_browser.refreshFolderTree();
}

void FileCommands::copyFolder()
{
    folderToPickedPlace(QStringLiteral("コピー先を選択してください。"), platform::Shell::Copy);
}

void FileCommands::moveFolder()
{
    folderToPickedPlace(QStringLiteral("移動先を選択してください。"), platform::Shell::Move);
}

void FileCommands::folderToPickedPlace(const QString& prompt, int operation)
{
    if (operation == platform::Shell::Move &&
        refuseFolder(m_prompts, m_browser.window(), m_browser.currentFolder(), FolderAction::Move))
        return;
    const QString target = pickFolder(m_prompts, m_browser.window(), prompt);
    if (target.isEmpty())
        return;
    const QString folder = m_browser.currentFolder() + QChar(u'\0');
    if (operation == platform::Shell::Copy)
        windowInstance().mCopy(folder, target);
    else
        windowInstance().mMove(folder, target);
    m_browser.refreshFolderTree();
}

void FileCommands::renameFolder()
{
    const QString current = m_browser.currentFolder();
    if (refuseFolder(m_prompts, m_browser.window(), current, FolderAction::Rename))
        return;
    const QString answer =
        m_prompts.input(m_browser.window(), QStringLiteral("現在のフォルダ名：") + current,
                        QStringLiteral("フォルダ名の変更"), QString());
    if (answer.isEmpty())
        return;
    const QString target = platform::withSlash(QFileInfo(current).path()) + answer;
    // A plain rename of the whole folder path, by its bytes; an existing name is never
    // replaced.
    const int error = isPlainName(answer) ? renameWithoutReplacing(current, target) : EINVAL;
    if (error != 0) {
        QString text;
        if (error == EEXIST || error == ENOTEMPTY)
            text = QStringLiteral("同名のファイルまたはフォルダが存在しています。");
        else if (!isPlainName(answer))
            text = QStringLiteral(
                "このフォルダ名は使えません。「/」や改行などの制御文字を含む名前と「.」「..」は"
                "付けられません。");
        else
            text = QStringLiteral("フォルダ名を変更できませんでした。\n") +
                   platform::displayPath(current) + QStringLiteral("\n") +
                   QString::fromLocal8Bit(std::strerror(error));
        m_prompts.message(m_browser.window(), text);
        return;
    }
    // The view follows the folder to its new name.
    m_browser.setCurrentFolder(target);
}

void FileCommands::copyFullPath()
{
    m_shell.setClipboardText(platform::withSlash(m_browser.currentFolder()) +
                             m_browser.selectedFileName());
}

namespace
{
// The selected file for an editor; with none selected the editor starts empty rather than
// being handed the folder.
QString fileForEditor(const FileBrowser& browser)
{
    const QString name = browser.selectedFileName();
    return name.isEmpty() ? QString() : platform::withSlash(browser.fileListFolder()) + name;
}
} // namespace

void FileCommands::openInTextEditor()
{
    const QString file = fileForEditor(m_browser);
    if (m_shell.startEditor(platform::Shell::Editor::Text, file) == 0)
        message(QStringLiteral("メモ帳の場所が正しくありません。"));
}

void FileCommands::openInImageEditor()
{
    const QString file = fileForEditor(m_browser);
    const qint64 task = m_shell.startEditor(platform::Shell::Editor::Image, file);
    if (task == 0) {
        message(QStringLiteral("メモ帳のパスが不正です。"));
        return;
    }
    if (m_paint)
        m_paint->setEnabled(task != 0);
}

void FileCommands::fileProperties()
{
    showProperties(m_shell,
                   platform::withSlash(m_browser.currentFolder()) + m_browser.selectedFileName(),
                   m_browser.window());
}

void FileCommands::folderProperties()
{
    showProperties(m_shell, m_browser.currentFolder(), m_browser.window());
}

void FileCommands::network()
{
    const QString folder = pickFolder(m_prompts, m_browser.window(),
                                      QStringLiteral("ネットワークドライブを選択してください。"));
    if (!folder.isEmpty())
        m_browser.setCurrentFolder(folder);
}

void FileCommands::renameFile()
{
    // Without a selected file the dialog would offer the folder itself.
    if (m_browser.selectedFileName().isEmpty()) {
        message(QStringLiteral("名前を変更するファイルを選択してください。"));
        return;
    }
    RenameDialog::run(m_browser, m_prompts, m_browser.window());
}

void FileCommands::newFolder()
{
    NewFolderDialog dialog(m_browser, m_prompts, m_browser.window());
    dialog.exec();
}

void FileCommands::createShortcut()
{
    ShortcutDialog dialog(m_browser, m_prompts, m_browser.window());
    dialog.exec();
}

} // namespace fileops
