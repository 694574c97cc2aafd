#include "preview/TextViewer.h"

#include "preview/RichTextViewer.h"

#include <QAction>

namespace preview
{

TextViewer::TextViewer(RichTextViewer* view, QAction* search, QAction* searchNext)
    : m_view(view), m_search(search), m_searchNext(searchNext)
{
}

void TextViewer::enableSearch(bool enabled)
{
    for (QAction* action : {m_search, m_searchNext}) {
        if (action)
            action->setEnabled(enabled);
    }
}

void TextViewer::show(const PreviewFile& file)
{
    m_view->show();
    enableSearch(true);
    // A file that cannot be read leaves the text shown before.
    m_view->loadFile(file.path);
}

void TextViewer::hide()
{
    m_view->hide();
    enableSearch(false);
}

void TextViewer::stop()
{
    // A text is read whole when it is shown; nothing goes on afterwards.
}

void TextViewer::clear()
{
    m_view->clear();
}

} // namespace preview
