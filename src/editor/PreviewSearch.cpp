#include "editor/PreviewSearch.h"

#include "desktop/Prompts.h"
#include "editor/FindDialog.h"
#include "preview/LargeTextView.h"
#include "preview/RichTextViewer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace editor
{

PreviewSearch::PreviewSearch(preview::RichTextViewer* viewer, QLabel* statusPanel,
                             platform::Prompts& prompts, QWidget* window, QObject* parent)
    : QObject(parent), m_viewer(viewer), m_statusPanel(statusPanel), m_prompts(prompts),
      m_window(window)
{
}

PreviewSearch::~PreviewSearch()
{
    delete m_dialog.data();
}

FindDialog* PreviewSearch::dialog() const
{
    return m_dialog.data();
}

void PreviewSearch::openDialog()
{
    m_state.direction = SearchDirection::Down;
    if (!m_dialog) {
        // Made anew each time: the text box opens empty, the case box unchecked, "検索(&F)"
        // disabled; the stored text and case option stay what they were.
        m_dialog = new FindDialog(m_state, m_window);
        connect(m_dialog, &FindDialog::findRequested, this, &PreviewSearch::findNext);
    }
    m_dialog->showDirection();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void PreviewSearch::searchNext()
{
    if (m_state.text.isEmpty())
        openDialog();
    else
        findNext();
}

void PreviewSearch::searchFromToolbar()
{
    if (!m_viewer->isHidden())
        openDialog();
    else if (m_statusPanel)
        m_statusPanel->setText(QStringLiteral("検索はテキストボックスの時のみ有効です。"));
}

void PreviewSearch::findNext()
{
    if (m_viewer->isLarge() && m_viewer->largeView()) {
        // A file shown in the large-file view is searched whole on a worker by the same rules;
        // the view selects the match or tells that there is none.
        m_viewer->largeView()->findNext(m_state.text, m_state.matchCase,
                                        m_state.direction == SearchDirection::Down,
                                        m_state.restart);
        m_state.restart = false;
        return;
    }
    const int caret = m_viewer->selStart();
    qsizetype position = 0;
    if (SearchPattern(m_state.text, m_state.matchCase).holdsLineEnd()) {
        position = editor::findNext(m_viewer->text(), caret, m_state);
    } else {
        // Block by block, as far as the search goes: a large text is not copied whole.
        const QTextDocument* document = m_viewer->document();
        const PieceAt pieceAt = [document](qsizetype index, QString& piece, qsizetype& start) {
            const QTextBlock block = document->findBlock(int(index));
            if (!block.isValid())
                return false;
            piece = block.text();
            start = block.position();
            return true;
        };
        position = editor::findNext(pieceAt, caret, m_state);
    }
    if (position > 0) {
        m_viewer->setSelection(int(position - 1), int(m_state.text.size()));
        if (m_viewer->isRichText())
            m_viewer->richView()->ensureCursorVisible();
        else
            m_viewer->plainView()->ensureCursorVisible();
    } else {
        QWidget* owner = m_dialog ? static_cast<QWidget*>(m_dialog.data()) : m_window;
        m_prompts.message(owner, notFoundText(m_state.text), QString(),
                          platform::Prompts::Information);
    }
    // The selection start the box shows now is where the next search continues from.
    m_state.lastPos = m_viewer->selStart();
}

} // namespace editor
