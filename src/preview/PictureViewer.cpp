#include "preview/PictureViewer.h"

#include "preview/PicturePane.h"

namespace preview
{

void PictureViewer::show(const PreviewFile& file)
{
    m_pane->show();
    m_pane->loadPicture(file.path);
}

void PictureViewer::hide()
{
    m_pane->hide();
}

void PictureViewer::stop()
{
    // A picture is loaded whole; an animation goes on playing while it is shown.
}

void PictureViewer::clear()
{
    m_pane->clearPicture();
}

} // namespace preview
