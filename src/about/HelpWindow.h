#pragma once

#include <QWidget>

namespace preview
{
class BrowserPane;
}

namespace about
{

// The manual in the program's own browser engine, for a desktop where no browser opens it.
// Offline: the manual's links to the network are not followed.
class HelpWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the file and brings the window to the front; false when the engine cannot be
    // loaded (the window then stays hidden).
    bool showFile(const QString& path);

private:
    preview::BrowserPane* m_browser;
};

} // namespace about
