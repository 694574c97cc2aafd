#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <memory>

class QPdfDocument;

namespace preview
{

// What the window wants rendered now: the document it shows (a number that grows with every
// file) and the pages on screen. The renderer reads it before each page, so that pages that
// scrolled away or a document that was left are skipped.
struct PdfWanted {
    std::atomic<quint64> generation{0};
    std::atomic<int> first{0};
    std::atomic<int> last{0};
};

// Opens a PDF document and renders its pages, on the thread it lives on (never the window's):
// the PDF library parses and draws there, however long a document takes.
class PdfRenderer final : public QObject
{
    Q_OBJECT
public:
    enum class Failure { Unreadable, Password, NoPages };
    Q_ENUM(Failure)

    explicit PdfRenderer(std::shared_ptr<PdfWanted> wanted);
    ~PdfRenderer() override;

    // Opens the file (a regular file only) and reports the size of every page in points.
    Q_INVOKABLE void open(quint64 generation, const QString& path);
    // Renders a page at the width in pixels, unless it is no longer wanted.
    Q_INVOKABLE void render(quint64 generation, int page, int width);

Q_SIGNALS:
    void opened(quint64 generation, const QList<QSizeF>& pages);
    void failed(quint64 generation, preview::PdfRenderer::Failure failure);
    void rendered(quint64 generation, int page, const QImage& image);

private:
    bool wanted(quint64 generation) const;

    std::shared_ptr<PdfWanted> m_wanted;
    std::unique_ptr<QPdfDocument> m_document;
    quint64 m_generation = 0;
};

// The height of a page rendered at width pixels, for a page of the given size in points; a
// page without a usable size is taken as A4.
int pageHeightAt(const QSizeF& points, int width);

} // namespace preview
