#include "platform/mci/VideoSurface.h"

#include <QEvent>
#include <QPainter>

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

} // namespace platform
