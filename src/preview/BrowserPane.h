#pragma once

#include <QString>
#include <QWidget>

class QWebEngineView;
class QWebEngineProfile;

namespace preview {

class LocalOnlyInterceptor;

// The browser pane of the preview area. The browser engine inside it is heavy, so it is made
// on the first page the pane shows, not when the window opens. Offline, it loads local files
// only: every request for another scheme (http, https, ftp, ws, …) is blocked before it
// leaves the engine, so a previewed page cannot reach any network address.
class BrowserPane final : public QWidget {
    Q_OBJECT
public:
    explicit BrowserPane(QWidget* parent = nullptr);
    ~BrowserPane() override;

    void setOffline(bool offline) { m_offline = offline; }
    bool isOffline() const { return m_offline; }
    bool hasEngine() const { return m_view != nullptr; }

    // Shows the local file (creating the engine on first use).
    void navigate(const QString& path);
    // Stops the page being loaded, if any.
    void stop();
    // The engine's view, or null before the first page.
    QWebEngineView* view() const { return m_view; }
    // Requests the offline engine refused so far.
    int blockedRequests() const;

Q_SIGNALS:
    void loadFinished(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createEngine();

    bool m_offline = false;
    QWebEngineProfile* m_profile = nullptr;
    LocalOnlyInterceptor* m_interceptor = nullptr;
    QWebEngineView* m_view = nullptr;
};

} // namespace preview
