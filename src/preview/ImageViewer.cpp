#include "preview/ImageViewer.h"

#include "base/FileKind.h"
#include "preview/PicturePane.h"

#include <QFile>
#include <QImageReader>
#include <QThreadPool>
#include <QXmlStreamReader>

namespace preview
{

namespace
{
// SVG is drawn by walking its elements recursively: a file nested deeper than any drawing
// needs would exhaust the worker's stack. Such a file, a compressed one or one too large to
// be a picture is refused before the SVG reader sees it.
constexpr int kMaxSvgDepth = 256;
constexpr qint64 kMaxSvgBytes = 32 * 1024 * 1024;

bool svgLooksSafe(const QString& path)
{
    QFile file;
    if (!platform::openRegularFile(path, file) || file.size() > kMaxSvgBytes)
        return false;
    const QByteArray bytes = file.read(kMaxSvgBytes);
    if (bytes.startsWith("\x1f\x8b"))
        return false;
    QXmlStreamReader xml(bytes);
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxSvgDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}
} // namespace

PictureRead readPicture(const QString& path)
{
    PictureRead result;
    // A FIFO or device named like a picture is never opened.
    if (!platform::isRegularFile(path))
        return result;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return result;
    if (reader.format().startsWith("svg") && !svgLooksSafe(path))
        return result;
    // The size a header claims is checked before anything is decoded.
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > ImageViewer::kMaxPixels) {
        result.kind = PictureRead::Kind::TooLarge;
        return result;
    }
    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        result.kind = PictureRead::Kind::Animation;
        return result;
    }
    result.image = reader.read();
    if (!result.image.isNull())
        result.kind = PictureRead::Kind::Picture;
    else if (reader.error() == QImageReader::InvalidDataError && size.isValid() &&
             qint64(size.width()) * size.height() * 4 > QImageReader::allocationLimit() * 1048576LL)
        result.kind = PictureRead::Kind::TooLarge;
    return result;
}

ImageViewer::ImageViewer(PicturePane* pane) : m_pane(pane)
{
    m_pool.setMaxThreadCount(2);
}

ImageViewer::~ImageViewer()
{
    // A decode under way ends before the viewer it reports to.
    m_pool.clear();
    m_pool.waitForDone();
}

void ImageViewer::show(const PreviewFile& file)
{
    m_pane->show();
    m_pane->clearPicture();
    const quint64 generation = ++m_generation;
    const QString path = file.path;
    m_pool.start([this, generation, path] {
        const PictureRead read = readPicture(path);
        QMetaObject::invokeMethod(
            m_context.get(), [this, generation, path, read] { showRead(generation, path, read); },
            Qt::QueuedConnection);
    });
}

void ImageViewer::showRead(quint64 generation, const QString& path, const PictureRead& read)
{
    if (generation != m_generation || !m_pane)
        return;
    switch (read.kind) {
    case PictureRead::Kind::Picture:
        m_pane->showImage(read.image);
        return;
    case PictureRead::Kind::Animation:
        if (m_pane->playAnimation(path))
            return;
        break;
    case PictureRead::Kind::TooLarge:
        m_pane->showMessage(QStringLiteral("画像が大きすぎるため表示できません。"));
        return;
    case PictureRead::Kind::Unreadable:
        break;
    }
    m_pane->showMessage(QStringLiteral("この画像は表示できません。"));
}

void ImageViewer::hide()
{
    m_pane->hide();
}

void ImageViewer::stop()
{
    // A picture still being decoded is no longer wanted.
    ++m_generation;
}

void ImageViewer::clear()
{
    m_pane->clearPicture();
}

} // namespace preview
