#include "preview/TextViewer.h"

#include "base/FileKind.h"
#include "preview/EncodingButton.h"
#include "preview/LargeTextView.h"
#include "preview/RichTextViewer.h"

#include <QAction>

namespace preview
{

TextViewer::TextViewer(RichTextViewer* view, QAction* search, QAction* searchNext,
                       EncodingButton* encoding)
    : m_view(view), m_search(search), m_searchNext(searchNext), m_encoding(encoding)
{
    if (!m_encoding)
        return;
    // A text read after the click ends shows its encoding once it is there.
    QObject::connect(m_view, &RichTextViewer::loadFinished, m_context.get(),
                     [this] { showEncoding(); });
    QObject::connect(m_encoding, &EncodingButton::chosen, m_context.get(),
                     [this](const QByteArray& chosen) {
                         if (!m_view)
                             return;
                         m_view->reloadAs(chosen);
                         showEncoding();
                     });
    QObject::connect(m_view->largeView(), &LargeTextView::encodingChanged, m_context.get(),
                     [this] { showEncoding(); });
}

void TextViewer::enableSearch(bool enabled)
{
    for (QAction* action : {m_search, m_searchNext}) {
        if (action)
            action->setEnabled(enabled);
    }
}

void TextViewer::showEncoding()
{
    if (!m_encoding || !m_view)
        return;
    const QByteArray encoding = !m_view->isHidden() ? m_view->encoding() : QByteArray();
    m_encoding->showEncoding(encoding);
    m_encoding->setVisible(!encoding.isEmpty());
}

void TextViewer::show(const PreviewFile& file)
{
    m_view->show();
    enableSearch(true);
    m_view->open(file.path);
    showEncoding();
}

void TextViewer::hide()
{
    m_view->hide();
    enableSearch(false);
    showEncoding();
}

void TextViewer::stop()
{
    // The large-file view's index and search workers stop, a text still being read is dropped.
    m_view->stopLoading();
}

void TextViewer::clear()
{
    m_view->clear();
    showEncoding();
}

} // namespace preview
