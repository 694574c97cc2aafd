#pragma once

#include <QWidget>

namespace preview {

// The browser pane of the preview area. The browser engine inside it is heavy, so it is made
// on the first page the pane shows, not when the window opens; the pane itself only keeps
// the settings the engine is created with.
class BrowserPane final : public QWidget {
    Q_OBJECT
public:
    explicit BrowserPane(QWidget* parent = nullptr);

    // Offline: the engine loads local files only and never reaches the network.
    void setOffline(bool offline) { m_offline = offline; }
    bool isOffline() const { return m_offline; }
    // True once the engine has been created.
    bool hasEngine() const { return m_engine != nullptr; }

private:
    bool m_offline = false;
    QWidget* m_engine = nullptr;
};

} // namespace preview
