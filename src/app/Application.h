#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QApplication;

namespace platform {
class Mci;
class Prompts;
class Shell;
} // namespace platform
namespace settings {
class ExpIni;
class SettingsForms;
} // namespace settings
namespace about {
class AboutDialog;
}
namespace preview {
class MediaPanel;
class PreviewDispatcher;
struct PreviewViewers;
} // namespace preview

namespace app {

class MainWindow;
class Navigation;

// The program's life cycle: it makes the main window, runs the start-up steps in their
// order, keeps the dialogs that hold the settings, and on close saves the window size,
// releases the windows, stops the media and removes the work folder.
class Application final : public QObject {
    Q_OBJECT
public:
    Application(platform::Prompts& prompts, platform::Shell& shell, platform::Mci& mci,
                QObject* parent = nullptr);
    ~Application() override;

    // Runs the start-up; arguments are the command line without the program name.
    void startUp(const QStringList& arguments);

    MainWindow* mainWindow() const;
    settings::SettingsForms* forms() const { return m_forms.get(); }
    const settings::ExpIni& ini() const { return *m_ini; }
    // The about dialog, loaded (with its versions) when it is not.
    about::AboutDialog* about();
    bool isAboutLoaded() const { return !m_about.isNull(); }

    // The windows released by the last shutdown, in their order.
    QStringList unloadOrder() const { return m_unloadOrder; }
    bool isShutDown() const { return m_shutDown; }

    Navigation* navigation() const { return m_navigation; }
    preview::PreviewDispatcher* previewDispatcher() const { return m_preview; }

Q_SIGNALS:
    void shutDownFinished();

private:
    preview::PreviewViewers previewViewers();
    void readFavourites();
    void loadPreviewSettings();
    void loadCustomRules();
    void loadGeneralSettings();
    void loadAbout();
    bool restoreWindowSize();
    bool finishSettings();
    void applyGeneralSettings();
    void toolbarButton(int number);
    void shutdown();
    void saveWindowSize();

    platform::Prompts& m_prompts;
    platform::Shell& m_shell;
    platform::Mci& m_mci;
    Navigation* m_navigation = nullptr;
    preview::PreviewDispatcher* m_preview = nullptr;
    preview::MediaPanel* m_media = nullptr;
    QPointer<MainWindow> m_window;
    std::unique_ptr<settings::ExpIni> m_ini;
    std::unique_ptr<settings::SettingsForms> m_forms;
    QPointer<about::AboutDialog> m_about;
    QStringList m_unloadOrder;
    bool m_shutDown = false;
};

// The window's outer size (frame included) in pixels, and setting it.
QSize outerSize(const QWidget* window);
void setOuterWidth(QWidget* window, int width);
void setOuterHeight(QWidget* window, int height);

// Qt's own texts (dialog buttons, file dialogs) in Japanese, and a Japanese font.
void installJapaneseTexts(QApplication& application);

// Starts the program with the desktop's shell: returns the exit code of the event loop.
int runProgram(int argc, char** argv,
               const std::function<std::unique_ptr<platform::Shell>()>& makeShell);

} // namespace app
