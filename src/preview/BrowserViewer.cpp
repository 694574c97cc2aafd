#include "preview/BrowserViewer.h"

#include "preview/BrowserPane.h"

namespace preview
{

void BrowserViewer::show(const PreviewFile& file)
{
    m_pane->show();
    // Without the browser module (it comes in a package of its own) a page is shown as text.
    if (!m_pane->navigate(file.path) && isPage(file.path))
        m_pane->showAsText(file.path);
}

bool BrowserViewer::isPage(const QString& path)
{
    const QString lower = path.toLower();
    return lower.endsWith(QLatin1String(".htm")) || lower.endsWith(QLatin1String(".html"));
}

void BrowserViewer::hide()
{
    m_pane->hide();
}

void BrowserViewer::stop()
{
    m_pane->stop();
}

void BrowserViewer::clear()
{
    // Emptying the page would load the engine for nothing; the next page replaces this one,
    // and a page still loading stops.
    m_pane->stop();
}

} // namespace preview
