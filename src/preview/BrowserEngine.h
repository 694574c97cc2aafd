#pragma once

#include <QString>
#include <QWidget>

namespace preview
{

// The browser engine behind the browser pane. It lives in a module of its own that is loaded
// on the first page shown, because merely loading the engine's libraries costs the program
// a tenth of a second at start-up.
class BrowserEngine : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~BrowserEngine() override = default;

    virtual void navigate(const QString& path) = 0;
    virtual void stop() = 0;
    // Requests the engine refused because they would have left the computer.
    virtual int blockedRequests() const = 0;

Q_SIGNALS:
    void loadFinished(bool ok);
};

// The module's entry point: makes an engine inside the parent; offline, it loads local files
// only.
using CreateBrowserEngine = BrowserEngine* (*)(QWidget* parent, bool offline);

} // namespace preview
