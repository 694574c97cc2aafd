#pragma once

#include <QWidget>

class QStackedWidget;
class QTextEdit;
class QToolButton;

namespace preview
{

class RichTextViewer;

// The preview of a Markdown file: rendered (headings, lists, emphasis, tables, links as text)
// or, with the toggle at its top, as the text of the file. The text is read on a worker like
// every previewed text; a file above kRenderAbove bytes is shown as its text only, because
// laying it out would hold the window.
class MarkdownPane final : public QWidget
{
    Q_OBJECT
public:
    static constexpr qsizetype kRenderAbove = 512 * 1024;

    explicit MarkdownPane(QWidget* parent = nullptr);
    ~MarkdownPane() override;

    void open(const QString& path);
    void stop();
    void clear();

    // The toggle: checked shows the text of the file.
    QToolButton* sourceToggle() const { return m_toggle; }
    bool showsSource() const;
    QTextEdit* renderedView() const { return m_rendered; }
    RichTextViewer* sourceView() const { return m_source; }

Q_SIGNALS:
    // The file was read (or could not be) and is shown.
    void shown();

private:
    void render();
    void showSource(bool source);

    QToolButton* m_toggle = nullptr;
    QStackedWidget* m_stack = nullptr;
    QTextEdit* m_rendered = nullptr;
    RichTextViewer* m_source = nullptr;
};

} // namespace preview
