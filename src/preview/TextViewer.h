#pragma once

#include "preview/Viewer.h"

class QAction;

namespace preview
{

class RichTextViewer;

// Text-like files in the rich-text viewer; the search entries work while it shows a file.
class TextViewer final : public Viewer
{
public:
    TextViewer(RichTextViewer* view, QAction* search, QAction* searchNext);

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    void enableSearch(bool enabled);

    RichTextViewer* m_view;
    QAction* m_search;
    QAction* m_searchNext;
};

} // namespace preview
