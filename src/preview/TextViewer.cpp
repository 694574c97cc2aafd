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
    QObject::connect(m_encoding, &EncodingButton::chosen, m_encoding,
                     [this](const QByteArray& chosen) {
                         m_view->reloadAs(chosen);
                         showEncoding();
                     });
    QObject::connect(m_view->largeView(), &LargeTextView::encodingChanged, m_encoding,
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
    if (!m_encoding)
        return;
    const QByteArray encoding = !m_view->isHidden() ? m_view->encoding() : QByteArray();
    m_encoding->showEncoding(encoding);
    m_encoding->setVisible(!encoding.isEmpty());
}

void TextViewer::show(const PreviewFile& file)
{
    m_view->show();
    enableSearch(true);
    // A file that cannot be read leaves the text shown before.
    const platform::FileStatus status = platform::fileStatus(file.path);
    if (status.kind == platform::FileKind::Regular && status.size > kLargeAbove)
        m_view->loadLargeFile(file.path);
    else
        m_view->loadFile(file.path);
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
    // The large-file view's index and search workers stop; a small text is read whole when
    // it is shown, so nothing of it goes on afterwards.
    m_view->stopLoading();
}

void TextViewer::clear()
{
    m_view->clear();
    showEncoding();
}

} // namespace preview
