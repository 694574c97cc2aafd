#pragma once

#include "preview/TextLoader.h"
#include "preview/Viewer.h"

#include <QObject>
#include <QPointer>
#include <QtGlobal>

#include <memory>

class QAction;

namespace preview
{

class EncodingButton;
class RichTextViewer;

// Text-like files in the rich-text viewer; the search entries work while it shows a file.
// The file is read on a worker (a slow mount does not hold the window); a file above
// kLargeAbove bytes goes to the large-file view instead of being read whole.
// The encoding of the text shown is on the status-bar button, which reads it again in another.
class TextViewer final : public Viewer
{
public:
    // 16 MiB: a text of that size is read, decoded and laid out in about a tenth of a second,
    // which a click may take; above it the wait grows with the file and the document's memory
    // grows to several times the file's size.
    static constexpr qint64 kLargeAbove = TextLoader::kLargeAbove;

    TextViewer(RichTextViewer* view, QAction* search, QAction* searchNext,
               EncodingButton* encoding = nullptr);

    void show(const PreviewFile& file) override;
    void hide() override;
    void stop() override;
    void clear() override;

private:
    void enableSearch(bool enabled);
    void showEncoding();

    QPointer<RichTextViewer> m_view;
    QAction* m_search;
    QAction* m_searchNext;
    QPointer<EncodingButton> m_encoding;
    // The context of this viewer's connections: they end with the viewer, which may go before
    // the widgets it shows on (a late load's result then reaches nobody).
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>();
};

} // namespace preview
