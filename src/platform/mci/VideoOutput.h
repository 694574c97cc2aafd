#pragma once

#include <QImage>

#include <functional>

class QObject;

namespace platform
{

// Where the media device paints the pictures of a playing video. The device works with this
// interface only, so that it needs no widget library; the GUI supplies a widget behind it.
class VideoOutput
{
public:
    virtual ~VideoOutput() = default;

    // Brought to the front and shown while a file with pictures is open.
    virtual void showPicture() = 0;
    virtual void hidePicture() = 0;
    virtual void setFrame(const QImage& frame) = 0;
    virtual void clearFrame() = 0;
    // The object whose destruction ends the output (the device stops painting then).
    virtual QObject* lifetime() = 0;
};

// Makes the output when the device builds its pipeline (on the first "open"); may give null (the
// pictures are then dropped).
using VideoOutputFactory = std::function<VideoOutput*()>;

} // namespace platform
