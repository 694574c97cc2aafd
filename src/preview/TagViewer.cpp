#include "preview/TagViewer.h"

#include "preview/MediaPanel.h"

namespace preview
{

void TagViewer::show(const PreviewFile& file)
{
    m_panel.showTag(file.path);
}

void TagViewer::hide()
{
    m_panel.hideTag();
}

void TagViewer::stop()
{
    // The tag is read when shown; nothing goes on afterwards.
}

void TagViewer::clear()
{
    m_panel.clearTag();
}

} // namespace preview
