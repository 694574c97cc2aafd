#include "preview/PdfPane.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThread>

#include <algorithm>
#include <climits>
#include <utility>

namespace preview
{

namespace
{
constexpr int kMargin = 8;
// Pages this far from the screen keep their drawing; farther ones let it go.
constexpr int kKeepAround = 3;
} // namespace

PdfPane::PdfPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("PdfView"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    viewport()->setPalette(palette);
    m_message = new QLabel(viewport());
    m_message->setObjectName(QStringLiteral("pdfMessage"));
    m_message->setAutoFillBackground(true);
    m_message->setMargin(6);
    m_message->hide();
    verticalScrollBar()->setSingleStep(40);
    hide();
}

PdfPane::~PdfPane()
{
    // Nothing more is drawn; the page being drawn is finished before the thread ends.
    m_wanted->generation = 0;
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

void PdfPane::startRenderer()
{
    if (m_thread)
        return;
    // The PDF library is started on the first document, not with the program.
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("pdf"));
    m_renderer = new PdfRenderer(m_wanted);
    m_renderer->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_renderer, &QObject::deleteLater);
    connect(m_renderer, &PdfRenderer::opened, this, &PdfPane::showPages);
    connect(m_renderer, &PdfRenderer::failed, this, &PdfPane::showFailure);
    connect(m_renderer, &PdfRenderer::rendered, this, &PdfPane::showRendered);
    m_thread->start();
}

void PdfPane::open(const QString& path)
{
    clear();
    startRenderer();
    const quint64 generation = ++m_generation;
    m_wanted->generation = generation;
    m_wanted->first = 0;
    m_wanted->last = 0;
    setMessage(QStringLiteral("読み込んでいます…"));
    QMetaObject::invokeMethod(m_renderer, "open", Qt::QueuedConnection, Q_ARG(quint64, generation),
                              Q_ARG(QString, path));
}

void PdfPane::stop()
{
    m_wanted->generation = ++m_generation;
    m_requested.clear();
    if (m_message->text() == QStringLiteral("読み込んでいます…"))
        setMessage(QString());
}

void PdfPane::clear()
{
    stop();
    m_pages.clear();
    m_images.clear();
    m_tops.clear();
    setMessage(QString());
    layoutPages();
    viewport()->update();
}

QString PdfPane::message() const
{
    return m_message->isHidden() ? QString() : m_message->text();
}

void PdfPane::setMessage(const QString& text)
{
    m_message->setText(text);
    m_message->adjustSize();
    m_message->move(kMargin, kMargin);
    m_message->setVisible(!text.isEmpty());
}

void PdfPane::showPages(quint64 generation, const QList<QSizeF>& pages)
{
    if (generation != m_generation)
        return;
    setMessage(QString());
    m_pages = pages;
    layoutPages();
    verticalScrollBar()->setValue(0);
    requestVisible();
    viewport()->update();
}

void PdfPane::showFailure(quint64 generation, PdfRenderer::Failure failure)
{
    if (generation != m_generation)
        return;
    switch (failure) {
    case PdfRenderer::Failure::Password:
        setMessage(QStringLiteral("パスワードで保護されたPDFファイルは表示できません。"));
        break;
    case PdfRenderer::Failure::NoPages:
        setMessage(QStringLiteral("このPDFファイルにはページがありません。"));
        break;
    case PdfRenderer::Failure::Unreadable:
        setMessage(QStringLiteral("このPDFファイルは表示できません。"));
        break;
    }
}

void PdfPane::showRendered(quint64 generation, int page, const QImage& image)
{
    if (generation != m_generation || page < 0 || page >= pageCount())
        return;
    m_requested.remove(page);
    // A page drawn after it scrolled far away is not kept.
    if (page < m_wanted->first.load() - kKeepAround || page > m_wanted->last.load() + kKeepAround)
        return;
    m_images.insert(page, image);
    if (image.width() != m_width)
        requestVisible();
    viewport()->update();
    Q_EMIT pageShown(page);
}

