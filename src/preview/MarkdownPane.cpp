#include "preview/MarkdownPane.h"

#include "preview/RichTextViewer.h"

#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace preview
{

namespace
{
// A rendered document draws no picture it names: a picture path could be anything (a FIFO, a
// file of gigabytes), and a page that fetched it would not be a preview any more.
class RenderedView final : public QTextEdit
{
public:
    using QTextEdit::QTextEdit;
    QVariant loadResource(int type, const QUrl& name) override
    {
        Q_UNUSED(type);
        Q_UNUSED(name);
        return QVariant();
    }
};
} // namespace

MarkdownPane::MarkdownPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MarkdownView"));
    m_toggle = new QToolButton(this);
    m_toggle->setObjectName(QStringLiteral("markdownSource"));
    m_toggle->setText(QStringLiteral("元のテキスト"));
    m_toggle->setCheckable(true);
    m_toggle->setFocusPolicy(Qt::StrongFocus);
    m_toggle->setToolTip(QStringLiteral("Markdownを整えずに元のテキストで表示します"));
    m_toggle->setAccessibleName(QStringLiteral("元のテキストで表示"));
    m_toggle->setAutoRaise(true);

    m_rendered = new RenderedView(this);
    m_rendered->setObjectName(QStringLiteral("markdownRendered"));
    m_rendered->setReadOnly(true);
    m_rendered->setTabChangesFocus(true);
    m_rendered->setAccessibleName(QStringLiteral("Markdownのプレビュー"));
    m_source = new RichTextViewer(this);
    m_source->setObjectName(QStringLiteral("markdownText"));
    m_source->setReadOnly(true);
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_rendered);
    m_stack->addWidget(m_source);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addStretch(1);
    bar->addWidget(m_toggle);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(m_stack, 1);

    connect(m_toggle, &QToolButton::toggled, this, &MarkdownPane::showSource);
    connect(m_source, &RichTextViewer::loadFinished, this, &MarkdownPane::render);
    hide();
}

MarkdownPane::~MarkdownPane() = default;

void MarkdownPane::open(const QString& path)
{
    m_rendered->clear();
    m_toggle->setEnabled(false);
    // A small file is read within the call and rendered at once; a slow read renders when it
    // ends (loadFinished either way).
    m_source->open(path);
}

void MarkdownPane::render()
{
    const QString text = m_source->text();
    const bool renderable = !m_source->isLarge() && !m_source->isRichText() &&
                            text.size() <= kRenderAbove && !m_source->filePath().isEmpty();
    if (renderable)
        m_rendered->document()->setMarkdown(text);
    else
        m_rendered->clear();
    m_toggle->setEnabled(renderable);
    showSource(!renderable || m_toggle->isChecked());
    Q_EMIT shown();
}

void MarkdownPane::showSource(bool source)
{
    m_stack->setCurrentWidget(source ? static_cast<QWidget*>(m_source) : m_rendered);
}

bool MarkdownPane::showsSource() const
{
    return m_stack->currentWidget() == m_source;
}

void MarkdownPane::stop()
{
    m_source->stopLoading();
}

void MarkdownPane::clear()
{
    m_source->clear();
    m_rendered->clear();
}

} // namespace preview
