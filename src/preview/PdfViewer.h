#pragma once

#include "preview/Viewer.h"

#include "preview/PdfPane.h"

#include <QPointer>

namespace preview
{

// PDF documents in their pane, page by page.
class PdfViewer final : public Viewer
{
public:
    explicit PdfViewer(PdfPane* pane) : m_pane(pane) {}

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    QPointer<PdfPane> m_pane;
};

} // namespace preview