int PdfPane::pageWidth() const
{
    return std::max(16, viewport()->width() - 2 * kMargin);
}

void PdfPane::layoutPages()
{
    m_width = pageWidth();
    m_tops.assign(1, kMargin);
    m_tops.reserve(m_pages.size() + 1);
    qint64 top = kMargin;
    for (const QSizeF& points : std::as_const(m_pages)) {
        top += pageHeightAt(points, m_width) + kMargin;
        m_tops.push_back(static_cast<int>(std::min<qint64>(top, INT_MAX / 2)));
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, m_tops.back() - viewport()->height()));
    bar->setPageStep(viewport()->height());
}

void PdfPane::requestVisible()
{
    if (m_pages.isEmpty() || !m_renderer)
        return;
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    // The first page whose end is below the top of the screen, the last that begins above its
    // bottom.
    const auto firstEnd = std::upper_bound(m_tops.begin() + 1, m_tops.end(), top);
    const int first = std::clamp(int(firstEnd - m_tops.begin()) - 1, 0, pageCount() - 1);
    const auto lastStart = std::lower_bound(m_tops.begin(), m_tops.end() - 1, bottom);
    const int last = std::clamp(int(lastStart - m_tops.begin()) - 1, first, pageCount() - 1);
    m_wanted->first = first;
    m_wanted->last = last;
    for (auto it = m_images.begin(); it != m_images.end();) {
        if (it.key() < first - kKeepAround || it.key() > last + kKeepAround)
            it = m_images.erase(it);
        else
            ++it;
    }
    for (auto it = m_requested.begin(); it != m_requested.end();) {
        // A request the renderer will skip is asked again when its page comes back.
        if (it.key() < first - 1 || it.key() > last + 1)
            it = m_requested.erase(it);
        else
            ++it;
    }
    for (int page = first; page <= last; ++page) {
        if (m_images.value(page).width() == m_width || m_requested.value(page) == m_width)
            continue;
        m_requested.insert(page, m_width);
        QMetaObject::invokeMethod(m_renderer, "render", Qt::QueuedConnection,
                                  Q_ARG(quint64, m_generation), Q_ARG(int, page),
                                  Q_ARG(int, m_width));
    }
}

void PdfPane::scrollToPage(int page)
{
    if (page < 0 || page >= pageCount())
        return;
    verticalScrollBar()->setValue(m_tops[static_cast<std::size_t>(page)] - kMargin);
}

void PdfPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), viewport()->palette().color(QPalette::Window));
    if (m_pages.isEmpty())
        return;
    const int offset = verticalScrollBar()->value();
    const int top = offset + event->rect().top();
    const int bottom = offset + event->rect().bottom();
    auto page = std::upper_bound(m_tops.begin() + 1, m_tops.end(), top) - m_tops.begin() - 1;
    for (; page < pageCount() && m_tops[static_cast<std::size_t>(page)] <= bottom; ++page) {
        const int y = m_tops[static_cast<std::size_t>(page)] - offset;
        const int height = m_tops[static_cast<std::size_t>(page) + 1] - kMargin -
                           m_tops[static_cast<std::size_t>(page)];
        const QRect rect(kMargin, y, m_width, height);
        painter.fillRect(rect, Qt::white);
        const QImage image = m_images.value(static_cast<int>(page));
        if (!image.isNull())
            painter.drawImage(rect, image);
    }
}

void PdfPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (pageWidth() != m_width || !m_pages.isEmpty()) {
        // The same share of the document stays at the top.
        const double share = m_tops.empty() || m_tops.back() <= 0
                                 ? 0.0
                                 : double(verticalScrollBar()->value()) / m_tops.back();
        layoutPages();
        verticalScrollBar()->setValue(static_cast<int>(share * m_tops.back()));
        requestVisible();
    }
}

void PdfPane::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    requestVisible();
    viewport()->update();
}

} // namespace preview
