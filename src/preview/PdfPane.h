#pragma once

#include "preview/PdfRenderer.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

class QLabel;
class QThread;

namespace preview
{

// The preview of a PDF document: its pages one under the other, as wide as the pane, scrolled
// with the bar, the wheel or the keys. The document is opened and its pages drawn on a thread
// of its own (PdfRenderer); the window shows the first page as soon as it is drawn and asks
// for the pages that come on screen, keeping only those near it.
class PdfPane final : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit PdfPane(QWidget* parent = nullptr);
    ~PdfPane() override;

    // Shows the document; what it showed before goes at once.
    void open(const QString& path);
    // Drops the document being opened or drawn (the pane keeps what it shows).
    void stop();
    void clear();

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    // The page drawn for the screen, or a null image while it is not drawn.
    QImage pageImage(int page) const { return m_images.value(page); }
    int drawnPages() const { return static_cast<int>(m_images.size()); }
    // The line shown instead of pages ("読み込んでいます…", or why the file cannot be shown).
    QString message() const;
    // Brings the page to the top of the pane.
    void scrollToPage(int page);

Q_SIGNALS:
    // A page was drawn and is on screen.
    void pageShown(int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void startRenderer();
    void showPages(quint64 generation, const QList<QSizeF>& pages);
    void showFailure(quint64 generation, PdfRenderer::Failure failure);
    void showRendered(quint64 generation, int page, const QImage& image);
    void layoutPages();
    // Asks for the pages on screen that are not drawn at the current width, and lets go of
    // those far from it.
    void requestVisible();
    void setMessage(const QString& text);
    int pageWidth() const;

    std::shared_ptr<PdfWanted> m_wanted = std::make_shared<PdfWanted>();
    QThread* m_thread = nullptr;
    PdfRenderer* m_renderer = nullptr;
    QLabel* m_message = nullptr;
    quint64 m_generation = 0;
    QList<QSizeF> m_pages;
    std::vector<int> m_tops; // the top of each page in the strip, and its end last
    int m_width = 0;         // the width the pages are laid out at
    QHash<int, QImage> m_images;
    QHash<int, int> m_requested; // page → the width it was asked at
};

} // namespace preview
