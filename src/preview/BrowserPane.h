#pragma once

#include <QString>
#include <QWidget>

namespace preview
{

class BrowserEngine;

// The browser pane of the preview area. The browser engine is heavy: its module is loaded
// and the engine made on the first page the pane shows, not when the window opens. Offline,
// it loads local files only: every request for another scheme (http, https, ftp, ws, …) is
// refused before it leaves the engine, so a previewed page cannot reach any network address.
class BrowserPane final : public QWidget
{
    Q_OBJECT
public:
    explicit BrowserPane(QWidget* parent = nullptr);
    ~BrowserPane() override;

    void setOffline(bool offline) { m_offline = offline; }
    bool isOffline() const { return m_offline; }
    bool hasEngine() const { return m_engine != nullptr; }

    // Shows the local file (loading the engine on first use). False when the engine's module
    // cannot be loaded.
    bool navigate(const QString& path);
    // Stops the page being loaded, if any.
    void stop();
    int blockedRequests() const;

Q_SIGNALS:
    void loadFinished(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool createEngine();

    bool m_offline = false;
    BrowserEngine* m_engine = nullptr;
};

// Where the engine module is looked for: the program folder, then the folder of the running
// executable.
QString browserEngineModulePath();

} // namespace preview
