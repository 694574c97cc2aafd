#pragma once

#include "platform/mci/VideoOutput.h"

#include <QImage>
#include <QWidget>

namespace platform
{

// The picture of a playing video: fills its parent (the preview area) and paints the latest
// frame, scaled to fit with its proportions kept, on black.
class VideoSurface final : public QWidget, public VideoOutput
{
    Q_OBJECT
public:
    explicit VideoSurface(QWidget* area);

    void showPicture() override;
    void hidePicture() override;
    void setFrame(const QImage& frame) override;
    void clearFrame() override;
    QObject* lifetime() override { return this; }
    const QImage& frame() const { return m_frame; }
    // Frames received since the surface was last cleared.
    int frameCount() const { return m_frameCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_frame;
    int m_frameCount = 0;
};

} // namespace platform
