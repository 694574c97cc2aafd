#pragma once

#include "base/TextSearch.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QWidget;

namespace platform
{
class Prompts;
}
namespace preview
{
class RichTextViewer;
}

namespace editor
{

class FindDialog;

// Search in the text the preview shows: the program-wide search state, the find dialog while it
// is open, and the commands of the search menu and of the toolbar. A match is selected in the
// preview's text box; no match is told in a box.
class PreviewSearch final : public QObject
{
    Q_OBJECT
public:
    PreviewSearch(preview::RichTextViewer* viewer, QLabel* statusPanel, platform::Prompts& prompts,
                  QWidget* window, QObject* parent = nullptr);
    ~PreviewSearch() override;

    // "検索": the direction becomes down and the find dialog shows (it is made when closed).
    void openDialog();
    // "次を検索": finds the next match, or opens the dialog when there is no search text yet.
    void searchNext();
    // The toolbar's search: the dialog while a text is shown, otherwise a word in the status bar.
    void searchFromToolbar();
    // Finds the next match of the search text from the text box's selection start.
    void findNext();

    SearchState& state() { return m_state; }
    // The find dialog while it is open, otherwise nullptr.
    FindDialog* dialog() const;

private:
    preview::RichTextViewer* m_viewer;
    QLabel* m_statusPanel;
    platform::Prompts& m_prompts;
    QWidget* m_window;
    SearchState m_state;
    QPointer<FindDialog> m_dialog;
};

} // namespace editor
