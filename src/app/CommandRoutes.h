#pragma once

#include "app/ToolbarButtons.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace about
{
class AboutDialog;
}
namespace platform
{
class Prompts;
}
namespace fileops
{
class FileSearchWindow;
}
namespace settings
{
class SettingsForms;
}

namespace editor
{
class PreviewPrint;
class PreviewSearch;
class TextEditorWindow;
} // namespace editor

namespace app
{

class ArchiveWork;
class MainWindow;
class Navigation;

// What the commands and the keys call beyond the window and its navigation: the parts the
// program made before them, and what it does itself.
struct RouteTargets {
    ArchiveWork* archive = nullptr;
    editor::PreviewSearch* search = nullptr;
    editor::PreviewPrint* print = nullptr;
    // The about dialog, made on first use.
    std::function<about::AboutDialog*()> about;
    // Opens the file with its default application.
    std::function<void(const QString& path)> showFile;
    // Opens the manual over the window.
    std::function<void(QWidget* owner)> showHelp;
};

// Where the toolbar's buttons and the menu entries lead: one table of toolbar command (the
// toolbar's own table gives each button's) or menu entry name to command. A button without a
// command (separators, and the buttons whose commands are still to come) does nothing.
class CommandRoutes final : public QObject
{
    Q_OBJECT
public:
    CommandRoutes(RouteTargets targets, MainWindow& window, Navigation& navigation,
                  settings::SettingsForms& forms, platform::Prompts& prompts,
                  QObject* parent = nullptr);
    ~CommandRoutes() override;

    // Runs the command of toolbar button number (separators count).
    void runButton(int number);
    // Closes the text editor as its own close does (asking about unsaved edits); false when
    // the user keeps it open.
    bool closeEditor();

private:
    struct Route {
        ToolbarCommand button; // None for a menu entry alone
        const char* action;    // menu entry name, "" for none
        std::function<void()> command;
    };

    void buildRoutes();
    void connectRoutes();
    // Button 3: the destination must be given first.
    void copyToDestination();
    // Button 6: the drive list goes to the favourite drive.
    void goToFavouriteDrive();
    void showFavouriteMenu();
    void refreshLists();
    void showAbout();
    void showAboutModal();
    void showFileSearch();
    // Button 19 and tsakusei: the text editor, not modal; a second request raises it.
    void showTextEditor();
    // Buttons 11 and 12: the preview's text saved back, or under a new name.
    void savePreviewText(bool asNewName);

    RouteTargets m_targets;
    MainWindow& m_window;
    Navigation& m_navigation;
    settings::SettingsForms& m_forms;
    platform::Prompts& m_prompts;
    std::vector<Route> m_routes;
    QPointer<fileops::FileSearchWindow> m_fileSearch;
    QPointer<editor::TextEditorWindow> m_editor;
};

} // namespace app
