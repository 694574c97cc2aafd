#include "preview/MarkdownViewer.h"

#include "preview/MarkdownPane.h"

namespace preview
{

void MarkdownViewer::show(const PreviewFile& file)
{
    if (!m_pane)
        return;
    m_pane->show();
    m_pane->raise();
    m_pane->open(file.path);
}

void MarkdownViewer::hide()
{
    if (m_pane)
        m_pane->hide();
}

void MarkdownViewer::stop()
{
    if (m_pane)
        m_pane->stop();
}

void MarkdownViewer::clear()
{
    if (m_pane)
        m_pane->clear();
}

} // namespace preview
