#pragma once

#include "preview/Viewer.h"

namespace preview
{

class MediaPanel;

// The title and artist lines of an MP3 file's tag.
class TagViewer final : public Viewer
{
public:
    explicit TagViewer(MediaPanel& panel) : m_panel(panel) {}

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    MediaPanel& m_panel;
};

} // namespace preview
