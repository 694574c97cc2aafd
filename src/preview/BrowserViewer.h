#pragma once

#include "preview/Viewer.h"

#include <QString>

namespace preview
{

class BrowserPane;

// HTML pages and JPEG pictures in the browser pane.
class BrowserViewer final : public Viewer
{
public:
    explicit BrowserViewer(BrowserPane* pane) : m_pane(pane) {}

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

    // An HTML page, by its ending (.htm, .html).
    static bool isPage(const QString& path);

private:
    BrowserPane* m_pane;
};

} // namespace preview
