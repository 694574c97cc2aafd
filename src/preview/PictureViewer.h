#pragma once

#include "preview/Viewer.h"

namespace preview
{

class PicturePane;

// Bitmaps, icons and GIF pictures in the picture box.
class PictureViewer final : public Viewer
{
public:
    explicit PictureViewer(PicturePane* pane) : m_pane(pane) {}

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    PicturePane* m_pane;
};

} // namespace preview
