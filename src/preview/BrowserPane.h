#pragma once

#include <QString>
#include <QWidget>

namespace preview
{

class BrowserEngine;
class RichTextViewer;

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
    // Without the engine's module (a separate package): shows the file's text instead, under
    // a line that says why.
    void showAsText(const QString& path);
    bool showsText() const;
    // Stops the page being loaded, if any.
    void stop();
    int blockedRequests() const;

Q_SIGNALS:
    void loadFinished(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool createEngine();
    void hideText();

    bool m_offline = false;
    BrowserEngine* m_engine = nullptr;
    QWidget* m_textArea = nullptr;
    RichTextViewer* m_text = nullptr;
};

// Where the engine module is looked for: the program folder, then the folder of the running
// executable.
QString browserEngineModulePath();

} // namespace preview
