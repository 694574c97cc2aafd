#include "desktop/VideoSurface.h"

#include "platform/mci/GstMci.h"
#include "platform/mci/MediaMci.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>

namespace platform
{

VideoSurface::VideoSurface(QWidget* area) : QWidget(area)
{
    setObjectName(QStringLiteral("MediaVideo"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(area->rect());
    area->installEventFilter(this);
    hide();
}

void VideoSurface::showPicture()
{
    raise();
    show();
}

void VideoSurface::hidePicture()
{
    hide();
}

void VideoSurface::setFrame(const QImage& frame)
{
    m_frame = frame;
    ++m_frameCount;
    update();
}

void VideoSurface::clearFrame()
{
    m_frame = QImage();
    m_frameCount = 0;
    update();
}

bool VideoSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void VideoSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_frame.isNull())
        return;
    const QSize size = m_frame.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_frame);
}

// The media device with its pictures painted into a surface over the video area.
std::unique_ptr<Mci> createMediaMci(QWidget* videoArea)
{
    VideoOutputFactory makeOutput;
    if (videoArea) {
        makeOutput = [area = QPointer<QWidget>(videoArea)]() -> VideoOutput* {
            return area ? new VideoSurface(area) : nullptr;
        };
    }
    return std::make_unique<GstMci>(std::move(makeOutput));
}

} // namespace platform
