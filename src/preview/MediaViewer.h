#pragma once

#include "preview/Viewer.h"

#include <QPointer>
#include <QWidget>

namespace platform
{
class Mci;
}

namespace preview
{

class MediaPanel;

// Sound and video files played in place: the media controls, and the area a video is drawn
// in over the other viewers.
class MediaViewer final : public Viewer
{
public:
    MediaViewer(MediaPanel& panel, platform::Mci& mci) : m_panel(panel), m_mci(mci) {}

    // The area the media device draws video into; there may be none (no video output).
    void setArea(QWidget* area) { m_area = area; }

    void show(const PreviewFile& file) override;
    void hide() override;
    // Stops and closes the device, whether or not anything is open.
    void stop() override;
    void clear() override;

private:
    MediaPanel& m_panel;
    platform::Mci& m_mci;
    QPointer<QWidget> m_area;
};
} // namespace preview
