#pragma once

#include "preview/Viewer.h"

#include "preview/MarkdownPane.h"

#include <QPointer>

namespace preview
{

// Markdown files, rendered in their pane.
class MarkdownViewer final : public Viewer
{
public:
    explicit MarkdownViewer(MarkdownPane* pane) : m_pane(pane) {}

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    QPointer<MarkdownPane> m_pane;
};

} // namespace preview
