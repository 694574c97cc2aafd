#include "preview/MediaViewer.h"

#include "platform/Mci.h"
#include "preview/MediaPanel.h"

namespace preview
{

void MediaViewer::show(const PreviewFile& file)
{
    // Pictures of a video appear in the media area, under the media controls.
    if (m_area) {
        m_area->show();
        m_area->raise();
    }
    m_panel.raiseControls();
    m_panel.startMedia(file.mediaPath);
}

void MediaViewer::hide()
{
    m_panel.hideControls();
    if (m_area)
        m_area->hide();
}

void MediaViewer::stop()
{
    m_mci.send(QStringLiteral("stop Media"));
    m_mci.send(QStringLiteral("close Media"));
}

void MediaViewer::clear()
{
    // Nothing is kept between files: the device is closed when the viewer stops.
}

} // namespace preview
