#include "preview/PdfRenderer.h"

#include "base/FileKind.h"

#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cmath>

namespace preview
{

namespace
{
// A page far taller than wide (a hostile or a damaged size) is drawn no taller than this.
constexpr int kMaxPageHeight = 16384;
} // namespace

int pageHeightAt(const QSizeF& points, int width)
{
    QSizeF size = points;
    if (!(size.width() > 0 && size.height() > 0) || !std::isfinite(size.width()) ||
        !std::isfinite(size.height()))
        size = QSizeF(595, 842);
    const double height = width * size.height() / size.width();
    return std::clamp(static_cast<int>(std::lround(std::min(height, 1e9))), 1, kMaxPageHeight);
}

PdfRenderer::PdfRenderer(std::shared_ptr<PdfWanted> wanted) : m_wanted(std::move(wanted)) {}

PdfRenderer::~PdfRenderer() = default;

bool PdfRenderer::wanted(quint64 generation) const
{
    return generation == m_wanted->generation.load();
}

void PdfRenderer::open(quint64 generation, const QString& path)
{
    if (!wanted(generation))
        return;
    m_document.reset();
    m_generation = 0;
    // A FIFO or device named like a document is never opened.
    if (!platform::isRegularFile(path)) {
        Q_EMIT failed(generation, Failure::Unreadable);
        return;
    }
    auto document = std::make_unique<QPdfDocument>();
    const QPdfDocument::Error error = document->load(path);
    if (error != QPdfDocument::Error::None) {
        Q_EMIT failed(generation, error == QPdfDocument::Error::IncorrectPassword
                                      ? Failure::Password
                                      : Failure::Unreadable);
        return;
    }
    const int count = document->pageCount();
    if (count <= 0) {
        Q_EMIT failed(generation, Failure::NoPages);
        return;
    }
    QList<QSizeF> pages;
    pages.reserve(count);
    for (int page = 0; page < count; ++page)
        pages.append(document->pagePointSize(page));
    m_document = std::move(document);
    m_generation = generation;
    Q_EMIT opened(generation, pages);
}

void PdfRenderer::render(quint64 generation, int page, int width)
{
    if (!wanted(generation) || generation != m_generation || !m_document)
        return;
    // A page that scrolled away before its turn is not drawn; one page either side of the
    // screen is.
    if (page < m_wanted->first.load() - 1 || page > m_wanted->last.load() + 1)
        return;
    const int height = pageHeightAt(m_document->pagePointSize(page), width);
    QImage image = m_document->render(page, QSize(width, height));
    if (image.isNull())
        return;
    // The library leaves the paper transparent.
    QImage paper(image.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    {
        QPainter painter(&paper);
        painter.drawImage(0, 0, image);
    }
    Q_EMIT rendered(generation, page, paper);
}

} // namespace preview
