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
    m_routes = {
        // The toolbar.
        {1, "", file(&F::deleteFiles)},
        {2, "", file(&F::copyFullPath)},
        {3, "", own(&CommandRoutes::copyToDestination)},
        {4, "", file(&F::moveFiles)},
        {6, "", own(&CommandRoutes::goToFavouriteDrive)},
        {7, "", own(&CommandRoutes::showFavouriteMenu)},
        {9, "settei", [this] { m_forms.showGeneral(); }},
        {15, "", own(&CommandRoutes::refreshLists)},
        {16, "", [this] { m_navigation.goBack(); }},
        {13, "", [this] { m_targets.print->print(); }},
        {18, "", [this] { m_targets.search->searchFromToolbar(); }},
        {21, "", own(&CommandRoutes::showAbout)},
        {11, "", [this] { savePreviewText(false); }},
        {12, "", [this] { savePreviewText(true); }},
        {19, "tsakusei", own(&CommandRoutes::showTextEditor)},
        // The menus.
        {0, "end", [this] { m_window.close(); }},
        {0, "help", own(&CommandRoutes::showAboutModal)},
        {0, "saisin", [this] { m_navigation.refresh(); }},
        {0, "find", own(&CommandRoutes::showFileSearch)},
        {0, "net", file(&F::network)},
        // Search in the previewed text.
        {0, "tkensaku", [this] { m_targets.search->openDialog(); }},
        {0, "tuken", [this] { m_targets.search->searchNext(); }},
        // File and folder commands.
        {0, "copy2", file(&F::copyFiles)},
        {0, "sakicopy", file(&F::useCurrentFolderAsDestination)},
        {0, "idou2", file(&F::moveFiles)},
        {0, "midou", file(&F::moveFiles)},
        {0, "sakujyo", file(&F::deleteFiles)},
        {0, "msakujyo", file(&F::deleteFiles)},
        {0, "fsakujyo", file(&F::deleteFolder)},
        {0, "mfolder", file(&F::deleteFolder)},
        {0, "fcopy", file(&F::copyFolder)},
        {0, "fidou", file(&F::moveFolder)},
        {0, "fhenkou", file(&F::renameFolder)},
        {0, "henkou", file(&F::renameFile)},
        {0, "sinki", file(&F::newFolder)},
        {0, "shortcut", file(&F::createShortcut)},
        {0, "pshortcut", file(&F::createShortcut)},
        {0, "mclip", file(&F::copyFullPath)},
        {0, "memo", file(&F::openInTextEditor)},
        {0, "paint", file(&F::openInImageEditor)},
        {0, "puro", file(&F::fileProperties)},
        {0, "fpuro2", file(&F::fileProperties)},
        {0, "fpuro", file(&F::folderProperties)},
        {0, "fopuro", file(&F::folderProperties)},
        // Archives.
        {0, "kaitou", [this] { m_targets.archive->extraction().run(); }},
        {0, "kaitoup", [this] { m_targets.archive->extraction().run(); }},
        {0, "senkaitou", [this] { m_targets.archive->members().extractSelected(); }},
        {0, "tuika", [this] { m_targets.archive->members().add(); }},
        {0, "assyukuhenkou", [this] { m_targets.archive->members().rename(); }},
        {0, "syosaku", [this] { m_targets.archive->members().remove(); }},
        {0, "exnakami", [this] { m_targets.archive->listSelfExtracting(); }},
        {0, "assyuku", [this] { m_targets.archive->openCompressDialog(); }},
        {0, "jidou", [this] { m_targets.archive->selfExtractingFromLzh(); }},
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
    if (number <= 0)
        return;
    for (const Route& route : m_routes) {
        if (route.button == number) {
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
