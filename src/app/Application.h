#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QApplication;

namespace platform
{
class Mci;
class Prompts;
class Shell;
} // namespace platform
namespace settings
{
class ExpIni;
class Settings;
class SettingsForms;
} // namespace settings
namespace about
{
class AboutDialog;
class HelpWindow;
} // namespace about
namespace preview
{
class PreviewDispatcher;
}
namespace archive
{
class ArchiverCall;
}
namespace editor
{
class PreviewPrint;
class PreviewSearch;
} // namespace editor

namespace app
{

class ArchiveWork;
class CommandRoutes;
class MainWindow;
class Navigation;

// The folder the file list opens on for this command line (the folder named, or the folder
// of the file named), or empty when it names neither.
QString folderOfCommandLine(const QStringList& arguments);

// The program's life cycle: it makes the main window and the parts that work on it, runs the
// start-up steps in their order, and on close saves the window size, releases the windows,
// stops the media and removes the work folder.
class Application final : public QObject
{
    Q_OBJECT
public:
    // Without an archiver call the libraries of the program folder are called.
    Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                QObject* parent = nullptr);
    Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                archive::ArchiverCall& archiver, QObject* parent = nullptr);
    ~Application() override;

    // Runs the start-up; arguments are the command line without the program name.
    void startUp(const QStringList& arguments);
    // Opens the file's folder and makes the file current in the file list, which previews it;
    // a file the filter hides is shown by going back to all files.
    void showFile(const QString& path);
    // The manual: through the desktop's browser, else in the program's own browser engine.
    void showHelp(QWidget* owner);
    about::HelpWindow* helpWindow() const;

    MainWindow* mainWindow() const;
    settings::SettingsForms* forms() const { return m_forms.get(); }
    settings::Settings* settings() const { return m_settings.get(); }
    const settings::ExpIni& ini() const { return *m_ini; }
    // The about dialog, loaded (with its versions) when it is not.
    about::AboutDialog* about();
    bool isAboutLoaded() const { return !m_about.isNull(); }

    // The program has been asked to end (SIGTERM, the session ending): running work is
    // cancelled at its next safe point and waited for, questions on the way are turned down,
    // and the window closes as the user would close it once nothing runs any more.
    void requestEnd();
    bool isEndRequested() const { return m_endRequested; }

    // The windows released by the last shutdown, in their order.
    QStringList unloadOrder() const { return m_unloadOrder; }
    bool isShutDown() const { return m_shutDown; }

    Navigation* navigation() const { return m_navigation; }
    preview::PreviewDispatcher* previewDispatcher() const { return m_preview; }
    ArchiveWork* archiveWork() const { return m_archiveWork; }
    // Search in the previewed text (its state lives as long as the program) and its printing.
    editor::PreviewSearch* previewSearch() const { return m_search; }
    editor::PreviewPrint* previewPrint() const { return m_print; }

Q_SIGNALS:
    void shutDownFinished();

private:
    void makeParts();
    void fillFilterList();
    // Makes the file current in the file list, which previews it. False when the list does
    // not hold it.
    bool selectFile(const QString& name);
    // The places of the borders between the panes, from and to the settings file.
    void restorePaneSplit();
    void savePaneSplit();
    void shutdown();
    // One look for requestEnd: cancels what runs, closes the window once nothing does.
    void endWhenIdle();

    platform::Prompts& m_prompts;
    platform::Shell& m_shell;
    platform::Mci& m_mci;
    std::unique_ptr<archive::ArchiverCall> m_ownArchiver;
    archive::ArchiverCall& m_archiver;
    ArchiveWork* m_archiveWork = nullptr;
    Navigation* m_navigation = nullptr;
    preview::PreviewDispatcher* m_preview = nullptr;
    editor::PreviewSearch* m_search = nullptr;
    editor::PreviewPrint* m_print = nullptr;
    CommandRoutes* m_routes = nullptr;
    QPointer<MainWindow> m_window;
    std::unique_ptr<settings::ExpIni> m_ini;
    std::unique_ptr<settings::SettingsForms> m_forms;
    std::unique_ptr<settings::Settings> m_settings;
    QPointer<about::AboutDialog> m_about;
    QPointer<about::HelpWindow> m_help;
    QStringList m_unloadOrder;
    bool m_shutDown = false;
    bool m_endRequested = false;
};

// Defined in Program.cpp.
// Qt's own texts (dialog buttons, file dialogs) in Japanese, and a Japanese font.
void installJapaneseTexts(QApplication& application);

// Starts the program with the desktop's shell: returns the exit code of the event loop.
int runProgram(int argc, char** argv,
               const std::function<std::unique_ptr<platform::Shell>()>& makeShell);

} // namespace app
