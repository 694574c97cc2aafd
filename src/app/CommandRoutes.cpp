#include "app/CommandRoutes.h"

#include "app/ArchiveWork.h"
#include "archive/Extraction.h"
#include "archive/MemberCommands.h"

#include "about/AboutDialog.h"
#include "app/FileListBox.h"
#include "app/FolderTree.h"
#include "app/KeyboardCommands.h"
#include "app/MainWindow.h"
#include "app/Navigation.h"
#include "app/ToolbarButtons.h"
#include "desktop/DriveList.h"
#include "desktop/Prompts.h"
#include "editor/PreviewSave.h"
#include "editor/PreviewSearch.h"
#include "editor/TextEditorWindow.h"
#include "editor/TextPrint.h"
#include "fileops/FileCommands.h"
#include "fileops/FileSearchWindow.h"
#include "settings/SettingsForms.h"

#include <QAction>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace app
{

CommandRoutes::CommandRoutes(RouteTargets targets, MainWindow& window, Navigation& navigation,
                             settings::SettingsForms& forms, platform::Prompts& prompts,
                             QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_window(window), m_navigation(navigation),
      m_forms(forms), m_prompts(prompts)
{
    buildRoutes();
    connectRoutes();
    new KeyboardCommands(m_targets, window, navigation, this);
}

CommandRoutes::~CommandRoutes()
{
    // The search window goes with the routes (at shut-down), its search thread stopped.
    delete m_fileSearch.data();
}

void CommandRoutes::buildRoutes()
{
    fileops::FileCommands* files = &m_navigation.commands();
    auto file = [files](void (fileops::FileCommands::*command)()) {
        return [files, command] { (files->*command)(); };
    };
    auto own = [this](void (CommandRoutes::*command)()) {
        return [this, command] { (this->*command)(); };
    };
    using F = fileops::FileCommands;
    using T = ToolbarCommand;
    m_routes = {
        // The toolbar.
        {T::DeleteFiles, "", file(&F::deleteFiles)},
        {T::CopyFullPath, "", file(&F::copyFullPath)},
        {T::CopyToDestination, "", own(&CommandRoutes::copyToDestination)},
        {T::MoveFiles, "", file(&F::moveFiles)},
        {T::FavouriteDrive, "", own(&CommandRoutes::goToFavouriteDrive)},
        {T::FavouriteFolders, "", own(&CommandRoutes::showFavouriteMenu)},
        {T::Settings, "settei", [this] { m_forms.showGeneral(); }},
        {T::Refresh, "", own(&CommandRoutes::refreshLists)},
        {T::Back, "", [this] { m_navigation.goBack(); }},
        {T::Print, "", [this] { m_targets.print->print(); }},
        {T::FindText, "", [this] { m_targets.search->searchFromToolbar(); }},
        {T::About, "", own(&CommandRoutes::showAbout)},
        {T::SaveText, "", [this] { savePreviewText(false); }},
        {T::SaveTextAs, "", [this] { savePreviewText(true); }},
        {T::TextEditor, "tsakusei", own(&CommandRoutes::showTextEditor)},
        // The menus.
        {T::None, "end", [this] { m_window.close(); }},
        {T::None, "help", own(&CommandRoutes::showAboutModal)},
        {T::None, "saisin", [this] { m_navigation.refresh(); }},
        {T::None, "find", own(&CommandRoutes::showFileSearch)},
        {T::None, "net", file(&F::network)},
        // Search in the previewed text.
        {T::None, "tkensaku", [this] { m_targets.search->openDialog(); }},
        {T::None, "tuken", [this] { m_targets.search->searchNext(); }},
        // File and folder commands.
        {T::None, "copy2", file(&F::copyFiles)},
        {T::None, "sakicopy", file(&F::useCurrentFolderAsDestination)},
        {T::None, "idou2", file(&F::moveFiles)},
        {T::None, "midou", file(&F::moveFiles)},
        {T::None, "sakujyo", file(&F::deleteFiles)},
        {T::None, "msakujyo", file(&F::deleteFiles)},
        {T::None, "fsakujyo", file(&F::deleteFolder)},
        {T::None, "mfolder", file(&F::deleteFolder)},
        {T::None, "fcopy", file(&F::copyFolder)},
        {T::None, "fidou", file(&F::moveFolder)},
        {T::None, "fhenkou", file(&F::renameFolder)},
        {T::None, "henkou", file(&F::renameFile)},
        {T::None, "sinki", file(&F::newFolder)},
        {T::None, "shortcut", file(&F::createShortcut)},
        {T::None, "pshortcut", file(&F::createShortcut)},
        {T::None, "mclip", file(&F::copyFullPath)},
        {T::None, "memo", file(&F::openInTextEditor)},
        {T::None, "paint", file(&F::openInImageEditor)},
        {T::None, "puro", file(&F::fileProperties)},
        {T::None, "fpuro2", file(&F::fileProperties)},
        {T::None, "fpuro", file(&F::folderProperties)},
        {T::None, "fopuro", file(&F::folderProperties)},
        // Archives.
        {T::None, "kaitou", [this] { m_targets.archive->extraction().run(); }},
        {T::None, "kaitoup", [this] { m_targets.archive->extraction().run(); }},
        {T::None, "senkaitou", [this] { m_targets.archive->members().extractSelected(); }},
        {T::None, "tuika", [this] { m_targets.archive->members().add(); }},
        {T::None, "assyukuhenkou", [this] { m_targets.archive->members().rename(); }},
        {T::None, "syosaku", [this] { m_targets.archive->members().remove(); }},
        {T::None, "exnakami", [this] { m_targets.archive->listSelfExtracting(); }},
        {T::None, "assyuku", [this] { m_targets.archive->openCompressDialog(); }},
        {T::None, "jidou", [this] { m_targets.archive->selfExtractingFromLzh(); }},
    };
}

void CommandRoutes::connectRoutes()
{
    for (const Route& route : m_routes) {
        if (*route.action == '\0')
            continue;
        if (QAction* action = m_window.menuAction(QString::fromLatin1(route.action)))
            connect(action, &QAction::triggered, this, route.command);
    }
    connect(&m_window, &MainWindow::toolbarButtonClicked, this, &CommandRoutes::runButton);
    // The destination row's buttons.
    fileops::FileCommands& files = m_navigation.commands();
    files.setImageEditorAction(m_window.menuAction(QStringLiteral("paint")));
    connect(m_window.copyButton(), &QPushButton::clicked, &files,
            &fileops::FileCommands::copyToDestination);
    connect(m_window.browseButton(), &QPushButton::clicked, &files,
            &fileops::FileCommands::browseDestination);
}

void CommandRoutes::runButton(int number)
{
    const ToolbarButton* button = toolbarButton(number);
    if (!button || button->command == ToolbarCommand::None)
        return;
    for (const Route& route : m_routes) {
        if (route.button == button->command) {
            route.command();
            return;
        }
    }
}

void CommandRoutes::copyToDestination()
{
    if (m_window.destinationBox()->text().isEmpty())
        m_prompts.message(&m_window, QStringLiteral("コピー先を指定してください。"));
    else
        m_navigation.commands().copySelectedFiles();
}

void CommandRoutes::goToFavouriteDrive()
{
    if (m_window.driveList()->setDrive(m_window.favouriteDrive()))
        m_navigation.driveChanged(m_window.driveList()->currentIndex());
    else
        m_prompts.message(&m_window, QStringLiteral("ドライブの指定が不正です。"));
}

void CommandRoutes::showFavouriteMenu()
{
    m_window.favouriteMenu()->popup(QCursor::pos());
}

void CommandRoutes::refreshLists()
{
    m_window.fileList()->refresh();
    m_window.folderTree()->refresh();
}

void CommandRoutes::showAbout()
{
    about::AboutDialog* dialog = m_targets.about();
    dialog->show();
    dialog->raise();
}

void CommandRoutes::showAboutModal()
{
    m_targets.about()->exec();
}

void CommandRoutes::showFileSearch()
{
    if (!m_fileSearch) {
        m_fileSearch = new fileops::FileSearchWindow(m_prompts, &m_window);
        connect(m_fileSearch, &fileops::FileSearchWindow::fileChosen, this,
                [this](const QString& path) { m_targets.showFile(path); });
        connect(m_fileSearch, &fileops::FileSearchWindow::folderChosen, this,
                [this](const QString& path) { m_window.folderTree()->setPath(path); });
    }
    // A window shown afresh starts in the current folder; an open one keeps what it holds.
    if (!m_fileSearch->isVisible() && !m_fileSearch->isSearching())
        m_fileSearch->setStartFolder(m_window.folderTree()->path());
    m_fileSearch->show();
    m_fileSearch->raise();
    m_fileSearch->activateWindow();
}

void CommandRoutes::showTextEditor()
{
    if (!m_editor)
        m_editor = new editor::TextEditorWindow(m_prompts, &m_window);
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

bool CommandRoutes::closeEditor()
{
    return !m_editor || m_editor->close();
}

void CommandRoutes::savePreviewText(bool asNewName)
{
    editor::PreviewSave save(
        {&m_window, m_window.textViewer(), m_window.currentFileLabel(), m_window.panel(3)},
        m_prompts);
    if (asNewName)
        save.saveAs();
    else
        save.overwrite();
}

} // namespace app
