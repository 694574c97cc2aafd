#include "preview/PdfViewer.h"

#include "preview/PdfPane.h"

namespace preview
{

void PdfViewer::show(const PreviewFile& file)
{
    if (!m_pane)
        return;
    m_pane->show();
    m_pane->raise();
    m_pane->open(file.path);
}

void PdfViewer::hide()
{
    if (m_pane)
        m_pane->hide();
}

void PdfViewer::stop()
{
    if (m_pane)
        m_pane->stop();
}

void PdfViewer::clear()
{
    if (m_pane)
        m_pane->clear();
}

} // namespace preview
