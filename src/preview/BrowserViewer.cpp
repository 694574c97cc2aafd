#include "preview/BrowserViewer.h"

#include "preview/BrowserPane.h"

namespace preview
{

void BrowserViewer::show(const PreviewFile& file)
{
    m_pane->show();
    m_pane->navigate(file.path);
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
